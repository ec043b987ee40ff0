// Legends: a layer's entries as the map picture lists them beside a map, and a layer's own
// legend for a table of contents, each symbol drawn as a small SVG swatch.
#pragma once

#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "svg_style.h"

namespace gis::carto {

struct LegendEntry {
  int depth = 0;
  std::string label;
  bool heading = false;
  int dimension = -1;  // of the swatch; -1 for none
  Look look;
};

// The legend entries of a layer (a group: a heading and its layers' entries); layers
// switched off are left out when only_visible.
void legend_of(ILayer* layer, int depth, bool only_visible, std::vector<LegendEntry>& legend);

// The symbol of a legend entry as SVG, in the 22 x 16 box whose top left is (x, y).
std::string swatch_svg(const LegendEntry& e, double x, double y, SvgStyles& styles);

}  // namespace gis::carto

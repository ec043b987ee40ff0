// Looks written as SVG: fills (solid, hollow, hatched), lines (widths in points, dash styles)
// and markers (circle, square, cross, x, diamond). The looks come from symbol_look.h.
#pragma once

#include <map>
#include <string>

#include "arcobjects/arcobjects.h"
#include "gis/render.h"

namespace gis::carto {

using gis::Look;

// Writes SVG attributes and elements for looks, collecting the hatch patterns they use.
class SvgStyles {
 public:
  std::string area(const Look& look);
  std::string line(const Look& look) const;
  std::string marker(const Look& look, double x, double y) const;
  // The <defs> of every pattern used so far.
  std::string defs() const;

 private:
  std::map<std::string, std::string> patterns_;  // id -> definition
};

std::string svg_color(LONG rgb);
std::string svg_escape(const std::string& text);
std::string svg_number(double v);

}  // namespace gis::carto

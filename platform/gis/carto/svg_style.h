// SVG looks of the simple symbols: fills (solid, hollow, hatched), lines (widths in points,
// dash styles) and markers (circle, square, cross, x, diamond). A symbol of one kind drawn
// for a shape of another dimension gives what fits (a fill's outline for a line, a marker's
// colour for an area).
#pragma once

#include <map>
#include <string>

#include "arcobjects/arcobjects.h"
#include "gis/render.h"

namespace gis::carto {

using gis::Look;

// The look of a symbol for shapes of dimension 0 (points), 1 (lines) or 2 (areas); the
// default look of that dimension when symbol is null.
Look look_of(ISymbol* symbol, int dimension);

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

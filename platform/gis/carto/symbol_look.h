// A symbol's look, decided in one place: describe_symbol reads a symbol's settings through its
// interfaces (so a symbol of any origin reads alike), look_of turns those settings into how a
// point, a line or an area is drawn. The map pictures, the legends, the window's canvas and
// the display's drawing all take their looks from here, so they cannot disagree.
#pragma once

#include <string>

#include "arcobjects/arcobjects.h"
#include "gis/display.h"
#include "gis/render.h"

namespace gis::carto {

using gis::Look;

// A snapshot of a symbol's settings (kind "" for null or an unknown symbol).
DrawnSymbol describe_symbol(ISymbol* symbol);

// The look of a symbol for shapes of dimension 0 (points), 1 (lines) or 2 (areas); the
// default look of that dimension for a symbol of no known kind. A symbol of one kind drawn for
// a shape of another dimension gives what fits (a fill's outline for a line, a marker's colour
// for an area).
Look look_of(const DrawnSymbol& symbol, int dimension);
Look look_of(ISymbol* symbol, int dimension);

// A graphic's look: its symbol's, or for a graphic without one a dark blue outline, line or
// diamond.
Look graphic_look(ISymbol* symbol, int dimension);

// The look of a text drawn with `look`: its fill colour, black when it has none of its own (or
// the default area grey).
Look text_look(const Look& look);

// Appends a look to a key text: every member, exactly.
void add_key(std::string& key, const Look& look);

}  // namespace gis::carto

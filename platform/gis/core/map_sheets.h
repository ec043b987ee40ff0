// The sheet grid behind gis/sheets.h, in whole half seconds of arc so that corners and cells are
// exact: a cell is one ordinary sheet of a scale, counted in rows from the equator toward
// its pole and in columns eastward from 180°. A joined sheet (high latitudes) is the run of
// cells that starts at a column divisible by its width.
#pragma once

#include <string>
#include <vector>

#include "gis/sheets.h"

namespace gis::core {

struct SheetCell {
  SheetScale scale = SheetScale::k1000000;
  bool south = false;
  long row = 0;     // from the equator, in cells of the scale
  long column = 0;  // from 180° W, in cells of the scale
};

// Cell size of the scale in half seconds of latitude and longitude.
long cell_height(SheetScale scale);
long cell_width(SheetScale scale);
// How many cells are issued as one sheet at the cell's latitude (1, 2, 3 or 4).
int joined_cells(const SheetCell& cell);
// The sheet (joined when the latitude asks for it) holding the cell.
MapSheet sheet_of_cell(const SheetCell& cell);

}  // namespace gis::core

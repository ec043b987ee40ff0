// Map sheets in the window: the frames of a scale's sheets over the view, with their names,
// and a sheet found by its name. The sheets' degrees are taken on the geographic system of
// the map's datum, as `areaclip cut --sheet` takes them without --sheet-crs.
#pragma once

#include <string>
#include <vector>

#include <gis/render.h>
#include <gis/sheets.h>

#include "arcobjects/arcobjects.h"
#include "map_canvas.h"

namespace host {

// Sheets shown at once at the most: more would be no grid to read.
inline constexpr size_t kMostSheetsShown = 400;

// The frames of the scale's sheets that cover the view, in the map's system. False with
// *why when the map has no coordinate system or more than kMostSheetsShown sheets cover it.
bool SheetFrames(IMap* map, gis::SheetScale scale, const gis::MapView& view, std::vector<MapCanvas::Frame>* frames,
                 std::string* why);
// The bounds of the named sheet's frame in the map's system; false with *why (the name's
// fault as the series reads it, or no system).
bool SheetBounds(IMap* map, const std::string& name, gis::MapView* bounds, std::string* why);

}  // namespace host

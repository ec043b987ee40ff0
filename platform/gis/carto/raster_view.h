// Raster layers drawn with GDAL: the part of a raster that shows in a view, read at the
// view's resolution (only that window, at most one value a pixel of the view, from an
// overview where the file has one) and coloured: one band in grey stretched between the
// band's least and greatest values, or through its colour table; three bands or more as red,
// green and blue (a fourth band of alpha as their opacity). Nodata is transparent.
// A raster is drawn in the map's coordinate system when it names none or the same one;
// one in another system is not reprojected, and not drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "map_drawing.h"

namespace gis::carto {

// Pixels of a picture: 0xAARRGGBB (not premultiplied), row after row from the top.
struct RasterPicture {
  int x = 0, y = 0;  // its top left pixel in the view
  int width = 0, height = 0;
  std::vector<std::uint32_t> argb;
};

// The pixels of a view: `scale` pixels a map unit, the view's top left corner (xmin, ymax)
// at pixel (x0, y0), width × height pixels.
struct ViewPixels {
  Bounds view;
  double scale = 1, x0 = 0, y0 = 0, width = 0, height = 0;
};

// Reads the part of the raster at `path` that shows in the view into *out (empty when none
// shows). "" when it is drawn, else why it is not (the file cannot be opened, its system
// differs from the map's, it is rotated).
std::string read_raster_view(const std::string& path, ISpatialReference* map_system, const ViewPixels& view,
                             RasterPicture* out);

// The extent of a raster in map units; empty when it cannot be read or is in another system.
Bounds raster_bounds(const std::string& path, ISpatialReference* map_system);

// A picture as a PNG file's bytes ("" when GDAL cannot write one).
std::string png_of(const RasterPicture& picture);

// A key for a raster file as it is now: its path, size and time of change.
std::string raster_key(const std::string& path);

}  // namespace gis::carto

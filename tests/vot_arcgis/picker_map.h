// A fixture map for the pickers and the dialog: shapefiles written with GDAL into a
// temporary folder and a map document over them, opened in the stand-in application.
//
// Focus map "Layers" (EPSG:32636), in table-of-contents order:
//   sheets (polygons, display field NOMENCL: fid 0 "N-36-1", fid 1 "N-36-2", fid 2 null),
//   roads (polylines), wells (points), blocks (polygons, no display field: fids 0, 1),
//   blocks by number (display field NUM), blocks by day (display field DAY),
//   lost (polygon layer whose source is missing), Relief (raster),
//   Group (a group holding "inner sheets", the sheets data again).
#pragma once

#include <filesystem>
#include <string>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "support/com_test.h"

namespace picker_test {

// Map coordinates: EPSG:32636 around (500000, 6000000).
std::string square(double x0, double y0, double x1, double y1);

class PickerMap {
 public:
  PickerMap();
  // A document over the same data with the given layers (JSON array items) instead.
  std::filesystem::path write_document(const std::string& name, const std::string& layers) const;
  // Opens a document in the application (the fixture's own one at construction).
  void open(const std::filesystem::path& document);

  const std::filesystem::path& folder() const { return dir_.path(); }
  std::filesystem::path document() const { return dir_.path() / "map.mxd"; }
  win32::ComPtr<IApplication> app;
  win32::ComPtr<IMap> map;
  win32::ComPtr<IDisplay> display;

  // The layer of the focus map with this name (UTF-8), searched recursively.
  win32::ComPtr<ILayer> layer(const std::string& name) const;
  static std::string feature_layer(const std::string& name, const std::string& source,
                                   const std::string& display_field = "");
  static std::string default_layers();

 private:
  testing_support::TempDir dir_;
};

}  // namespace picker_test

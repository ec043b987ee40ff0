#include "vot_arcgis/picker_map.h"

#include <fstream>

#include <gis/application.h>
#include <gis/document.h>
#include <win32/text.h>

#include "fixture.h"
#include "support/map_layers.h"

namespace picker_test {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

namespace {
std::string at(double x, double y) { return std::to_string(500000 + x) + " " + std::to_string(6000000 + y); }
}  // namespace

std::string square(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + at(x0, y0) + "," + at(x0, y1) + "," + at(x1, y1) + "," + at(x1, y0) + "," + at(x0, y0) + "))";
}

std::string PickerMap::feature_layer(const std::string& name, const std::string& source,
                                     const std::string& display_field) {
  return R"({"type": "feature", "name": ")" + name + R"(", "visible": true, "source": {"path": ")" + source +
         R"(", "layer": null})" + (display_field.empty() ? "" : R"(, "display_field": ")" + display_field + "\"") +
         "}";
}

std::string PickerMap::default_layers() {
  return feature_layer("sheets", "data/sheets.shp", "NOMENCL") + ",\n" + feature_layer("roads", "data/roads.shp") +
         ",\n" + feature_layer("wells", "data/wells.shp") + ",\n" + feature_layer("blocks", "data/blocks.shp") +
         ",\n" + feature_layer("blocks by number", "data/blocks.shp", "NUM") + ",\n" +
         feature_layer("blocks by day", "data/blocks.shp", "DAY") + ",\n" +
         feature_layer("lost", "data/missing.shp", "NOMENCL") + ",\n" +
         R"({"type": "raster", "name": "Relief", "source": {"path": "relief.tif"}},)" + "\n" +
         R"({"type": "group", "name": "Group", "layers": [)" +
         feature_layer("inner sheets", "data/sheets.shp", "NOMENCL") + "]}";
}

PickerMap::PickerMap() {
  const fs::path data = dir_.path() / "data";
  fixture::write_layer(data / "sheets.shp", wkbPolygon, 32636, {{"NOMENCL", OFTString, 20}},
                       {{square(0, 0, 1000, 1000), {"N-36-1"}},
                        {square(5000, 0, 6000, 1000), {"N-36-2"}},
                        {square(8000, 0, 9000, 1000), {""}}});
  fixture::write_layer(data / "roads.shp", wkbLineString, 32636, {{"NAME", OFTString, 20}},
                       {{"LINESTRING (" + at(0, 0) + "," + at(100, 100) + ")", {"road"}}});
  fixture::write_layer(data / "wells.shp", wkbPoint, 32636, {{"NO", OFTInteger, 5}},
                       {{"POINT (" + at(500, 500) + ")", {"1"}}});
  fixture::write_layer(data / "blocks.shp", wkbPolygon, 32636,
                       {{"NUM", OFTInteger, 6}, {"DAY", OFTDate}, {"AREA", OFTReal, 12, 3}},
                       {{square(100, 100, 200, 200), {"7", "2024-03-15", "12.5"}},
                        {square(300, 300, 400, 400), {"", "", ""}}});
  std::ofstream(document()) << R"({"format": "areaclip-map", "version": 1, "title": "pickers", "focus_map": 0,
  "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636", "extent": [499000, 5999000, 510000, 6002000],
            "layers": [)" + default_layers() + R"(], "graphics": {"elements": []}}]})";
  app = gis::CreateApplication({(dir_.path() / "templates").string()});
  open(document());
}

fs::path PickerMap::write_document(const std::string& name, const std::string& layers) const {
  fs::path path = dir_.path() / name;
  std::ofstream(path) << R"({"format": "areaclip-map", "version": 1, "title": "other", "focus_map": 0,
  "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636", "extent": [499000, 5999000, 510000, 6002000],
            "layers": [)" + layers + R"(], "graphics": {"elements": []}}]})";
  return path;
}

void PickerMap::open(const fs::path& path) {
  Bstr text = Bstr::from_utf8(path.string());
  EXPECT_EQ(app->OpenDocument(text.get()), S_OK);
  ComPtr<IDocument> doc;
  app->get_Document(doc.put());
  map.reset();
  doc.as<IMxDocument>()->get_FocusMap(map.put());
  ComPtr<IAppDisplay> app_display;
  win32::query<IMxApplication>(app.get())->get_Display(app_display.put());
  display = app_display.as<IDisplay>();
}

ComPtr<ILayer> PickerMap::layer(const std::string& name) const {
  return testing_support::layer_named(map.get(), name);
}

}  // namespace picker_test

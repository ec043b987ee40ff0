// A cut whose cutting polygon is stored in another coordinate system than the map: the
// polygon is projected into the map's system before it cuts, so what the cut keeps agrees
// with ogr2ogr -clipsrc given the same polygon projected into the map's system by ogr2ogr
// (same-class feature counts, ids kept, length and area sums). The cutting sheet is stored
// geographic on the map's datum, geographic on another datum, and projected on another datum;
// the map and its data are in UTM zone 36N (WGS 84).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>

#include <win32/com_object.h>

#include "cut_session.h"
#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;
using fixture::Feature;

struct CutterSystem {
  const char* name;
  int epsg;
  double x0, y0, x1, y1;  // the cutting sheet's corners in that system; its neighbour lies east
};

void PrintTo(const CutterSystem& system, std::ostream* os) { *os << system.name << " (EPSG:" << system.epsg << ")"; }

std::string number(double v) {
  char s[64];
  std::snprintf(s, sizeof s, "%.10g", v);
  return s;
}
std::string xy(double x, double y) { return number(x) + " " + number(y); }
std::string rectangle(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + xy(x0, y0) + "," + xy(x0, y1) + "," + xy(x1, y1) + "," + xy(x1, y0) + "," + xy(x0, y0) + "))";
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// Data layers around the cutting sheet, in map coordinates: lines, polygons and points
// inside it, across its edges and outside it.
struct DataLayer {
  std::string name;
  OGRwkbGeometryType type;
  std::vector<Feature> features;
};

std::vector<DataLayer> data_around(const OGREnvelope& e) {
  const double w = e.MaxX - e.MinX, h = e.MaxY - e.MinY, m = 0.3 * std::max(w, h);
  const double x0 = e.MinX - m, x1 = e.MaxX + m, y0 = e.MinY - m, y1 = e.MaxY + m;
  auto id = [](size_t n) { return std::vector<std::string>{std::to_string(n + 1)}; };

  DataLayer roads{"roads", wkbLineString, {}};
  for (int k = 0; k <= 12; ++k) {
    double y = y0 + k * (y1 - y0) / 12 + 0.37, x = x0 + k * (x1 - x0) / 12 + 0.41;
    roads.features.push_back({"LINESTRING (" + xy(x0, y) + "," + xy((x0 + x1) / 2, y + 0.07 * h) + "," + xy(x1, y) + ")",
                              id(roads.features.size())});
    roads.features.push_back({"LINESTRING (" + xy(x, y0) + "," + xy(x + 0.05 * w, (y0 + y1) / 2) + "," + xy(x, y1) + ")",
                              id(roads.features.size())});
  }
  roads.features.push_back({"LINESTRING (" + xy(x0, y0) + "," + xy(x1, y1) + ")", id(roads.features.size())});
  roads.features.push_back({"LINESTRING (" + xy(x0, y1) + "," + xy(x1, y0) + ")", id(roads.features.size())});

  DataLayer geology{"geology", wkbPolygon, {}};
  const double side = w / 7, step = w / 5;
  for (double x = x0 + 0.13; x < x1; x += step)
    for (double y = y0 + 0.29; y < y1; y += step)
      geology.features.push_back({rectangle(x, y, x + side, y + side), id(geology.features.size())});
  geology.features.push_back({rectangle(x0, y0, x1, y1), id(geology.features.size())});  // holds the sheet

  DataLayer wells{"wells", wkbPoint, {}};
  for (double x = x0 + 0.11; x < x1; x += w / 11)
    for (double y = y0 + 0.23; y < y1; y += h / 11)
      wells.features.push_back({"POINT (" + xy(x, y) + ")", id(wells.features.size())});

  return {roads, geology, wells};
}

std::string feature_layer(const std::string& name) {
  return R"({"type": "feature", "name": ")" + name + R"(", "visible": true, "source": {"path": "data/)" + name +
         R"(.shp", "layer": null}})";
}

class CutProjection : public testing::TestWithParam<CutterSystem> {
 protected:
  void SetUp() override { alive_ = win32::ComObjectsAlive(); }
  void TearDown() override {
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  testing_support::TempDir dir_;
  long alive_ = 0;
};

TEST_P(CutProjection, AgreesWithOgr2ogrOnTheProjectedSheet) {
  const CutterSystem& system = GetParam();
  const fs::path data = dir_.path() / "data", out = dir_.path() / "out";
  const double width = system.x1 - system.x0;
  fixture::write_layer(data / "sheets.shp", wkbPolygon, system.epsg, {{"NOMENCL", OFTString, 20}},
                       {{rectangle(system.x0, system.y0, system.x1, system.y1), {"sheet"}},
                        {rectangle(system.x1, system.y0, system.x1 + width, system.y1), {"neighbour"}}});

  // The cutting sheet as ogr2ogr projects it into the map's system.
  const fs::path clip = dir_.path() / "clip_utm.shp";
  ASSERT_EQ(run("ogr2ogr -f 'ESRI Shapefile' -t_srs EPSG:32636 -fid 0 " + quoted(clip) + " " +
                quoted(data / "sheets.shp")),
            0);
  OGREnvelope sheet;
  ASSERT_TRUE(fixture::layer_extent(clip, &sheet));

  std::vector<DataLayer> layers = data_around(sheet);
  std::string document_layers = feature_layer("sheets");
  for (const DataLayer& layer : layers) {
    fixture::write_layer(data / (layer.name + ".shp"), layer.type, 32636, {{"ID", OFTInteger, 6}}, layer.features);
    document_layers += ", " + feature_layer(layer.name);
  }
  const fs::path document = dir_.path() / "map.mxd";
  std::ofstream(document) << R"({"format": "areaclip-map", "version": 1, "title": "projection", "focus_map": 0,
    "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636",
              "extent": [)" + number(sheet.MinX) + ", " + number(sheet.MinY) + ", " + number(sheet.MaxX) + ", " +
                                 number(sheet.MaxY) + R"(],
              "layers": [)" + document_layers + R"(], "graphics": {"elements": []}}],
    "page_layout": {}})";

  {
    cut_session::OpenDocument open = cut_session::open(document, dir_.path() / "templates");
    win32::ComPtr<IFeature> cutter = cut_session::feature_of(open.focus_map.get(), "sheets", 0);
    ASSERT_EQ(cut_session::run_cut(open.app.get(), open.document.get(), cutter.get(), out, nullptr), 0);
  }

  // The sheet itself, cut by itself, is the projected sheet.
  fixture::LayerContents own = fixture::read_layer(out / "sheets.shp");
  fixture::LayerContents projected = fixture::read_layer(clip);
  EXPECT_EQ(own.count, 1);
  EXPECT_GT(projected.total_area, 0);
  EXPECT_NEAR(own.total_area, projected.total_area, 1e-6 * projected.total_area);

  for (const DataLayer& layer : layers) {
    SCOPED_TRACE(layer.name);
    const fs::path theirs = dir_.path() / ("theirs_" + layer.name + ".shp");
    ASSERT_EQ(run("ogr2ogr -f 'ESRI Shapefile' -clipsrc " + quoted(clip) + " " + quoted(theirs) + " " +
                  quoted(data / (layer.name + ".shp"))),
              0);
    fixture::LayerContents ours_read = fixture::read_layer(out / (layer.name + ".shp"));
    ASSERT_TRUE(ours_read.exists);
    EXPECT_NE(ours_read.srs_wkt.find("UTM zone 36N"), std::string::npos) << ours_read.srs_wkt;
    fixture::SameClassSummary ours = fixture::summarize_same_class(ours_read, layer.type);
    EXPECT_EQ(ours.count, ours_read.count) << "every feature kept is of its layer's class";
    fixture::SameClassSummary reference = fixture::summarize_same_class(fixture::read_layer(theirs), layer.type);
    EXPECT_GT(reference.count, 0);
    EXPECT_LT(reference.count, static_cast<long>(layer.features.size())) << "some features lie outside";
    EXPECT_EQ(ours.count, reference.count);
    EXPECT_EQ(ours.ids, reference.ids);
    EXPECT_NEAR(ours.length, reference.length, 1e-6 * (1 + reference.length));
    EXPECT_NEAR(ours.area, reference.area, 1e-6 * (1 + reference.area));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Systems, CutProjection,
    testing::Values(CutterSystem{"GeographicWgs84", 4326, 33.0, 54.0, 33.03, 54.02},
                    CutterSystem{"GeographicPulkovo1942", 4284, 33.0, 54.0, 33.03, 54.02},
                    CutterSystem{"GaussKrugerPulkovo1942", 28406, 6500000, 5985000, 6502000, 5987000}),
    [](const testing::TestParamInfo<CutterSystem>& info) { return std::string(info.param.name); });

}  // namespace

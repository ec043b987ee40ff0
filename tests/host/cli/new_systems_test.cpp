// Coordinate systems through `areaclip new`, `add` and `cut`: the map takes the first
// system a layer has, a data set without one is warned about or given one with
// --layer-crs (kept in the document, assigned when the layer is read), and a result never
// loses a system its source had, even in a map that has none.
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bad_input_sandbox.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;
using bad_input::at;
using bad_input::CutResult;
using bad_input::LayerSchema;
using bad_input::Sandbox;

// data/plain.shp: two points without .prj inside the sandbox's sheet "A" (EPSG:32636).
void write_plain(const Sandbox& box) {
  LayerSchema schema;
  schema.type = wkbPoint;
  schema.epsg = 0;
  schema.fields = {{"N", OFTInteger}};
  bad_input::write_wkt(box.data() / "plain.shp", schema,
                       {{"POINT (" + at(100, 100) + ")", {"1"}}, {"POINT (" + at(900, 900) + ")", {"2"}}});
}

nlohmann::json read_json(const fs::path& path) { return nlohmann::json::parse(std::ifstream(path)); }

// The EPSG code GDAL finds for a written layer's .prj; 0 when it has none.
int epsg_of(const fs::path& layer) {
  const fixture::LayerContents c = fixture::read_layer(layer);
  if (c.srs_wkt.empty()) return 0;
  OGRSpatialReferenceH srs = OSRNewSpatialReference(c.srs_wkt.c_str());
  OSRAutoIdentifyEPSG(srs);
  const char* code = OSRGetAuthorityCode(srs, nullptr);
  const int epsg = code ? std::atoi(code) : -1;
  OSRDestroySpatialReference(srs);
  return epsg;
}

const char kTakenInTheMaps[] = "features without a coordinate system taken in the map's";

TEST(NewSystemsTest, TheMapTakesTheFirstSystemALayerHasAndALayerWithoutOneIsWarnedAbout) {
  Sandbox box;
  box.write_sheets();
  write_plain(box);
  const CutResult made = box.run("new made.mxd data/plain.shp data/sheets.shp");
  ASSERT_EQ(made.code, 0) << made.out << made.err;
  EXPECT_NE(made.err.find("plain.shp has no .prj"), std::string::npos) << made.err;
  EXPECT_EQ(made.err.find("sheets.shp has no .prj"), std::string::npos) << made.err;
  EXPECT_EQ(read_json(box.root() / "made.mxd")["maps"][0]["spatial_reference"], "EPSG:32636");

  const CutResult cut = box.cut("--layer sheets --feature A", {}, box.root() / "made.mxd");
  ASSERT_EQ(cut.code, 0) << cut.out << cut.err;
  EXPECT_NE(cut.out.find(kTakenInTheMaps), std::string::npos) << cut.out;
  EXPECT_EQ(fixture::read_layer(box.out() / "plain.shp").count, 2);
  EXPECT_EQ(epsg_of(box.out() / "plain.shp"), 32636);
  EXPECT_EQ(epsg_of(box.out() / "sheets.shp"), 32636);
}

TEST(NewSystemsTest, ASystemGivenToDataWithoutOneIsKeptInTheDocumentAndAssigned) {
  Sandbox box;
  box.write_sheets();
  write_plain(box);
  CutResult run = box.run("new given.mxd --layer-crs EPSG:32636 data/plain.shp");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(run.err.find("has no .prj"), std::string::npos) << run.err;
  const nlohmann::json doc = read_json(box.root() / "given.mxd");
  EXPECT_EQ(doc["maps"][0]["spatial_reference"], "EPSG:32636");
  EXPECT_EQ(doc["maps"][0]["layers"][0]["source"]["crs"], "EPSG:32636");
  // add: the option reaches the data sets after it only.
  run = box.run("add given.mxd data/sheets.shp --layer-crs EPSG:4326 data/plain.shp");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const nlohmann::json added = read_json(box.root() / "given.mxd");
  EXPECT_FALSE(added["maps"][0]["layers"][1]["source"].contains("crs"));
  EXPECT_EQ(added["maps"][0]["layers"][2]["source"]["crs"], "EPSG:4326");
  run = box.run("info given.mxd");
  EXPECT_NE(run.out.find("EPSG:4326"), std::string::npos) << run.out;

  run = box.run("new bad.mxd --layer-crs EPSG:999999 data/plain.shp");
  EXPECT_EQ(run.code, 2) << run.out << run.err;
  EXPECT_NE(run.err.find("--layer-crs EPSG:999999"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(box.root() / "bad.mxd"));

  const CutResult cut = box.cut("--layer sheets --feature A", {}, box.root() / "given.mxd");
  ASSERT_EQ(cut.code, 0) << cut.out << cut.err;
  EXPECT_EQ(cut.out.find(kTakenInTheMaps), std::string::npos) << cut.out;
  EXPECT_EQ(epsg_of(box.out() / "plain.shp"), 32636);
}

TEST(NewSystemsTest, AResultKeepsTheSystemOfItsSourceInAMapWithoutOne) {
  Sandbox box;
  box.write_sheets();
  write_plain(box);
  box.write_document({bad_input::feature_layer("Точки", "data/plain.shp")}, {}, "null");
  const CutResult cut = box.cut();
  ASSERT_EQ(cut.code, 0) << cut.out << cut.err;
  EXPECT_EQ(epsg_of(box.out() / "sheets.shp"), 32636);
  EXPECT_EQ(fixture::read_layer(box.out() / "sheets.shp").count, 1);
  EXPECT_EQ(epsg_of(box.out() / "plain.shp"), 0);
}

}  // namespace

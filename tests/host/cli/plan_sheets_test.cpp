// Plans of 1:5,000 and 1:2,000 through the areaclip program: listed by `sheets --scale`,
// cut by `cut --sheet` (Latin look-alike letters read as the Cyrillic ones), and names
// that are no plan refused with the reason.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input_sandbox.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;
using bad_input::CutResult;
using bad_input::LayerSchema;
using bad_input::Sandbox;

// The sandbox's cutting layer and points in degrees (EPSG:4326) given as "lon lat".
void write_points(Sandbox& box, const std::vector<std::string>& points) {
  box.write_sheets();
  LayerSchema schema;
  schema.type = wkbPoint;
  schema.epsg = 4326;
  schema.fields = {{"N", OFTInteger}};
  std::vector<fixture::Feature> features;
  for (size_t i = 0; i < points.size(); ++i) features.push_back({"POINT (" + points[i] + ")", {std::to_string(i)}});
  bad_input::write_wkt(box.data() / "points.shp", schema, features);
  box.write_document({bad_input::feature_layer("Точки", "data/points.shp")}, {}, "\"EPSG:4326\"");
}

bool lists(const CutResult& run, const std::string& sheet) { return run.out.find(sheet + "\t") != std::string::npos; }

TEST(PlanSheetsTest, PlansAreListedAndCutByName) {
  Sandbox box;
  // (1-а) of M-36-1, its neighbour (1-б) and (2) of the same 1:100,000 sheet.
  write_points(box, {"30.001 51.999", "30.012 51.999", "30.04 51.999"});
  CutResult run = box.run("sheets map.mxd --scale 1:5000");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(lists(run, "M-36-1-(1)")) << run.out;
  EXPECT_TRUE(lists(run, "M-36-1-(2)")) << run.out;
  EXPECT_FALSE(lists(run, "M-36-1-(3)")) << run.out;
  run = box.run("sheets map.mxd --scale 1:2000");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(lists(run, "M-36-1-(1-а)") && lists(run, "M-36-1-(1-б)")) << run.out;

  run = box.cut("--sheet 'M-36-1-(1-a)'");  // a Latin "a"
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("sheet M-36-1-(1-а) (1:2,000)"), std::string::npos) << run.out;
  const fixture::LayerContents points = fixture::read_layer(box.out() / "points.shp");
  ASSERT_EQ(points.count, 1);
  EXPECT_EQ(points.rows[0].at("N"), "0");
}

TEST(PlanSheetsTest, NamesThatAreNoPlansAreRefusedWithTheReason) {
  Sandbox box;
  write_points(box, {"30.001 51.999"});
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"M-36-1-(257)", "'M-36-1-(257)' is no map sheet: 1:5,000 number 257 is out of range 1–256"},
      {"M-36-1-(1-к)", "'M-36-1-(1-к)' is no map sheet: 'к' is not a 1:2,000 letter а–и"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CutResult run = box.cut(std::string("--sheet '") + c.name + "'");
    EXPECT_EQ(run.code, 2) << run.out << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(box.out()));
  }
}

}  // namespace

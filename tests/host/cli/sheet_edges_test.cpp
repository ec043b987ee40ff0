// Sheets at the edges of the series through the areaclip program: points on 180° and on
// 88° lie on their sheets, features no sheet holds are counted in a warning by `sheets`,
// `cut --sheet` and `cut --all-sheets`; sheet names with a space inside a part and empty
// names are refused, quoting the name as typed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input_sandbox.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;
using bad_input::CutResult;
using bad_input::feature_layer;
using bad_input::LayerSchema;
using bad_input::Sandbox;

// A map in degrees (EPSG:4326) with the sandbox's cutting layer (on N-36) and a layer of
// points given as "lon lat".
void write_map(Sandbox& box, const std::vector<std::string>& points) {
  box.write_sheets();
  LayerSchema schema;
  schema.type = wkbPoint;
  schema.epsg = 4326;
  schema.fields = {{"N", OFTInteger}};
  std::vector<fixture::Feature> features;
  for (size_t i = 0; i < points.size(); ++i) features.push_back({"POINT (" + points[i] + ")", {std::to_string(i)}});
  bad_input::write_wkt(box.data() / "points.shp", schema, features);
  box.write_document({feature_layer("Точки", "data/points.shp")}, {}, "\"EPSG:4326\"");
}

// The sheet names `areaclip sheets` lists (the first column of each line of its output).
std::vector<std::string> listed(const CutResult& run) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < run.out.size()) {
    size_t end = run.out.find('\n', start);
    if (end == std::string::npos) end = run.out.size();
    const std::string line = run.out.substr(start, end - start);
    if (line.find('\t') != std::string::npos) names.push_back(line.substr(0, line.find('\t')));
    start = end + 1;
  }
  return names;
}

const char kOffSeries[] = "lie on no sheet of the series";

TEST(SheetEdgesTest, PointsOn180And88LieOnTheirSheetsAndThoseBeyondAreCounted) {
  Sandbox box;
  write_map(box, {"180 10", "-180 11", "-174 10", "30 88", "30 -88", "30 89", "-100 89.5", "190 10"});
  const CutResult run = box.run("sheets map.mxd --scale 1:1000000");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(listed(run), (std::vector<std::string>{"V-33,34,35,36", "N-36", "C-1", "C-2", "V-33,34,35,36 (Ю.П.)"}));
  EXPECT_NE(run.err.find("3 features of the map " + std::string(kOffSeries)), std::string::npos) << run.err;
}

TEST(SheetEdgesTest, CutsBySheetWarnAboutFeaturesNoSheetHolds) {
  Sandbox box;
  write_map(box, {"180 10", "30 89"});
  CutResult run = box.cut("--sheet C-1");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("1 features of the map " + std::string(kOffSeries)), std::string::npos) << run.err;
  EXPECT_EQ(fixture::read_layer(box.out() / "points.shp").count, 1);

  fs::remove_all(box.out());
  run = box.cut("--all-sheets 1:1000000");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("1 features of the map " + std::string(kOffSeries)), std::string::npos) << run.err;
  EXPECT_EQ(fixture::read_layer(box.out() / "C-1" / "points.shp").count, 1);
  EXPECT_TRUE(fs::exists(box.out() / "N-36" / "cross.mxd"));
}

TEST(SheetEdgesTest, SheetNamesWithASpaceInsideAPartOrEmptyAreRefused) {
  Sandbox box;
  write_map(box, {"30 50"});
  const struct {
    const char* typed;
    const char* message;
  } cases[] = {
      {"M-36-1 2", "'M-36-1 2' is no map sheet: a space inside the part '1 2'"},
      {"M 3 6", "'M 3 6' is no map sheet: a space inside the part 'M 3 6'"},
      {"", "--sheet '': the name is empty"},
      {"  ", "--sheet '  ': the name is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    const CutResult run = box.cut(std::string("--sheet '") + c.typed + "'");
    EXPECT_EQ(run.code, 2) << run.out << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(box.out()));
  }
  // Space after a comma or before the southern mark is no part of a name's part.
  const CutResult run = box.cut("--sheet 'M-36  (Ю.П.)'");
  EXPECT_EQ(run.code, 0) << run.out << run.err;
}

}  // namespace

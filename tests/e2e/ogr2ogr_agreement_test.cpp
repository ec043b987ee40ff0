// Our cut agrees with ogr2ogr -clipsrc on generated layers: same-class feature counts, the
// ids kept, and area and length sums, for a simple and a 20,000-vertex cutter; and a cut read
// ahead on threads writes what a cut read in one thread writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;

// The programs of this build.
std::string bin_dir() { return AREACLIP_BIN_DIR; }

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// The shape type of a generated layer by its name.
OGRwkbGeometryType type_of(const std::string& layer) {
  return layer == "points" ? wkbPoint : layer == "lines" ? wkbLineString : wkbPolygon;
}

// Cuts d/bench.mxd by the cutter into d/ours and compares each layer's result with
// ogr2ogr -clipsrc's.
void expect_agreement(const std::string& d, int cutter_fid, std::initializer_list<const char*> layers) {
  ASSERT_EQ(run("AREACLIP_REGISTRY=" + d + "/registry.txt " + bin_dir() + "/areaclip cut " + d + "/bench.mxd --layer sheets --feature-id " +
                std::to_string(cutter_fid) + " --folder " + d + "/ours"),
            0);
  for (std::string layer : layers) {
    SCOPED_TRACE(layer);
    std::string theirs = d + "/theirs_" + layer + ".shp";
    ASSERT_EQ(run("ogr2ogr -f 'ESRI Shapefile' -clipsrc " + d + "/data/sheets.shp -clipsrcwhere 'ID=" +
                  std::to_string(cutter_fid + 1) + "' " + theirs + " " + d + "/data/" + layer + ".shp"),
              0);
    const auto a = fixture::summarize_same_class(fixture::read_layer(d + "/ours/" + layer + ".shp"), type_of(layer));
    const auto b = fixture::summarize_same_class(fixture::read_layer(theirs), type_of(layer));
    EXPECT_GT(a.count, 0);
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.ids, b.ids);
    EXPECT_NEAR(a.length, b.length, 1e-6 * (1 + b.length));
    EXPECT_NEAR(a.area, b.area, 1e-6 * (1 + b.area));
  }
}

class Ogr2ogrAgreement : public testing::TestWithParam<int> {};

TEST_P(Ogr2ogrAgreement, SameClassResultsMatch) {
  testing_support::TempDir dir;
  const std::string d = dir.str();
  ASSERT_EQ(run(bin_dir() + "/gen_layers " + d + " --points 1000 --lines 200 --polygons 150"), 0);
  expect_agreement(d, GetParam(), {"points", "lines", "polygons"});
}

// A source of many records is read through a file handle that is closed while the source
// is not being read, and a result of many records is closed once written: the cut of such
// a source, and the cut of that result again, agree with ogr2ogr's.
TEST(Ogr2ogrAgreementLarge, ASourceAndAResultOfManyRecords) {
  testing_support::TempDir dir;
  const std::string d = dir.str();
  ASSERT_EQ(run(bin_dir() + "/gen_layers " + d + " --points 240000 --lines 20 --polygons 20"), 0);
  expect_agreement(d, 0, {"points"});
  const auto first = fixture::read_layer(d + "/ours/points.shp");
  ASSERT_GE(first.count, 65536);
  ASSERT_EQ(run("AREACLIP_REGISTRY=" + d + "/registry.txt " + bin_dir() + "/areaclip cut " + d +
                "/ours/cross.mxd --layer sheets --feature-id 0 --folder " + d + "/again"),
            0);
  const auto again = fixture::read_layer(d + "/again/points.shp");
  EXPECT_EQ(again.count, first.count);
  EXPECT_EQ(fixture::summarize_same_class(again, wkbPoint).ids, fixture::summarize_same_class(first, wkbPoint).ids);
}

// The program's cursors read ahead on threads of their own, and its new shapefiles are
// written on threads of their own (both by default where its allocator is jemalloc, as the
// areaclip program links it): the files of a cut are those of a cut in one thread, byte
// for byte, for a cutter that copies, drops and overlays.
TEST(ReadingAhead, WritesTheFilesOfAOneThreadRead) {
  testing_support::TempDir dir;
  const std::string d = dir.str();
  ASSERT_EQ(run(bin_dir() + "/gen_layers " + d + " --points 3000 --lines 600 --polygons 400"), 0);
  const std::string cut = "AREACLIP_REGISTRY=" + d + "/registry.txt " + bin_dir() + "/areaclip cut " + d +
                          "/bench.mxd --layer sheets --feature-id 1 --folder ";
  ASSERT_EQ(run("AREACLIP_READ_AHEAD=0 AREACLIP_WRITE_BEHIND=0 " + cut + d + "/one"), 0);
  for (auto [threads, name] : {std::pair{"AREACLIP_READ_AHEAD=1 AREACLIP_WRITE_BEHIND=0 ", "ahead"},
                               {"AREACLIP_READ_AHEAD=0 AREACLIP_WRITE_BEHIND=1 ", "behind"},
                               {"AREACLIP_READ_AHEAD=1 AREACLIP_WRITE_BEHIND=1 ", "both"}}) {
    SCOPED_TRACE(threads);
    const std::string folder = d + "/" + name;
    ASSERT_EQ(run(threads + cut + folder), 0);
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(d + "/one")) {
      if (entry.path().extension() == ".mxd") continue;  // names its own folder
      SCOPED_TRACE(entry.path().filename().string());
      ++files;
      EXPECT_EQ(run("cmp " + entry.path().string() + " " + folder + "/" + entry.path().filename().string()), 0);
    }
    EXPECT_EQ(files, 4u * 5u);  // sheets, points, lines, polygons: .shp .shx .dbf .prj .cpg
  }
}

INSTANTIATE_TEST_SUITE_P(Cutters, Ogr2ogrAgreement, testing::Values(0, 1),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param == 0 ? std::string("FiveVertices") : std::string("StarOf20000");
                         });

}  // namespace

// Cuts by map sheet through the areaclip program: a sheet named on the command line, the
// sheets holding a map's features listed and written, and a map cut into all of them.
#include <ogr_srs_api.h>
#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input_sandbox.h"
#include "fixture.h"

namespace {

namespace fs = std::filesystem;
using bad_input::copy_sample;
using bad_input::CutResult;
using bad_input::lines_of;
using bad_input::quoted;
using bad_input::Sandbox;

const fs::path kSample = fs::path(AREACLIP_SOURCE_DIR) / "examples";

// `areaclip ARGS` in `folder`: exit code and standard output (standard error joined to it).
CutResult areaclip(const std::string& args, const fs::path& folder) {
  const std::string command = "cd " + quoted(folder.string()) + " && timeout -s KILL 60 " +
                              std::string(AREACLIP_BIN_DIR) + "/areaclip " + args + " 2>&1";
  CutResult run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}


// The names `areaclip sheets` lists (the first column of each line).
std::vector<std::string> listed_sheets(const CutResult& run) {
  std::vector<std::string> names;
  for (const std::string& line : lines_of(run.out))
    if (line.find('\t') != std::string::npos) names.push_back(line.substr(0, line.find('\t')));
  return names;
}

// The envelope of a layer's features in degrees on the given geographic system.
OGREnvelope envelope_in_degrees(const fs::path& layer, int epsg) {
  fixture::LayerContents contents = fixture::read_layer(layer);
  OGREnvelope all;
  OGRSpatialReferenceH to = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(to, epsg);
  OSRSetAxisMappingStrategy(to, OAMS_TRADITIONAL_GIS_ORDER);
  OGRSpatialReferenceH from = OSRNewSpatialReference(contents.srs_wkt.c_str());
  OSRSetAxisMappingStrategy(from, OAMS_TRADITIONAL_GIS_ORDER);
  for (const std::string& wkt : contents.wkt) {
    OGRGeometryH g = nullptr;
    char* text = const_cast<char*>(wkt.c_str());
    OGR_G_CreateFromWkt(&text, from, &g);
    OGR_G_TransformTo(g, to);
    OGREnvelope e;
    OGR_G_GetEnvelope(g, &e);
    all.Merge(e);
    OGR_G_DestroyGeometry(g);
  }
  OSRDestroySpatialReference(from);
  OSRDestroySpatialReference(to);
  return all;
}

// The sample's layer "Листы карты" holds the real frames of six 1:50,000 sheets: each feature
// is, vertex for vertex, the frame `areaclip sheets` computes for its name, and together they
// make the block 51°40'–52°00' N, 30°00'–30°45' E.
TEST(SheetCutTest, TheSampleMapsSheetsAreTheFramesComputedFromTheirNames) {
  Sandbox box;
  CutResult run = areaclip("sheets " + quoted((kSample / "map.mxd").string()) + " --scale 1:50000 -o frames.shp",
                           box.root());
  ASSERT_EQ(run.code, 0) << run.out;
  fixture::LayerContents frames = fixture::read_layer(box.root() / "frames.shp");
  ASSERT_EQ(frames.count, static_cast<long>(frames.wkt.size()));
  std::map<std::string, std::string> frame_of;
  for (long i = 0; i < frames.count; ++i) frame_of[frames.rows[i]["NAME"]] = frames.wkt[i];

  fixture::LayerContents sample = fixture::read_layer(kSample / "data" / "sheets.shp");
  ASSERT_EQ(sample.count, 6);
  std::vector<std::string> names;
  for (long i = 0; i < sample.count; ++i) {
    const std::string name = sample.rows[i]["NOMENCL"];
    names.push_back(name);
    ASSERT_TRUE(frame_of.count(name)) << name << " is not among the sheets holding the map's features\n" << run.out;
    EXPECT_EQ(sample.wkt[i], frame_of[name]) << name;
  }
  const std::vector<std::string> expected = {"M-36-1-А", "M-36-1-Б", "M-36-2-А", "M-36-1-В", "M-36-1-Г", "M-36-2-В"};
  EXPECT_EQ(names, expected);
  const OGREnvelope e = envelope_in_degrees(kSample / "data" / "sheets.shp", 4326);
  EXPECT_NEAR(e.MinX, 30.0, 1e-7);
  EXPECT_NEAR(e.MaxX, 30.75, 1e-7);
  EXPECT_NEAR(e.MinY, 51.0 + 40.0 / 60, 1e-7);
  EXPECT_NEAR(e.MaxY, 52.0, 1e-7);
}

TEST(SheetCutTest, TheSampleMapIsCutToASheetComputedFromItsName) {
  Sandbox box;
  const std::map<std::string, std::string> sample_before = bad_input::files_under(kSample);
  const fs::path out = box.root() / "out";
  CutResult run = box.cut("--sheet M-36-1-Б", out, kSample / "map.mxd");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("51°50' N – 52°00' N, 30°15' E – 30°30' E"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(out / "cross.mxd"));

  // The frame layer is in the result: one polygon named by the sheet, on its graticule.
  fixture::LayerContents frame = fixture::read_layer(out / "M-36-1-Б.shp");
  ASSERT_TRUE(frame.exists) << run.out;
  ASSERT_EQ(frame.count, 1);
  EXPECT_EQ(frame.rows[0]["NAME"], "M-36-1-Б");
  const OGREnvelope e = envelope_in_degrees(out / "M-36-1-Б.shp", 4326);
  EXPECT_NEAR(e.MinY, 51.0 + 50.0 / 60, 1e-7);
  EXPECT_NEAR(e.MaxY, 52.0, 1e-7);
  EXPECT_NEAR(e.MinX, 30.25, 1e-7);
  EXPECT_NEAR(e.MaxX, 30.5, 1e-7);
  EXPECT_NE(fixture::read_file(out / "cross.mxd").find("\"M-36-1-Б\""), std::string::npos);

  // Every layer holds what the cut by the sample's own feature M-36-1-Б of "Листы карты"
  // holds, that feature being the same frame.
  const fs::path by_feature = box.root() / "by-feature";
  CutResult picked = box.cut("--layer 'Листы карты' --feature M-36-1-Б", by_feature, kSample / "map.mxd");
  ASSERT_EQ(picked.code, 0) << picked.out << picked.err;
  const std::vector<std::pair<std::string, long>> layers = {
      {"settlements_wgs84.shp", 1}, {"wells.shp", 3},          {"sheets.shp", 1},           {"rivers.shp", 2},
      {"roads.shp", 2},             {"TECT/TECT_faults.shp", 2}, {"BASE/BASE_geology.shp", 4}};
  for (const auto& [layer, count] : layers) {
    fixture::LayerContents by_sheet = fixture::read_layer(out / layer);
    fixture::LayerContents by_layer = fixture::read_layer(by_feature / layer);
    ASSERT_TRUE(by_sheet.exists) << layer << "\n" << run.out;
    ASSERT_TRUE(by_layer.exists) << layer << "\n" << picked.out;
    EXPECT_EQ(by_sheet.count, count) << layer;
    EXPECT_EQ(by_sheet.count, by_layer.count) << layer;
    EXPECT_EQ(by_sheet.rows, by_layer.rows) << layer;
    EXPECT_NEAR(by_sheet.total_length, by_layer.total_length, 1e-6 * by_layer.total_length + 1e-6) << layer;
    EXPECT_NEAR(by_sheet.total_area, by_layer.total_area, 1e-6 * by_layer.total_area + 1e-6) << layer;
  }
  // Of the sample's sheets only M-36-1-Б is kept: its neighbours share its edges, nothing more.
  fixture::LayerContents sheets = fixture::read_layer(out / "sheets.shp");
  ASSERT_EQ(sheets.count, 1);
  EXPECT_EQ(sheets.rows[0]["NOMENCL"], "M-36-1-Б");

  // Nothing was written beside the sample's data or into its document.
  EXPECT_EQ(bad_input::files_under(kSample), sample_before);
}

TEST(SheetCutTest, NamesThatAreNoSheetsAndBadOptionsAreRefusedBeforeAnythingIsMade) {
  Sandbox box;
  const fs::path out = box.root() / "out";
  const struct {
    const char* options;
    const char* says;
  } cases[] = {
      {"--sheet W-36", "row letter 'W' is not one of A–V"},
      {"--sheet M-36-1-Б-д", "'д' is not a 1:25,000 letter а–г"},
      {"--sheet P-35", "P-35 is part of P-35,36"},
      {"--all-sheets 1:300000", "--all-sheets takes a scale of the series"},
      {"--sheet M-36 --layer X", "give only one of --layer, --sheet and --all-sheets"},
      {"--sheet M-36 --feature-id 3", "--feature and --feature-id go with --layer only"},
      {"--sheet M-36 --sheet-crs EPSG:999999", "--sheet-crs EPSG:999999 names no coordinate system"},
  };
  for (const auto& c : cases) {
    CutResult run = box.cut(c.options, out, kSample / "map.mxd");
    EXPECT_EQ(run.code, 2) << c.options << "\n" << run.out << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.options << "\n" << run.err;
    EXPECT_FALSE(fs::exists(out)) << c.options;
  }
}

// A Gauss-Kruger map (Pulkovo 1942, zone 6) holding the points of a lon/lat grid that comes
// within 0.02° of every edge of M-36: the cut keeps exactly those inside the sheet. A frame
// with straight edges between its corners would lose points near its southern edge and keep
// some north of its northern one.
TEST(SheetCutTest, ACutByASheetInAGaussKrugerMapKeepsExactlyTheGridPointsInside) {
  Sandbox box;
  box.write_sheets(28406);
  std::vector<double> lats = {47.98, 48.02}, lons = {29.98, 30.02};
  for (int k = 1; k <= 7; ++k) lats.push_back(48.0 + 0.5 * k);
  for (int k = 1; k <= 11; ++k) lons.push_back(30.0 + 0.5 * k);
  lats.insert(lats.end(), {51.98, 52.02});
  lons.insert(lons.end(), {35.98, 36.02});

  OGRSpatialReferenceH pulkovo = OSRNewSpatialReference(nullptr), zone6 = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(pulkovo, 4284);
  OSRImportFromEPSG(zone6, 28406);
  OSRSetAxisMappingStrategy(pulkovo, OAMS_TRADITIONAL_GIS_ORDER);
  OSRSetAxisMappingStrategy(zone6, OAMS_TRADITIONAL_GIS_ORDER);
  OGRCoordinateTransformationH to_zone = OCTNewCoordinateTransformation(pulkovo, zone6);
  ASSERT_TRUE(to_zone);
  std::vector<fixture::Feature> points;
  std::set<std::string> inside;
  for (double lat : lats) {
    for (double lon : lons) {
      double x = lon, y = lat;
      ASSERT_TRUE(OCTTransform(to_zone, 1, &x, &y, nullptr));
      char id[32];
      std::snprintf(id, sizeof id, "%.2f %.2f", lon, lat);
      char wkt[96];
      std::snprintf(wkt, sizeof wkt, "POINT (%.4f %.4f)", x, y);
      points.push_back({wkt, {id}});
      if (lat > 48 && lat < 52 && lon > 30 && lon < 36) inside.insert(id);
    }
  }
  OCTDestroyCoordinateTransformation(to_zone);
  OSRDestroySpatialReference(pulkovo);
  OSRDestroySpatialReference(zone6);
  fixture::write_layer(box.data() / "grid.shp", wkbPoint, 28406, {{"LONLAT", OFTString, 20}}, points);
  box.write_document({bad_input::feature_layer("Grid", "data/grid.shp")}, {}, "\"EPSG:28406\"");

  CutResult run = box.cut("--sheet M-36");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  fixture::LayerContents kept = fixture::read_layer(box.out() / "grid.shp");
  ASSERT_TRUE(kept.exists);
  std::set<std::string> got;
  for (auto& row : kept.rows) got.insert(row["LONLAT"]);
  EXPECT_EQ(got.size(), static_cast<size_t>(kept.count)) << "a point was written twice";
  std::string lost, extra;
  for (const std::string& p : inside)
    if (!got.count(p)) lost += " (" + p + ")";
  for (const std::string& p : got)
    if (!inside.count(p)) extra += " (" + p + ")";
  EXPECT_EQ(lost, "") << "grid points inside M-36 that the cut lost";
  EXPECT_EQ(extra, "") << "grid points outside M-36 that the cut kept";
  EXPECT_EQ(got.size(), inside.size());
}

TEST(SheetCutTest, TheSheetsHoldingTheSampleMapsFeaturesAreListedAndWritten) {
  Sandbox box;
  CutResult run = areaclip("sheets " + quoted((kSample / "map.mxd").string()) + " --scale 1:100000 -o sheets.shp",
                           box.root());
  ASSERT_EQ(run.code, 0) << run.out;
  const std::vector<std::string> names = listed_sheets(run);
  const std::vector<std::string> expected = {"N-35-144", "N-36-133", "N-36-134", "M-35-12", "M-36-1",
                                             "M-36-2",   "M-35-24",  "M-36-13",  "M-36-14"};
  EXPECT_EQ(names, expected) << run.out;
  fixture::LayerContents written = fixture::read_layer(box.root() / "sheets.shp");
  ASSERT_EQ(written.count, static_cast<long>(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(written.rows[i]["NAME"], expected[i]);
    EXPECT_EQ(written.rows[i]["SCALE"], "100000");
  }
  // The frames tile the map's data: three rows of three sheets across 52° N and 30° E.
  const OGREnvelope e = envelope_in_degrees(box.root() / "sheets.shp", 4326);
  EXPECT_NEAR(e.MinX, 29.5, 1e-7);
  EXPECT_NEAR(e.MaxX, 31.0, 1e-7);
  EXPECT_NEAR(e.MinY, 51.0 + 20.0 / 60, 1e-7);
  EXPECT_NEAR(e.MaxY, 52.0 + 20.0 / 60, 1e-7);

  // An existing file is never replaced.
  run = areaclip("sheets " + quoted((kSample / "map.mxd").string()) + " --scale 1:100000 -o sheets.shp", box.root());
  EXPECT_EQ(run.code, 2) << run.out;
  EXPECT_NE(run.out.find("exists already"), std::string::npos) << run.out;
}

// A layer of the result summed over the sheet folders.
struct Totals {
  long count = 0;
  double length = 0, area = 0;
};

// The sample map cut into all sheets of a scale (the scale of its own sheets, and the one above).
class SampleAllSheetsTest : public testing::TestWithParam<std::string> {};

TEST_P(SampleAllSheetsTest, KeepEveryFeatureAndCutThoseCrossingAnEdgeIntoBoth) {
  const std::string scale = GetParam();
  Sandbox box;
  const fs::path out = box.root() / "all";
  CutResult listing = areaclip("sheets " + quoted((kSample / "map.mxd").string()) + " --scale " + scale, box.root());
  ASSERT_EQ(listing.code, 0) << listing.out;
  const std::vector<std::string> sheets = listed_sheets(listing);
  ASSERT_FALSE(sheets.empty());

  CutResult run = box.cut("--all-sheets " + scale, out, kSample / "map.mxd");
  ASSERT_EQ(run.code, 0) << run.out << run.err;

  // One folder per covering sheet, each a whole result, and a table row per sheet.
  std::set<std::string> folders;
  for (const auto& entry : fs::directory_iterator(out)) folders.insert(entry.path().filename().string());
  EXPECT_EQ(folders, std::set<std::string>(sheets.begin(), sheets.end()));
  for (const std::string& sheet : sheets) {
    EXPECT_TRUE(fs::exists(out / sheet / "cross.mxd")) << sheet;
    EXPECT_TRUE(fs::exists(out / sheet / (sheet + ".shp"))) << sheet;
    bool row = false;
    for (const std::string& line : lines_of(run.out))
      row = row || (line.rfind(sheet + " ", 0) == 0 && line.find("ok: ") != std::string::npos);
    EXPECT_TRUE(row) << "no table row for " << sheet << "\n" << run.out;
  }

  const std::vector<std::string> layers = {"wells.shp", "settlements_wgs84.shp", "rivers.shp", "roads.shp",
                                           "TECT/TECT_faults.shp", "BASE/BASE_geology.shp"};
  std::map<std::string, long> features_of_sheet;
  for (const std::string& layer : layers) {
    fixture::LayerContents input = fixture::read_layer(kSample / "data" / fs::path(layer).filename());
    ASSERT_TRUE(input.exists) << layer;
    Totals totals;
    for (const std::string& sheet : sheets) {
      fixture::LayerContents part = fixture::read_layer(out / sheet / layer);
      ASSERT_TRUE(part.exists) << sheet << "/" << layer;
      totals.count += part.count;
      totals.length += part.total_length;
      totals.area += part.total_area;
      features_of_sheet[sheet] += part.count;
    }
    if (input.type == wkbPoint) {
      // A point lies on one sheet.
      EXPECT_EQ(totals.count, input.count) << layer;
    } else {
      // Lines and polygons are cut at the sheets' edges: nothing lost, nothing doubled.
      EXPECT_GE(totals.count, input.count) << layer;
      EXPECT_NEAR(totals.length, input.total_length, 1e-6 * input.total_length + 1e-6) << layer;
      EXPECT_NEAR(totals.area, input.total_area, 1e-6 * input.total_area + 1e-6) << layer;
    }
  }

  // Every river is kept, and one that crosses a sheet edge is in both sheets.
  fixture::LayerContents rivers = fixture::read_layer(kSample / "data" / "rivers.shp");
  std::map<std::string, int> sheets_of_river;
  for (const std::string& sheet : sheets)
    for (auto& r : fixture::read_layer(out / sheet / "rivers.shp").rows) ++sheets_of_river[r["NAME"]];
  int crossing = 0;
  for (auto& r : rivers.rows) {
    EXPECT_GE(sheets_of_river[r["NAME"]], 1) << r["NAME"] << " was lost";
    crossing += sheets_of_river[r["NAME"]] >= 2;
  }
  EXPECT_GE(crossing, 1) << "no river was cut into two sheets";

  // Every sheet cut holds features; the sample's own sheets are among them at their scale.
  for (const std::string& sheet : sheets) EXPECT_GT(features_of_sheet[sheet], 0) << sheet;
  if (scale == "1:50000") {
    for (auto& row : fixture::read_layer(kSample / "data" / "sheets.shp").rows)
      EXPECT_TRUE(folders.count(row["NOMENCL"])) << row["NOMENCL"] << " was not cut";
  }
}

INSTANTIATE_TEST_SUITE_P(Scales, SampleAllSheetsTest, testing::Values("1:100000", "1:50000"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return "Scale" + info.param.substr(info.param.find(':') + 1);
                         });

// A sheet whose result document cannot be saved (a folder stands where cross.mxd goes)
// fails alone: the others are cut, the table says which failed, the exit code is 1.
TEST(SheetCutTest, OneSheetFailingDoesNotStopTheOthers) {
  Sandbox box;
  const fs::path out = box.root() / "all";
  fs::create_directories(out / "M-36-1" / "cross.mxd");
  CutResult run = box.cut("--all-sheets 1:100000", out, kSample / "map.mxd");
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  EXPECT_NE(run.err.find("sheet M-36-1 failed; going on with the next one"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("1 of 9 sheets failed"), std::string::npos) << run.err;
  bool failed_row = false;
  for (const std::string& line : lines_of(run.out))
    failed_row = failed_row || (line.rfind("M-36-1 ", 0) == 0 && line.find("failed (exit 1)") != std::string::npos);
  EXPECT_TRUE(failed_row) << run.out;
  for (const char* sheet : {"N-35-144", "M-35-12", "M-36-2", "M-36-14"})
    EXPECT_TRUE(fs::is_regular_file(out / sheet / "cross.mxd")) << sheet;
  // What the failed sheet made is gone; the folder that stood there stays.
  EXPECT_TRUE(fs::is_directory(out / "M-36-1" / "cross.mxd"));
  EXPECT_FALSE(fs::exists(out / "M-36-1" / "wells.shp"));
}

// The rows of the sheet table whose result begins with `result`.
int rows_with(const CutResult& run, const std::string& result) {
  int n = 0;
  bool table = false;
  for (const std::string& line : lines_of(run.out)) {
    if (line.rfind("sheet ", 0) == 0 && line.find("features") != std::string::npos) table = true;
    if (table && line.find("  " + result) != std::string::npos) ++n;
  }
  return n;
}

TEST(SheetCutTest, AllSheetsOverAnEarlierRunAreRefusedSheetBySheetAndKeepTheEarlierResults) {
  Sandbox box;
  copy_sample(box);
  const fs::path out = box.root() / "all";
  CutResult first = box.cut("--all-sheets 1:100000", out);
  ASSERT_EQ(first.code, 0) << first.out << first.err;
  EXPECT_EQ(rows_with(first, "ok: "), 9) << first.out;
  const auto earlier = bad_input::files_under(out);

  CutResult again = box.cut("--all-sheets 1:100000", out);
  EXPECT_EQ(again.code, 1) << again.out << again.err;
  EXPECT_EQ(rows_with(again, "failed (exit 1): Папка результата уже содержит результат вырезания (cross.mxd)"), 9)
      << again.out;
  EXPECT_NE(again.err.find("9 of 9 sheets failed"), std::string::npos) << again.err;
  EXPECT_TRUE(bad_input::files_under(out) == earlier) << "the earlier results changed";
}

TEST(SheetCutTest, SheetsCutWithLayersLeftOutAreMarkedAndEndWithExitThree) {
  Sandbox box;
  copy_sample(box);
  for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) fs::remove(box.data() / (std::string("rivers") + ext));
  const fs::path out = box.root() / "all";
  CutResult run = box.cut("--all-sheets 1:100000", out);
  EXPECT_EQ(run.code, 3) << run.out << run.err;
  EXPECT_EQ(rows_with(run, "partial: "), 9) << run.out;
  EXPECT_NE(run.out.find("; not cut: Реки"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("9 of 9 sheets were cut with layers left out"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_regular_file(out / "M-36-1" / "cross.mxd"));
}

// The sheet folders of a series, each of which must hold its result document (a sheet
// cancelled under way leaves nothing).
int whole_sheet_folders(const fs::path& series) {
  int folders = 0;
  for (const auto& entry : fs::directory_iterator(series)) {
    ++folders;
    EXPECT_TRUE(fs::exists(entry.path() / "cross.mxd")) << entry.path() << " was left half made";
  }
  return folders;
}

TEST(SheetCutTest, ASignalStopsAllSheetsAfterTheSheetUnderWayAndKeepsTheSheetsCut) {
  Sandbox box;
  copy_sample(box);
  const fs::path out = box.root() / "all";
  CutResult run = box.cut_interrupted({"--all-sheets", "1:100000", "--jobs", "1"}, out, SIGINT, "[3/9]");
  EXPECT_EQ(run.code, 130) << run.out << run.err;
  EXPECT_NE(run.out.find("not cut (cancelled)"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("cancelled (SIGINT)"), std::string::npos) << run.err;
  // The first two sheets are whole; the third is whole or gone; nothing after it was begun.
  ASSERT_TRUE(fs::exists(out / "N-35-144" / "cross.mxd")) << run.out;
  ASSERT_TRUE(fs::exists(out / "N-36-133" / "cross.mxd")) << run.out;
  const int folders = whole_sheet_folders(out);
  EXPECT_LE(folders, 3);
}

// In several processes: the sheets under way in each are whole or gone, the sheets not yet
// begun are listed as not cut, and every row is accounted for. (How many sheets finish
// between the line awaited and the signal depends on the machine's load: 20 sheets leave
// room for it.)
TEST(SheetCutTest, ASignalStopsTheSheetsUnderWayInEveryProcess) {
  Sandbox box;
  copy_sample(box);
  const fs::path out = box.root() / "all";
  CutResult run = box.cut_interrupted({"--all-sheets", "1:50000", "--jobs", "2"}, out, SIGINT, "[2/20]");
  EXPECT_EQ(run.code, 130) << run.out << run.err;
  EXPECT_NE(run.err.find("cancelled (SIGINT)"), std::string::npos) << run.err;
  const int folders = whole_sheet_folders(out);
  const int whole = rows_with(run, "ok: "), not_begun = rows_with(run, "not cut (cancelled)");
  EXPECT_EQ(folders, whole) << run.out;
  EXPECT_GE(whole, 1) << run.out;
  EXPECT_GE(not_begun, 1) << run.out;
  EXPECT_EQ(whole + not_begun + rows_with(run, "cancelled (SIGINT)"), 20) << run.out;
}

}  // namespace

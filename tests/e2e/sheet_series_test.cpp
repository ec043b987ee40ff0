// A map cut into a whole series of sheets in one pass: each sheet's folder holds exactly what
// a cut by that one sheet writes, the files open stay few however many sheets there are,
// and an interrupted series is completed by --resume.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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


// The sheet folders of a series.
std::vector<std::string> folders_of(const fs::path& series) {
  std::vector<std::string> out;
  for (const auto& entry : fs::directory_iterator(series)) out.push_back(entry.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

// TMPDIR set to a folder of the sandbox while this lives: where the runs write the
// sheets' frames, which must be gone once a run ends.
class TemporaryFolderIn {
 public:
  explicit TemporaryFolderIn(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder);
    if (const char* old = std::getenv("TMPDIR")) old_ = old, had_ = true;
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryFolderIn() {
    if (had_) setenv("TMPDIR", old_.c_str(), 1);
    else unsetenv("TMPDIR");
  }
  // The frames' folders left there.
  std::vector<std::string> left() const {
    std::vector<std::string> out;
    for (const std::string& name : folders_of(folder_))
      if (name.rfind("areaclip-sheet-", 0) == 0) out.push_back(name);
    return out;
  }

 private:
  fs::path folder_;
  std::string old_;
  bool had_ = false;
};

// The rows of the final sheet table whose result begins with `result`, by sheet.
std::set<std::string> rows_with(const CutResult& run, const std::string& result) {
  std::set<std::string> out;
  bool table = false;
  for (const std::string& line : lines_of(run.out)) {
    if (line.rfind("sheet ", 0) == 0 && line.find("features") != std::string::npos) table = true;
    if (table && line.find("  " + result) != std::string::npos) out.insert(line.substr(0, line.find(' ')));
  }
  return out;
}

// Every sheet folder of the series holds, file for file and byte for byte, what
// `cut --sheet NAME` writes (its documents name their files relative to the folder), and
// its layers read back with GDAL alike.
void expect_each_sheet_as_cut_alone(const Sandbox& box, const fs::path& series) {
  const fs::path alone = box.root() / "alone";
  for (const std::string& sheet : folders_of(series)) {
    CutResult one = box.cut("--sheet " + quoted(sheet), alone / sheet);
    ASSERT_EQ(one.code, 0) << sheet << "\n" << one.out << one.err;
    const auto ours = bad_input::files_under(series / sheet), theirs = bad_input::files_under(alone / sheet);
    std::set<std::string> names_ours, names_theirs;
    for (const auto& [name, bytes] : ours) names_ours.insert(name);
    for (const auto& [name, bytes] : theirs) names_theirs.insert(name);
    ASSERT_EQ(names_ours, names_theirs) << sheet;
    for (const auto& [name, bytes] : theirs) {
      EXPECT_TRUE(ours.at(name) == bytes) << sheet << "/" << name << " differs from the cut by the sheet alone";
      if (fs::path(name).extension() != ".shp") continue;
      const fixture::LayerContents a = fixture::read_layer(series / sheet / name);
      const fixture::LayerContents b = fixture::read_layer(alone / sheet / name);
      EXPECT_EQ(a.count, b.count) << sheet << "/" << name;
      EXPECT_EQ(a.rows, b.rows) << sheet << "/" << name;
      EXPECT_EQ(a.wkt, b.wkt) << sheet << "/" << name;
    }
    EXPECT_TRUE(theirs.count("cross.mxd")) << sheet;
  }
}

// The sample map in shapefiles, and with its rivers in a GeoPackage (ids from 1, read by
// id) and its geology in GeoJSON (whose ids GDAL numbers as it reads).
class SeriesAsSheetsAloneTest : public testing::TestWithParam<bool> {};

TEST_P(SeriesAsSheetsAloneTest, EverySheetHoldsWhatItsOwnCutWrites) {
  Sandbox box;
  copy_sample(box);
  if (GetParam()) {
    ASSERT_EQ(std::system(("cd " + quoted(box.data().string()) +
                           " && ogr2ogr -f GPKG rivers.gpkg rivers.shp && ogr2ogr -f GeoJSON BASE_geology.geojson "
                           "BASE_geology.shp")
                              .c_str()),
              0);
    std::string doc = fixture::read_file(box.document());
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"data/rivers.shp", "data/rivers.gpkg"},
                                   {"data/BASE_geology.shp", "data/BASE_geology.geojson"}}) {
      const size_t at = doc.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      doc.replace(at, from.size(), to);
    }
    std::ofstream(box.document(), std::ios::binary | std::ios::trunc) << doc;
  }
  const fs::path series = box.root() / "series";
  CutResult run = box.cut("--all-sheets 1:50000", series);
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(folders_of(series).size(), 20u) << run.out;
  EXPECT_EQ(rows_with(run, "ok: ").size(), 20u) << run.out;
  expect_each_sheet_as_cut_alone(box, series);
}

INSTANTIATE_TEST_SUITE_P(Sources, SeriesAsSheetsAloneTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("GeoPackageAndGeoJson") : std::string("Shapefiles");
                         });

// At 1:10,000 (266 sheets) points of the sample in WGS 84 lie on sheet edges, and lines
// and polygons cross many: the series in one pass writes, byte for byte, what cutting the
// whole map by each sheet in turn writes (AREACLIP_SHEET_BY_SHEET=1, the way a cut by one
// named sheet reads the map).
TEST(SheetSeriesTest, AFineSeriesInOnePassIsTheMapCutByEachSheetInTurn) {
  Sandbox box;
  copy_sample(box);
  const fs::path routed = box.root() / "routed", by_sheet = box.root() / "by-sheet";
  const auto ignore = [](pid_t, const std::string&) {};
  CutResult run = box.cut_watched({"--all-sheets", "1:10000"}, routed, ignore, 5);
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  setenv("AREACLIP_SHEET_BY_SHEET", "1", 1);
  CutResult each = box.cut_watched({"--all-sheets", "1:10000"}, by_sheet, ignore, 5);
  unsetenv("AREACLIP_SHEET_BY_SHEET");
  ASSERT_EQ(each.code, 0) << each.out << each.err;
  ASSERT_EQ(folders_of(routed), folders_of(by_sheet));
  EXPECT_GT(folders_of(routed).size(), 200u);
  const auto ours = bad_input::files_under(routed), theirs = bad_input::files_under(by_sheet);
  ASSERT_EQ(ours.size(), theirs.size());
  std::string differing;
  for (const auto& [name, bytes] : theirs)
    if (!ours.count(name) || ours.at(name) != bytes) differing += " " + name;
  EXPECT_EQ(differing, "");
}

// A series interrupted after its third sheet, then resumed: the sheets cut before are left
// as they are, the rest are cut, and every sheet is what its own cut writes. Without
// --resume, the sheets already there are refused one by one and kept.
TEST(SheetSeriesTest, AnInterruptedSeriesIsCompletedByResume) {
  Sandbox box;
  copy_sample(box);
  const fs::path series = box.root() / "series";
  CutResult first = box.cut_interrupted({"--all-sheets", "1:50000"}, series, SIGINT, "[4/20]");
  ASSERT_EQ(first.code, 130) << first.out << first.err;
  const std::vector<std::string> before = folders_of(series);
  ASSERT_GE(before.size(), 3u) << first.out;
  ASSERT_LT(before.size(), 20u) << first.out;
  const auto kept = bad_input::files_under(series);

  CutResult refused = box.cut("--all-sheets 1:50000", series);
  EXPECT_EQ(refused.code, 1) << refused.out << refused.err;
  EXPECT_EQ(rows_with(refused, "failed (exit 1): Папка результата уже содержит результат вырезания").size(),
            before.size())
      << refused.out;
  EXPECT_NE(refused.err.find("the folders of " + std::to_string(before.size()) +
                             " sheets already held a result: --resume leaves them"),
            std::string::npos)
      << refused.err;
  fs::remove_all(series);
  fs::create_directories(series);
  // What the interrupted run kept, as it was.
  for (const auto& [name, bytes] : kept) {
    fs::create_directories((series / name).parent_path());
    std::ofstream(series / name, std::ios::binary) << bytes;
  }

  // A folder without a result document is no result: its sheet is cut.
  ASSERT_FALSE(fs::exists(series / "M-36-14-Б"));
  fs::create_directories(series / "M-36-14-Б");

  CutResult resumed = box.cut("--all-sheets 1:50000 --resume", series);
  ASSERT_EQ(resumed.code, 0) << resumed.out << resumed.err;
  const std::set<std::string> there = rows_with(resumed, "already there: ");
  EXPECT_EQ(there, std::set<std::string>(before.begin(), before.end())) << resumed.out;
  EXPECT_EQ(rows_with(resumed, "ok: ").size(), 20u - before.size()) << resumed.out;
  EXPECT_NE(resumed.out.find(std::to_string(before.size()) + " of 20 sheets were there already"), std::string::npos)
      << resumed.out;
  for (const auto& [name, bytes] : kept)
    EXPECT_TRUE(fixture::read_file(series / name) == bytes) << name << " was written again";
  EXPECT_EQ(folders_of(series).size(), 20u);
  expect_each_sheet_as_cut_alone(box, series);

  // A series whose sheets are all there has nothing left to cut.
  CutResult again = box.cut("--all-sheets 1:50000 --resume", series);
  EXPECT_EQ(again.code, 0) << again.out << again.err;
  EXPECT_EQ(rows_with(again, "already there: ").size(), 20u) << again.out;
  EXPECT_EQ(box.cut("--sheet M-36-1-Б --resume", box.root() / "x").code, 2);

  // What a system stopped before the series flushed its files (a power cut) may leave: a
  // document cut short, a shapefile shorter than its header says. Such sheets are failed
  // and left as they are; once their folders are removed, they are cut again.
  const std::string cut_short = before[0], shortened = before[1];
  const std::string text = fixture::read_file(series / cut_short / "cross.mxd");
  std::ofstream(series / cut_short / "cross.mxd", std::ios::binary | std::ios::trunc) << text.substr(0, text.size() / 2);
  fs::path dbf;
  for (const auto& e : fs::recursive_directory_iterator(series / shortened))
    if (e.path().extension() == ".dbf" && fs::file_size(e.path()) > 100) dbf = e.path();
  ASSERT_FALSE(dbf.empty());
  fs::resize_file(dbf, fs::file_size(dbf) - 8);
  const auto broken_files = bad_input::files_under(series);
  CutResult broken = box.cut("--all-sheets 1:50000 --resume", series);
  EXPECT_EQ(broken.code, 1) << broken.out << broken.err;
  EXPECT_EQ(rows_with(broken, "failed: the result in its folder is not whole"),
            (std::set<std::string>{cut_short, shortened}))
      << broken.out;
  EXPECT_NE(broken.out.find(fs::path(dbf).replace_extension(".shp").string() + " is not whole"), std::string::npos)
      << broken.out;
  EXPECT_EQ(rows_with(broken, "already there: ").size(), 18u) << broken.out;
  // The JSON form gives the reason in each such sheet's failure.
  CutResult json = box.cut("--all-sheets 1:50000 --resume --json", series);
  EXPECT_EQ(json.code, 1) << json.err;
  const std::string reason = "\"failure\":[\"the result in its folder is not whole";
  size_t named = 0;
  for (size_t at = json.out.find(reason); at != std::string::npos; at = json.out.find(reason, at + 1)) ++named;
  EXPECT_EQ(named, 2u) << json.out;
  EXPECT_TRUE(bad_input::files_under(series) == broken_files);
  fs::remove_all(series / cut_short);
  fs::remove_all(series / shortened);
  CutResult mended = box.cut("--all-sheets 1:50000 --resume", series);
  EXPECT_EQ(mended.code, 0) << mended.out << mended.err;
  EXPECT_EQ(rows_with(mended, "ok: "), (std::set<std::string>{cut_short, shortened})) << mended.out;
  EXPECT_TRUE(fixture::read_file(series / cut_short / "cross.mxd") == text);
}

// The processes a process started (those cutting sheets).
std::vector<pid_t> children_of(pid_t pid) {
  std::ifstream list(fs::path("/proc") / std::to_string(pid) / "task" / std::to_string(pid) / "children");
  std::vector<pid_t> out;
  for (pid_t child; list >> child;) out.push_back(child);
  return out;
}

// Open file descriptors of a running process.
int open_files(pid_t pid) {
  std::error_code ec;
  int n = 0;
  for (fs::directory_iterator it(fs::path("/proc") / std::to_string(pid) / "fd", ec), end; !ec && it != end;
       it.increment(ec))
    ++n;
  return n;
}

// The most file descriptors open in one process of a run: the program or one of the
// processes it cuts sheets in.
int most_open_files(pid_t pid) {
  int most = open_files(pid);
  for (pid_t child : children_of(pid)) most = std::max(most, open_files(child));
  return most;
}

// The lines of a run's output from "[k/n] sheet NAME -> ..." to the sheet's last line, by
// sheet; "" when a sheet's lines are broken up by another's.
std::map<std::string, std::string> sheet_blocks(const CutResult& run) {
  std::map<std::string, std::string> out;
  std::string sheet, block;
  for (const std::string& line : lines_of(run.out)) {
    const bool starts = line.rfind("[", 0) == 0 && line.find("] sheet ") != std::string::npos;
    if (starts) {
      sheet = line.substr(line.find("] sheet ") + 8);
      sheet = sheet.substr(0, sheet.find(" -> "));
      block = line.substr(line.find(' ') + 1) + "\n";
      continue;
    }
    if (sheet.empty()) continue;
    if (line.rfind("[", 0) == 0 && line.find("] " + sheet + ": ") == std::string::npos) {
      out[sheet] = "";  // another sheet's line inside this one's
      sheet.clear();
      continue;
    }
    block += line + "\n";
    if (line.rfind("[", 0) == 0) {
      out[sheet] = block.substr(0, block.size());
      sheet.clear();
    }
  }
  return out;
}

// The final table's lines, with the series' folder left out of them.
std::vector<std::string> table_of(const CutResult& run, const fs::path& series) {
  std::vector<std::string> out;
  bool table = false;
  for (std::string line : lines_of(run.out)) {
    if (line.rfind("sheet ", 0) == 0 && line.find("features") != std::string::npos) table = true;
    if (!table) continue;
    for (size_t at; (at = line.find(series.string())) != std::string::npos;) line.erase(at, series.string().size());
    out.push_back(line);
  }
  return out;
}

// Sheets cut in several processes at once are the sheets cut one after the other: the same
// folders byte for byte, the same table, and each sheet's lines together in the output.
TEST(SheetSeriesTest, SheetsCutInSeveralProcessesAreTheSheetsCutInOne) {
  Sandbox box;
  copy_sample(box);
  const fs::path one = box.root() / "one", three = box.root() / "three";
  const TemporaryFolderIn temporary(box.root() / "tmp");
  CutResult in_one = box.cut("--all-sheets 1:50000 --jobs 1", one);
  ASSERT_EQ(in_one.code, 0) << in_one.out << in_one.err;
  CutResult in_three = box.cut("--all-sheets 1:50000 -j 3", three);
  ASSERT_EQ(in_three.code, 0) << in_three.out << in_three.err;
  EXPECT_TRUE(bad_input::files_under(one) == bad_input::files_under(three));
  EXPECT_EQ(table_of(in_one, one), table_of(in_three, three));
  EXPECT_EQ(table_of(in_three, three).size(), 21u) << in_three.out;
  const auto blocks_one = sheet_blocks(in_one), blocks_three = sheet_blocks(in_three);
  ASSERT_EQ(blocks_three.size(), 20u) << in_three.out;
  for (const auto& [sheet, block] : blocks_one) {
    ASSERT_TRUE(blocks_three.count(sheet)) << sheet;
    std::string theirs = blocks_three.at(sheet);
    for (size_t at; (at = theirs.find(three.string())) != std::string::npos;) theirs.replace(at, three.string().size(), one.string());
    EXPECT_EQ(theirs, block) << sheet << ": its lines are broken up or differ";
  }
  EXPECT_EQ(temporary.left(), std::vector<std::string>{});
  EXPECT_EQ(box.cut("--all-sheets 1:50000 --jobs 0", box.root() / "x").code, 2);
  EXPECT_EQ(box.cut("--sheet M-36-1-Б --jobs 2", box.root() / "x").code, 2);
}

// A process cutting sheets that dies (killed here) loses the sheet it was cutting, which the
// table reports failed, and no other: the other process cuts the rest. --resume then cuts
// the lost sheet too.
TEST(SheetSeriesTest, AProcessThatDiesLosesItsSheetAlone) {
  Sandbox box;
  copy_sample(box);
  const fs::path series = box.root() / "series";
  const TemporaryFolderIn temporary(box.root() / "tmp");
  bool killed = false;
  CutResult run = box.cut_watched({"--all-sheets", "1:50000", "--jobs", "2"}, series, [&](pid_t pid, const std::string& out) {
    if (killed || out.find("[3/20]") == std::string::npos) return;
    const std::vector<pid_t> workers = children_of(pid);
    if (workers.empty()) return;
    kill(workers.front(), SIGKILL);
    killed = true;
  });
  ASSERT_TRUE(killed) << run.out;
  EXPECT_EQ(run.code, 1) << run.out << run.err;
  const std::set<std::string> lost = rows_with(run, "failed: the process cutting it was ended by signal 9");
  EXPECT_LE(lost.size(), 1u) << run.out;
  EXPECT_EQ(rows_with(run, "ok: ").size() + lost.size(), 20u) << run.out;
  EXPECT_NE(run.err.find("failed"), std::string::npos) << run.err;
  EXPECT_EQ(temporary.left(), std::vector<std::string>{});  // the killed process's frame too

  CutResult resumed = box.cut("--all-sheets 1:50000 --resume", series);
  EXPECT_EQ(resumed.code, 0) << resumed.out << resumed.err;
  // A process killed after writing its sheet's document left that sheet whole.
  EXPECT_GE(rows_with(resumed, "already there: ").size(), 20u - lost.size()) << resumed.out;
  for (const std::string& sheet : folders_of(series)) EXPECT_TRUE(fs::exists(series / sheet / "cross.mxd")) << sheet;
}

// A series of over 2,000 sheets (1:5,000 over a block of 1:100,000 sheets, one point on
// each, a polygon over nearly all and a line across them): the files open stay as few as for a
// handful of sheets, and every sheet is cut.
TEST(SheetSeriesTest, TwoThousandSheetsKeepTheOpenFilesBounded) {
  Sandbox box;
  fs::create_directories(box.data());
  // 1:5,000 sheets are 1'52.5" of longitude by 1'15" of latitude: 48 × 44 of them over
  // 30°00'–31°30' E, 52°00'–52°55' N, a point in the middle of each.
  std::vector<fixture::Feature> points;
  const double width = 1.875 / 60, height = 1.25 / 60;
  for (int row = 0; row < 44; ++row)
    for (int column = 0; column < 48; ++column) {
      char wkt[96];
      std::snprintf(wkt, sizeof wkt, "POINT (%.9f %.9f)", 30.0 + (column + 0.5) * width, 52.0 + (row + 0.5) * height);
      points.push_back({wkt, {std::to_string(row * 48 + column)}});
    }
  fixture::write_layer(box.data() / "points.shp", wkbPoint, 4326, {{"N", OFTInteger}}, points);
  // The document's first layer, "Листы": a polygon over nearly all the sheets.
  fixture::write_layer(box.data() / "sheets.shp", wkbPolygon, 4326, {{"NAME", OFTString, 10}},
                       {{"POLYGON ((30.01 52.01, 30.01 52.9, 31.49 52.9, 31.49 52.01, 30.01 52.01))", {"A"}}});
  fixture::write_layer(box.data() / "line.gpkg", wkbLineString, 4326, {{"N", OFTInteger}},
                       {{"LINESTRING (30.001 52.001, 31.499 52.913)", {"1"}}});
  box.write_document({bad_input::feature_layer("Points", "data/points.shp"),
                      bad_input::feature_layer("Line", "data/line.gpkg")},
                     {}, "\"EPSG:4326\"");

  const fs::path series = box.root() / "series";
  int most = 0, first_sheet = -1;
  CutResult run = box.cut_watched(
      {"--all-sheets", "1:5000"}, series,
      [&](pid_t pid, const std::string& out) {
        if (out.find("[1/") == std::string::npos) return;
        const int n = most_open_files(pid);
        if (first_sheet < 0) first_sheet = n;
        most = std::max(most, n);
      },
      10);
  ASSERT_EQ(run.code, 0) << run.out.substr(0, 2000) << run.err;
  const size_t sheets = folders_of(series).size();
  EXPECT_EQ(sheets, 48u * 44u);
  EXPECT_EQ(rows_with(run, "ok: ").size(), sheets);
  ASSERT_GT(first_sheet, 0) << "the open files were never counted";
  EXPECT_LE(most, 40) << "open files grew with the sheets: " << first_sheet << " at the first sheet";
  // A sheet in the middle holds its point, the area and nothing of another sheet.
  const fs::path middle = series / folders_of(series)[sheets / 2];
  EXPECT_EQ(fixture::read_layer(middle / "points.shp").count, 1);
  EXPECT_EQ(fixture::read_layer(middle / "sheets.shp").count, 1);
}

}  // namespace

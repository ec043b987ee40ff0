// What a cut writes and how it reports it, through `areaclip cut`: the result documents (the
// map document and, for a QGIS project, its project) are never the open document, are
// written within the run or not at all, and never replace an earlier result; a failed run
// says why and leaves every file that was there as it was.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;

const std::string kOptions = "--layer 'Листы' --feature A";
// A file size limit of 200 blocks for the program, SIGXFSZ ignored: writes past it fail.
const std::string kFileSizeLimit = "trap '' XFSZ; ulimit -f 200;";

// The cutting layer and "Дороги" (data/roads.shp): n lines inside feature A of `vertices`
// vertices each, and one crossing it.
void roads_map(Sandbox& s, int n = 1, int vertices = 2) {
  s.write_sheets();
  LayerSchema roads;
  roads.type = wkbLineString;
  roads.fields = {{"NAME", OFTString, 20}};
  write_features(s.data() / "roads.shp", roads, n + 1, [&](int i, OGRFeatureH f) {
    OGR_F_SetFieldString(f, 0, i == n ? "crossing" : ("road " + std::to_string(i)).c_str());
    OGRGeometryH g = OGR_G_CreateGeometry(wkbLineString);
    for (int k = 0; k < vertices; ++k) {
      const double x = i == n ? -500 + 2000.0 * k / (vertices - 1) : 100 + 800.0 * k / (vertices - 1);
      OGR_G_AddPoint_2D(g, 500000 + x, 6000000 + 100 + (i % 800));
    }
    OGR_F_SetGeometryDirectly(f, g);
  });
  s.write_document({feature_layer("Дороги", "data/roads.shp", "NAME")});
}

// Every entry under a folder as it is on disk: a link as its target (followed by nothing),
// a file as its bytes, a folder as a mark.
std::map<std::string, std::string> entries_under(const fs::path& folder) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = fs::relative(it->path(), folder).string();
    if (it->is_symlink()) out[name] = "link to " + fs::read_symlink(it->path()).string();
    else if (it->is_directory()) out[name] = "(folder)";
    else out[name] = fixture::read_file(it->path());
  }
  return out;
}

void expect_unchanged(const std::map<std::string, std::string>& before, const std::map<std::string, std::string>& after) {
  for (const auto& [name, state] : before) {
    ASSERT_TRUE(after.count(name)) << name << " is gone";
    EXPECT_TRUE(after.at(name) == state) << name << " changed";
  }
  for (const auto& [name, state] : after) EXPECT_TRUE(before.count(name)) << name << " was left behind";
}

TEST(CutResult, TheOpenProjectIsNeverWrittenOverByItsOwnCut) {
  for (const std::string ext : {".qgs", ".qgz"}) {
    SCOPED_TRACE(ext);
    Sandbox s;
    roads_map(s);
    fs::create_directories(s.root() / "project");
    ASSERT_EQ(s.run("convert map.mxd " + quoted("project/cross" + ext)).code, 0);
    const auto before = entries_under(s.root());
    const CutResult run = s.cut(kOptions, s.root() / "project", s.root() / ("project/cross" + ext));
    EXPECT_EQ(run.code, 1) << run.err << run.out;
    EXPECT_NE(run.err.find("[Ошибка!] Папка результата содержит открытый документ карты (cross" + ext +
                           "): результат записался бы поверх него. Выберите другую папку."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
    expect_unchanged(before, entries_under(s.root()));
  }
}

TEST(CutResult, AProjectsCutWritesItsProjectOfTheSameKindWithinTheRun) {
  for (const std::string ext : {".qgs", ".qgz"}) {
    SCOPED_TRACE(ext);
    Sandbox s;
    roads_map(s);
    ASSERT_EQ(s.run("convert map.mxd " + quoted("project" + ext)).code, 0);
    const CutResult run = s.cut(kOptions, s.out(), s.root() / ("project" + ext));
    ASSERT_EQ(run.code, 0) << run.err << run.out;
    const fs::path project = s.out() / ("cross" + ext);
    EXPECT_NE(run.out.find("result project: " + project.string()), std::string::npos) << run.out;
    const std::string other = ext == ".qgs" ? "cross.qgz" : "cross.qgs";
    EXPECT_FALSE(fs::exists(s.out() / other));
    const CutResult info = s.run("info " + quoted(project.string()));
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("source: roads.shp"), std::string::npos) << info.out;
    // The result project opened in the window is cut again by the same rule: not into its folder.
    const CutResult again = s.cut(kOptions, s.out(), project);
    EXPECT_EQ(again.code, 1) << again.err;
  }
}

TEST(CutResult, AProjectThatCannotBeWrittenFailsTheRunAndTakesEverythingBack) {
  Sandbox s;
  roads_map(s);
  ASSERT_EQ(s.run("convert map.mxd project.qgs").code, 0);
  // A project of 300 KB (kept as the project holds it), small shapefiles: only the project
  // is past the file size limit.
  std::string text = fixture::read_file(s.root() / "project.qgs");
  const size_t end = text.rfind("</qgis>");
  ASSERT_NE(end, std::string::npos);
  text.insert(end, "<areaclipPadding>" + std::string(300000, 'n') + "</areaclipPadding>\n");
  std::ofstream(s.root() / "project.qgs", std::ios::binary | std::ios::trunc) << text;
  const auto before = entries_under(s.root());
  const CutResult run = s.cut(kOptions, s.out(), s.root() / "project.qgs", kFileSizeLimit);
  EXPECT_EQ(run.code, 1) << run.err << run.out;
  EXPECT_NE(run.err.find("[Ошибка!] Ошибка при выполнении."), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("cross.qgs\": File too large"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
  // Not a shapefile, not the document: the folder the cut made is gone with them.
  expect_unchanged(before, entries_under(s.root()));
  EXPECT_FALSE(fs::exists(s.out()));
}

TEST(CutResult, AFolderHoldingAResultProjectIsRefusedBeforeAnythingIsWritten) {
  Sandbox s;
  roads_map(s);
  ASSERT_EQ(s.run("convert map.mxd project.qgs").code, 0);
  fs::create_directories(s.out());
  std::ofstream(s.out() / "cross.qgs") << "an earlier result";
  const auto before = entries_under(s.root());
  const CutResult run = s.cut(kOptions, s.out(), s.root() / "project.qgs");
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_NE(run.err.find("[Ошибка!] Папка результата уже содержит результат вырезания (cross.qgs). Выберите "
                         "другую папку."),
            std::string::npos)
      << run.err;
  expect_unchanged(before, entries_under(s.root()));
}

// The system's reason for a folder the run cannot make reaches the person.
TEST(CutResult, AFailedRunSaysWhy) {
  Sandbox s;
  s.write_sheets();
  LayerSchema faults;
  faults.type = wkbLineString;
  faults.fields = {{"NAME", OFTString, 20}};
  write_wkt(s.data() / "TECT_faults.shp", faults, {{line({{100, 100}, {900, 900}}), {"f"}}});
  // The faults first: theirs is the first file the run writes.
  std::ofstream(s.document(), std::ios::trunc)
      << "{\"format\": \"areaclip-map\", \"version\": 1, \"maps\": [{\"name\": \"Карта\", "
         "\"spatial_reference\": \"EPSG:32636\", \"layers\": ["
      << feature_layer("Разломы", "data/TECT_faults.shp", "NAME") << ", "
      << feature_layer("Листы", "data/sheets.shp", "NAME") << "]}]}";
  // The layer goes into the subfolder TECT, where a file of that name stands.
  fs::create_directories(s.out());
  std::ofstream(s.out() / "TECT") << "a file";
  const CutResult run = s.cut(kOptions, s.out());
  EXPECT_EQ(run.code, 1) << run.err;
  EXPECT_NE(run.err.find("[Ошибка!] Ошибка при выполнении.\nareaclip: Папка " + s.out().string() +
                         "\\TECT недоступна: это не папка"),
            std::string::npos)
      << run.err;
  // A folder where nothing can be made: the system's words for it.
  const CutResult proc = s.cut(kOptions, "/proc/1");
  EXPECT_EQ(proc.code, 1) << proc.err;
  EXPECT_NE(proc.err.find("areaclip: Не удалось создать папку /proc/1\\TECT: The system cannot find the file "
                          "specified."),
            std::string::npos)
      << proc.err;
}

TEST(CutResult, AWorkingFolderTheCodePageCannotNameIsNoHindrance) {
  Sandbox s;
  roads_map(s);
  fs::create_directories(s.root() / "é_cwd");
  const CutResult run = s.cut(kOptions, s.out(), s.document(), "cd 'é_cwd' &&");
  ASSERT_EQ(run.code, 0) << run.err << run.out;
  EXPECT_EQ(fixture::read_layer(s.out() / "roads.shp").count, 2);
}

// A result folder holding what the run must not touch: stray parts of shapefiles, links
// (one whose target is gone, one to a file), a read-only file, a shapefile named in capitals.
// The run writes beside them under free names, and a run that fails midway (the disk fills)
// takes back only what it made.
TEST(CutResult, WhatTheResultFolderHeldIsNeverTakenForTheRunsOwn) {
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "failing" : "succeeding");
    Sandbox s;
    roads_map(s, fails ? 1000 : 1, fails ? 90 : 2);
    const fs::path out = s.out();
    fs::create_directories(out);
    std::ofstream(out / "roads.dbf") << "a stray table";
    std::ofstream(out / "roads_1.prj") << "a stray system";
    fs::create_symlink(out / "gone.dbf", out / "roads_2.dbf");
    std::ofstream(s.root() / "elsewhere.shx") << "linked";
    fs::create_symlink(s.root() / "elsewhere.shx", out / "roads_3.shx");
    std::ofstream(out / "roads_4.cpg") << "UTF-8";
    ::chmod((out / "roads_4.cpg").c_str(), 0444);
    for (const char* ext : {".SHP", ".SHX", ".DBF", ".PRJ"}) std::ofstream(out / (std::string("SHEETS") + ext)) << ext;
    const auto before = entries_under(s.root());
    const CutResult run = s.cut(kOptions, out, s.document(), fails ? kFileSizeLimit : "");
    if (fails) {
      EXPECT_EQ(run.code, 1) << run.err << run.out;
      EXPECT_NE(run.err.find("roads_5.shp"), std::string::npos) << run.err;
      expect_unchanged(before, entries_under(s.root()));
      EXPECT_TRUE(fs::is_symlink(out / "roads_2.dbf"));
      EXPECT_TRUE(fs::is_symlink(out / "roads_3.shx"));
    } else {
      ASSERT_EQ(run.code, 0) << run.err << run.out;
      EXPECT_EQ(fixture::read_layer(out / "roads_5.shp").count, 2);
      EXPECT_EQ(fixture::read_layer(out / "sheets_1.shp").count, 1);
      const auto after = entries_under(s.root());
      for (const auto& [name, state] : before) EXPECT_TRUE(after.count(name) && after.at(name) == state) << name;
    }
  }
}

// The summary lists the layers whose files the run wrote, found by whole folder names.
TEST(CutResult, TheSummaryListsOnlyWhatTheRunWrote) {
  Sandbox s;
  s.write_sheets();
  LayerSchema roads;
  roads.type = wkbLineString;
  roads.fields = {{"NAME", OFTString, 20}};
  // Sources in a folder whose name begins with the result folder's, rasters there and in
  // the result folder itself: none of them is the run's.
  write_wkt(s.root() / "out2" / "roads.shp", roads, {{line({{100, 100}, {900, 900}}), {"r"}}});
  fs::create_directories(s.out());
  const std::string grid = "ncols 1\nnrows 1\nxllcorner 500000\nyllcorner 6000000\ncellsize 10\nNODATA_value -1\n7\n";
  std::ofstream(s.out() / "relief.asc") << grid;
  std::ofstream(s.root() / "out2" / "heights.asc") << grid;
  s.write_document({feature_layer("Дороги", "out2/roads.shp", "NAME"),
                    R"({"type": "raster", "name": "Рельеф", "visible": true, "source": {"path": "out/relief.asc"}})",
                    R"({"type": "raster", "name": "Высоты", "visible": true, "source": {"path": "out2/heights.asc"}})"});
  const CutResult run = s.cut(kOptions, s.out());
  ASSERT_EQ(run.code, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("  roads.shp "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  sheets.shp "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("out2"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("relief"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("heights"), std::string::npos) << run.out;
}

}  // namespace

// A layer the cut adds to a project's map (the sheet's frame) names its file in the result
// folder, as every cut layer does, also when the result folder is not the project's own.
TEST(CutResult, TheSheetFrameOfAProjectsCutNamesItsFileInTheResultFolder) {
  const fs::path fixtures = fs::path(AREACLIP_SOURCE_DIR) / "tests/data/qgis";
  for (const std::string ext : {".qgs", ".qgz"}) {
    SCOPED_TRACE(ext);
    Sandbox s;
    fs::copy(fixtures / "data", s.root() / "data", fs::copy_options::recursive);
    fs::copy_file(fixtures / ("project" + ext), s.root() / ("project" + ext));
    const fs::path out = s.root() / "results" / "sheet";
    const CutResult run = s.cut("--sheet M-36-1-Б", out, s.root() / ("project" + ext));
    ASSERT_EQ(run.code, 3) << run.err << run.out;  // the fixture's memory layer is not cut
    ASSERT_TRUE(fs::exists(out / "M-36-1-Б.shp"));
    const CutResult info = s.run("info " + quoted((out / ("cross" + ext)).string()));
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("source: M-36-1-Б.shp [M-36-1-Б]\n"), std::string::npos) << info.out;
    if (ext == ".qgs") {
      const std::string text = fixture::read_file(out / "cross.qgs");
      EXPECT_NE(text.find("<datasource>./M-36-1-Б.shp|layername=M-36-1-Б</datasource>"), std::string::npos);
    }
  }
}

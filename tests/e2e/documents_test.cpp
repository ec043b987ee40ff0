// Bringing one's own map: documents made from data files (areaclip new / add), QGIS projects
// cut as documents (cross.qgs beside cross.mxd), documents converted between the formats, and
// the command line's help, version and option forms. The program runs as a subprocess.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <regex>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;

const fs::path kFixtures = fs::path(AREACLIP_SOURCE_DIR) / "tests/data/qgis";

// The sandbox with the QGIS fixture projects and their data.
void copy_fixtures(const Sandbox& s) {
  fs::copy(kFixtures / "data", s.root() / "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(kFixtures / "project.qgs", s.root() / "project.qgs");
  fs::copy_file(kFixtures / "project.qgz", s.root() / "project.qgz");
  fs::copy(kFixtures / "sub", s.root() / "sub", fs::copy_options::recursive);
}

// A project's text with the XML escapes resolved (QGIS writes ">" as it is, libxml2 as "&gt;").
std::string unescaped(std::string text) {
  for (auto [escape, plain] : {std::pair{"&gt;", ">"}, {"&lt;", "<"}, {"&quot;", "\""}, {"&amp;", "&"}})
    text = std::regex_replace(text, std::regex(escape), plain);
  return text;
}

// The datasource of the layer named name in a project's text, unescaped.
std::string datasource_of(const std::string& project, const std::string& name) {
  std::smatch m;
  std::regex re("<datasource>([^<]*)</datasource>\\s*(?:<[^>]*>\\s*)*?<layername>" + name + "</layername>");
  return std::regex_search(project, m, re) ? unescaped(m[1]) : "(none)";
}

// What a result shapefile holds, for comparing two cuts: count, geometries and rows.
std::string digest(const fs::path& shapefile) {
  fixture::LayerContents c = fixture::read_layer(shapefile);
  if (!c.exists) return "(missing)";
  std::vector<std::string> rows;
  for (size_t i = 0; i < c.rows.size(); ++i) {
    std::string row = i < c.wkt.size() ? c.wkt[i] : "";
    for (const auto& [k, v] : c.rows[i]) row += " " + k + "=" + v;
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  std::string out = std::to_string(c.count);
  for (const std::string& r : rows) out += "\n" + r;
  return out;
}

std::vector<std::string> shapefiles(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& [name, content] : files_under(folder))
    if (fs::path(name).extension() == ".shp") out.push_back(name);
  return out;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(QgisCut, AgreesWithTheCutOfTheSameLayersAsADocumentAndWritesAProjectOfTheResult) {
  Sandbox s;
  copy_fixtures(s);
  CutResult converted = s.run("convert project.qgz converted.mxd");
  ASSERT_EQ(converted.code, 0) << converted.err;

  const std::string choice = "--layer Parcels --feature North";
  // The project's memory layer is not cut: the result is written without it (exit 3).
  CutResult from_project = s.cut(choice, s.root() / "out_qgis", s.root() / "project.qgs");
  ASSERT_EQ(from_project.code, 3) << from_project.err;
  EXPECT_NE(from_project.out.find("not cut: Scratch: "), std::string::npos) << from_project.out;
  CutResult from_document = s.cut(choice, s.root() / "out_json", s.root() / "converted.mxd");
  ASSERT_EQ(from_document.code, 3) << from_document.err;

  std::vector<std::string> written = shapefiles(s.root() / "out_qgis");
  ASSERT_EQ(written, (std::vector<std::string>{"parcels.shp", "roads.shp", "springs.shp", "wells.shp"}));
  EXPECT_EQ(shapefiles(s.root() / "out_json"), written);
  for (const std::string& name : written)
    EXPECT_EQ(digest(s.root() / "out_qgis" / name), digest(s.root() / "out_json" / name)) << name;
  EXPECT_NE(from_project.err.find("\"Scratch\" is not cut"), std::string::npos) << from_project.err;

  // The result project: every cut layer reads its result inside the folder and draws with
  // the renderer it had; the annotation outside the polygon is gone.
  const fs::path cross = s.root() / "out_qgis" / "cross.qgs";
  ASSERT_TRUE(fs::exists(cross));
  EXPECT_FALSE(fs::exists(s.root() / "out_json" / "cross.qgs"));
  EXPECT_NE(from_project.out.find("result project: " + cross.string()), std::string::npos) << from_project.out;
  std::string project = fixture::read_file(cross);
  for (const char* source : {"./parcels.shp", "./roads.shp", "./wells.shp", "./springs.shp"})
    EXPECT_EQ(count_of(project, std::string("<datasource>") + source), 1) << source;
  for (const char* renderer : {"categorizedSymbol", "graduatedSymbol"})
    EXPECT_EQ(count_of(project, renderer), count_of(fixture::read_file(kFixtures / "project.qgs"), renderer)) << renderer;
  EXPECT_EQ(project.find("text=\"outside\""), std::string::npos);
  EXPECT_NE(project.find("text=\"inside\""), std::string::npos);

  CutResult info = s.run("info out_qgis/cross.qgs");
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(count_of(info.out, "NOT AVAILABLE"), 1) << info.out;  // the memory layer only
  EXPECT_NE(info.out.find("renderer: unique values by KIND"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("renderer: class breaks on DEPTH"), std::string::npos) << info.out;
  for (const char* source : {"source: parcels.shp", "source: roads.shp", "source: wells.shp", "source: springs.shp"})
    EXPECT_NE(info.out.find(source), std::string::npos) << source << "\n" << info.out;
}

TEST(DocumentsFromData, NewFromThreeDataSetsCutsAsOgr2ogrClips) {
  Sandbox s;
  copy_fixtures(s);
  CutResult made = s.run("new mine.mxd data/parcels.shp data/network.gpkg data/springs.geojson --title=Mine");
  ASSERT_EQ(made.code, 0) << made.err;
  CutResult info = s.run("info mine.mxd");
  ASSERT_EQ(info.code, 0) << info.err;
  for (const char* line : {"- feature \"parcels\"", "- feature \"roads\"", "- feature \"wells\"", "- feature \"springs\"",
                           "spatial reference: EPSG:32636", "title: Mine", "fields: FID (object id), NAME (text 40)"})
    EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;

  CutResult cut = s.cut("--layer parcels --feature North", s.out(), s.root() / "mine.mxd");
  ASSERT_EQ(cut.code, 0) << cut.err;
  // The same layers clipped by ogr2ogr to the same square (the data are in the map's system).
  const std::string clip = "POLYGON((500000 6000000,501000 6000000,501000 6001000,500000 6001000,500000 6000000))";
  for (const char* layer : {"roads", "wells"}) {
    const fs::path reference = s.root() / "ogr" / (std::string(layer) + ".shp");
    fs::create_directories(reference.parent_path());
    std::string command = "ogr2ogr -q -clipsrc '" + clip + "' " + quoted(reference.string()) + " " +
                          quoted((s.data() / "network.gpkg").string()) + " " + layer;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    fixture::LayerContents ours = fixture::read_layer(s.out() / (std::string(layer) + ".shp"));
    fixture::LayerContents theirs = fixture::read_layer(reference);
    EXPECT_EQ(ours.count, theirs.count) << layer;
    EXPECT_NEAR(ours.total_length, theirs.total_length, 1e-6) << layer;
  }
}

TEST(DocumentsFromData, AddPutsLayersIntoAGroupAndRefusedDataLeavesTheDocumentAsItWas) {
  Sandbox s;
  copy_fixtures(s);
  ASSERT_EQ(s.run("new mine.mxd data/parcels.shp").code, 0);
  CutResult added = s.run("add mine.mxd data/network.gpkg:roads data/springs.geojson --group Extra");
  ASSERT_EQ(added.code, 0) << added.err;
  CutResult info = s.run("info mine.mxd");
  EXPECT_NE(info.out.find("- group \"Extra\"\n        - feature \"roads\"\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("        - feature \"springs\""), std::string::npos) << info.out;

  const std::string before = fixture::read_file(s.root() / "mine.mxd");
  struct Refused {
    std::string arguments, message;
  };
  const Refused cases[] = {
      {"add mine.mxd data/wells.shp", "data/wells.shp: no such file"},
      {"add mine.mxd data/network.gpkg:lakes", "has no layer \"lakes\" (it has: roads, wells)"},
      {"add mine.mxd data/springs.geojson data", "data: is a folder"},
      {"add mine.mxd data/parcels.dbf.none data/parcels.shp", "no such file"},
      {"new mine.mxd data/parcels.shp", "exists already"},
      {"new other.mxd data/parcels.prj", "not vector data"},
  };
  for (const Refused& c : cases) {
    CutResult r = s.run(c.arguments);
    EXPECT_EQ(r.code, 2) << c.arguments << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
    EXPECT_EQ(fixture::read_file(s.root() / "mine.mxd"), before) << c.arguments;
  }
  EXPECT_FALSE(fs::exists(s.root() / "other.mxd"));
}

TEST(DocumentsFromData, ReaderWarnsOfFieldsTheDataLacksAndOfAFolderSource) {
  Sandbox s;
  copy_fixtures(s);
  ASSERT_EQ(s.run("new mine.mxd data/parcels.shp").code, 0);
  std::string text = fixture::read_file(s.root() / "mine.mxd");
  text = std::regex_replace(text, std::regex("\"display_field\": \"NAME\""), "\"display_field\": \"TITLE\"");
  text = std::regex_replace(text, std::regex("\"renderer\": \\{"),
                            "\"renderer\": {\"type\": \"unique_value\", \"fields\": [\"COLOUR\"], \"values\": []}, \"x\": {");
  text = std::regex_replace(text, std::regex("data/parcels.shp"), "data");
  std::ofstream(s.root() / "odd.mxd", std::ios::binary) << text;
  CutResult info = s.run("info odd.mxd");
  ASSERT_EQ(info.code, 0) << info.err;
  for (const char* warning : {"the display field TITLE is not a field of its data",
                              "the renderer's field COLOUR is not a field of its data", "its source is a folder"})
    EXPECT_EQ(count_of(info.out, warning), 1) << warning << "\n" << info.out;
}

TEST(DocumentsConvert, QgisProjectToJsonAndBackKeepsLayersRenderersAndAnnotations) {
  Sandbox s;
  copy_fixtures(s);
  ASSERT_EQ(s.run("convert project.qgs middle.mxd").code, 0);
  CutResult back = s.run("convert middle.mxd back.qgz");
  ASSERT_EQ(back.code, 0) << back.err;
  auto listing = [&](const std::string& doc) {
    std::string out = s.run("info " + doc).out;
    // Layer lines and renderer lines, without the sources (they differ by format).
    std::string kept;
    std::regex line("^\\s*(- (feature|group).*|renderer: .*|- text .*)$");
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
      if (std::regex_match(l, line)) kept += l + "\n";
    return kept;
  };
  std::string original = listing("project.qgs");
  EXPECT_NE(original.find("unique values by KIND"), std::string::npos) << original;
  // The map document carries the project: even the memory layer comes back.
  EXPECT_EQ(listing("back.qgz"), original);
  EXPECT_EQ(s.run("convert project.qgs project.qgs").code, 2);
}

// A cut of a project that names its data as ../data: the layers it cuts read the results and
// every field reference follows the shapefile's shortened names; the layers it keeps without
// cutting (delimited text) still name their files from the result folder.
TEST(QgisCut, ResultProjectFollowsShortenedFieldsAndKeepsUncutSourcesReachable) {
  Sandbox s;
  copy_fixtures(s);
  // One expression names a field inside a text: it cannot be renamed safely.
  std::string text = fixture::read_file(s.root() / "sub/fidelity.qgs");
  const std::string unsafe = "attribute($currentfeature, 'GEOLOGY_KIND_CODE') &lt;= 10";
  text = std::regex_replace(text, std::regex("&quot;GEOLOGY_KIND_CODE&quot; &lt;= 10"), unsafe);
  // Names bare and in any letter case, beside functions, variables and texts that merely look alike.
  text = std::regex_replace(text, std::regex("<previewExpression>\"GEOLOGY_NAME_TEXT\"</previewExpression>"),
                            "<previewExpression>upper(geology_name_text) || ' GEOLOGY_NAME' || $id || "
                            "\"Geology_Kind_Code\"</previewExpression>");
  std::ofstream(s.root() / "sub/fidelity.qgs", std::ios::binary) << text;

  CutResult cut = s.cut("--layer Geology --feature-id 1", s.root() / "out", s.root() / "sub/fidelity.qgs");  // "clay"
  // The delimited-text layer is not read, so it is not cut: the result keeps naming it.
  ASSERT_EQ(cut.code, 3) << cut.err;
  const std::string project = fixture::read_file(s.root() / "out/cross.qgs");
  const std::string geology = datasource_of(project, "Geology");
  EXPECT_EQ(geology.rfind("./geology.shp", 0), 0u) << geology;
  EXPECT_NE(geology.find("|subset=\"GEOLOGY_KI\" > 0"), std::string::npos) << geology;
  EXPECT_NE(unescaped(project).find("filter=\"\"GEOLOGY_KI\" > 10\""), std::string::npos);
  EXPECT_NE(project.find("fieldName=\"GEOLOGY_NA\""), std::string::npos);
  EXPECT_EQ(project.find("GEOLOGY_NAME_TEXT"), std::string::npos);
  EXPECT_NE(project.find("<previewExpression>upper(GEOLOGY_NA) || ' GEOLOGY_NAME' || $id || \"GEOLOGY_KI\""),
            std::string::npos);
  // The unsafe expression is kept, and named in the run's warnings.
  EXPECT_NE(unescaped(project).find("attribute($currentfeature, 'GEOLOGY_KIND_CODE') <= 10"), std::string::npos);
  EXPECT_NE(cut.out.find("layer \"Geology\": the expression attribute($currentfeature, 'GEOLOGY_KIND_CODE') <= 10"),
            std::string::npos)
      << cut.out;
  EXPECT_EQ(datasource_of(project, "Wells"), "./wells.shp|layername=wells");
  const std::string points = datasource_of(project, "Points");
  EXPECT_EQ(points.rfind("file:../data/pts.csv?type=csv&", 0), 0u) << points;
}

// convert refuses to replace a file without being told, and never replaces a file of
// another kind; OUT must name a document.
TEST(DocumentsConvert, ExistingAndForeignOutputsAreRefused) {
  Sandbox s;
  copy_fixtures(s);
  std::ofstream(s.root() / "taken.qgs", std::ios::binary) << "keep me";
  const std::string shapefile = fixture::read_file(s.root() / "data/parcels.shp");
  struct Case {
    const char* arguments;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"convert project.qgs taken.qgs", 2, "exists already"},
      {"convert project.qgs taken.qgs --overwrite", 2, "is not a QGIS project"},
      {"convert project.qgs data/parcels.shp", 2, "must be a map document"},
      {"convert project.qgs data/parcels.shp --overwrite", 2, "must be a map document"},
      {"convert project.qgs out.json", 2, "must be a map document"},
  };
  for (const Case& c : cases) {
    CutResult r = s.run(c.arguments);
    EXPECT_EQ(r.code, c.code) << c.arguments << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
  }
  EXPECT_EQ(fixture::read_file(s.root() / "taken.qgs"), "keep me");
  EXPECT_EQ(fixture::read_file(s.root() / "data/parcels.shp"), shapefile);
  EXPECT_FALSE(fs::exists(s.root() / "out.json"));
  // A document of the kind is replaced when told.
  ASSERT_EQ(s.run("convert project.qgs copy.qgs").code, 0);
  EXPECT_EQ(s.run("convert project.qgs copy.qgs").code, 2);
  CutResult again = s.run("convert project.qgs copy.qgs --overwrite");
  EXPECT_EQ(again.code, 0) << again.err;
}

// A project through a map document and back keeps what the map document does not model: the
// delimited-text layer, the rule-based renderer, labels, opacity, filter.
TEST(DocumentsConvert, ProjectThroughAMapDocumentComesBackWhole) {
  Sandbox s;
  copy_fixtures(s);
  CutResult middle = s.run("convert sub/fidelity.qgs middle.mxd");
  ASSERT_EQ(middle.code, 0) << middle.err;
  CutResult back = s.run("convert middle.mxd sub/back.qgs");
  ASSERT_EQ(back.code, 0) << back.err;
  const std::string original = fixture::read_file(s.root() / "sub/fidelity.qgs");
  const std::string project = fixture::read_file(s.root() / "sub/back.qgs");
  for (const char* layer : {"Geology", "Wells", "Points"})
    EXPECT_EQ(datasource_of(project, layer), datasource_of(original, layer)) << layer;
  for (const char* kept : {"type=\"RuleRenderer\"", "fieldName=\"GEOLOGY_NAME_TEXT\"", "<layerOpacity>0.7</layerOpacity>",
                           "labelsEnabled=\"1\""})
    EXPECT_EQ(count_of(project, kept), count_of(original, kept)) << kept;

  // A .qgz's auxiliary storage and attachments cannot go into a map document: said so.
  CutResult from_archive = s.run("convert sub/fidelity.qgz archive.mxd");
  ASSERT_EQ(from_archive.code, 0) << from_archive.err;
  EXPECT_NE(from_archive.err.find("warning: the project's 2 other file(s)"), std::string::npos)
      << from_archive.err;
}

// A map document with what a project cannot hold: each loss is named.
TEST(DocumentsConvert, MapDocumentToProjectListsWhatIsNotCarried) {
  Sandbox s;
  fs::copy(fs::path(AREACLIP_SOURCE_DIR) / "examples", s.root() / "examples", fs::copy_options::recursive);
  CutResult r = s.run("convert examples/map.mxd examples/map.qgs");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* warning : {"warning: map \"Обзорная карта\" is not written", "warning: the page layout is not written",
                              "warning: graphics layer \"Надписи\" is written as its elements",
                              "warning: text \"Надпись через границу листов\" is written at the centre of its frame"})
    EXPECT_NE(r.err.find(warning), std::string::npos) << warning << "\n" << r.err;
  const std::string project = fixture::read_file(s.root() / "examples/map.qgs");
  EXPECT_NE(project.find("text=\"Надпись через границу листов\""), std::string::npos);
}

TEST(CommandLine, HelpVersionOptionFormsAndUnknownCommands) {
  Sandbox s;
  s.write_sheets();
  s.write_document({});
  struct Case {
    std::string arguments;
    int code;
    std::string out, err;
  };
  const Case cases[] = {
      {"cut --help", 0, "usage: areaclip cut DOC", ""},
      {"sheets --help", 0, "usage: areaclip sheets", ""},
      {"info -h", 0, "usage: areaclip info DOC", ""},
      {"new --help", 0, "usage: areaclip new DOC DATA...", ""},
      {"add --help", 0, "usage: areaclip add DOC DATA...", ""},
      {"convert --help", 0, "usage: areaclip convert IN OUT", ""},
      {"features --help", 0, "usage: areaclip features DOC --layer NAME", ""},
      {"render --help", 0, "usage: areaclip render DOC", ""},
      {"register --help", 0, "usage: areaclip register", ""},
      {"unregister --help", 0, "usage: areaclip unregister", ""},
      {"--version", 0, "areaclip ", ""},
      {"--help", 0, "areaclip convert IN OUT", ""},
      {"frob map.mxd", 2, "", "areaclip: unknown command 'frob'"},
      {"info", 2, "", "usage: areaclip info DOC"},
      {"cut map.mxd --layer=Листы --feature=A --folder=out", 0, "result document:", ""},
  };
  for (const Case& c : cases) {
    CutResult r = s.run(c.arguments);
    EXPECT_EQ(r.code, c.code) << c.arguments << "\n" << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.arguments << "\n" << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.arguments << "\n" << r.err;
  }
}

}  // namespace

namespace {

// A map whose polygon layer "Plots" has two features labelled "dup" and one "Lake".
void write_plots(Sandbox& s) {
  s.write_sheets();
  LayerSchema plots;
  plots.fields = {{"NAME", OFTString, 20}};
  write_wkt(s.data() / "plots.shp", plots,
            {{square(0, 0, 1000, 1000), {"dup"}}, {square(0, 0, 500, 500), {"dup"}}, {square(0, 0, 200, 100), {"Lake"}}});
  s.write_document({feature_layer("Plots", "data/plots.shp", "NAME")});
}

TEST(FeatureChoice, ALabelCutsOnlyWhenOneFeatureHasIt) {
  Sandbox s;
  write_plots(s);
  CutResult listed = s.run("features map.mxd --layer Plots");
  ASSERT_EQ(listed.code, 0) << listed.err;
  for (const char* line : {"       0  \"dup\"  area 1000000.00  extent 500000.00 6000000.00 – 501000.00 6001000.00",
                           "       1  \"dup\"  area 250000.00", "       2  \"Lake\"  area 20000.00"})
    EXPECT_NE(listed.out.find(line), std::string::npos) << line << "\n" << listed.out;

  struct Case {
    std::string options;
    int code;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"--layer Plots --feature dup", 2,
       {"2 features of layer 'Plots' have the label 'dup'; choose one with --feature-id ID:", "       0  \"dup\"  area 1000000.00",
        "       1  \"dup\"  area 250000.00"}},
      {"--layer Plots --feature ' lake'", 2,
       {"no feature of layer 'Plots' has the label ' lake' exactly; did you mean:\n       2  \"Lake\"",
        "the feature picker lists:"}},
      {"--layer Plots --feature-id 1", 0, {}},
      {"--layer Plots --feature Lake", 0, {}},
  };
  for (const Case& c : cases) {
    fs::remove_all(s.out());
    CutResult r = s.cut(c.options);
    EXPECT_EQ(r.code, c.code) << c.options << "\n" << r.err;
    for (const std::string& m : c.messages) EXPECT_NE(r.err.find(m), std::string::npos) << c.options << "\n" << r.err;
    if (c.code == 2) {
      EXPECT_FALSE(fs::exists(s.out())) << c.options;
    }
  }
  EXPECT_EQ(s.run("features map.mxd --layer Roads").code, 2);
}

}  // namespace

namespace {

// One layer per change the cut makes to data, each made so that the change happens once.
TEST(CutWarnings, EachChangeToTheDataIsReportedOnceUnderItsLayer) {
  Sandbox s;
  s.write_sheets();
  LayerSchema no_system;
  no_system.type = wkbPoint;
  no_system.epsg = 0;
  no_system.fields = {{"NAME", OFTString, 10}};
  write_wkt(s.data() / "bare.shp", no_system, {{"POINT (" + at(500, 500) + ")", {"x"}}});

  LayerSchema mixed;
  mixed.type = wkbUnknown;
  mixed.fields = {{"NAME", OFTString, 10}};
  write_wkt(s.data() / "mixed.geojson", mixed,
            {{"POINT (" + at(100, 100) + ")", {"p"}}, {line({{100, 100}, {900, 900}}), {"l"}}});

  double lon = 0, lat = 0;
  fixture::utm36_to_lonlat(500500, 6000500, &lon, &lat);
  LayerSchema geographic;
  geographic.type = wkbPoint;
  geographic.epsg = 4326;
  geographic.fields = {{"NAME", OFTString, 10}};
  write_wkt(s.data() / "wgs.shp", geographic,
            {{"POINT (" + std::to_string(lon) + " " + std::to_string(lat) + ")", {"in"}}, {"POINT (33 95)", {"pole"}}});

  LayerSchema long_names;
  long_names.type = wkbPoint;
  long_names.fields = {{"GEOLOGY_KIND_CODE", OFTString, 10}, {"NOTE", OFTString, 0}};
  std::string text = "n";
  for (int i = 0; i < 150; ++i) text += "я";
  write_wkt(s.data() / "notes.gpkg", long_names, {{"POINT (" + at(300, 300) + ")", {"k", text}}});

  s.write_document({feature_layer("Bare", "data/bare.shp"), feature_layer("Mixed", "data/mixed.geojson"),
                    feature_layer("Wgs", "data/wgs.shp"), feature_layer("Notes", "data/notes.gpkg")});
  CutResult r = s.cut();
  ASSERT_EQ(r.code, 0) << r.err;
  const std::pair<const char*, const char*> expected[] = {
      {"bare.shp", "features without a coordinate system taken in the map's (1)"},
      {"mixed.shp", "features whose shape is a line in a layer of points left out (1)"},
      {"wgs.shp", "features that cannot be projected into the map's coordinate system left out (1)"},
      {"notes.shp", "field name GEOLOGY_KIND_CODE shortened to GEOLOGY_KI (1)"},
      {"notes.shp", "texts of field NOTE longer than its 254 bytes cut at a character boundary (1)"},
  };
  for (const auto& [file, warning] : expected) {
    // The warning follows its layer's line, before the next layer's.
    size_t layer = r.out.find("  " + std::string(file));
    ASSERT_NE(layer, std::string::npos) << file << "\n" << r.out;
    size_t next = r.out.find("\n  ", r.out.find('\n', layer) + 1);
    while (next != std::string::npos && r.out.compare(next + 3, 4, "    ") == 0) next = r.out.find("\n  ", next + 1);
    std::string block = r.out.substr(layer, next == std::string::npos ? std::string::npos : next - layer);
    EXPECT_EQ(count_of(block, std::string("warning: ") + warning), 1) << file << "\n" << r.out;
    EXPECT_EQ(count_of(r.out, warning), 1) << warning << "\n" << r.out;
  }
  EXPECT_EQ(count_of(r.out, "warning:"), 5) << r.out;
  EXPECT_EQ(fixture::read_layer(s.out() / "notes.shp").rows.at(0).at("NOTE"), text.substr(0, 253));
  EXPECT_EQ(fixture::read_layer(s.out() / "mixed.shp").count, 1);
  EXPECT_EQ(fixture::read_layer(s.out() / "wgs.shp").count, 1);
}

}  // namespace

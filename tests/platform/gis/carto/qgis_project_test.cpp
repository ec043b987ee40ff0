// QGIS projects as documents: projects QGIS wrote (tests/data/qgis, made by make_projects.py)
// read with their layer tree, systems, renderers and annotations; written back with only what
// the document changed; new projects from JSON documents; .qgz archives; bad projects refused.
#include <regex>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include "carto_test.h"
#include "gis/core.h"

namespace carto_test {
namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(AREACLIP_SOURCE_DIR) / "tests/data/qgis";

class QgisProjectTest : public CartoTest {
 protected:
  // The fixture projects and their data copied into the test's folder.
  void SetUp() override {
    CartoTest::SetUp();
    fs::copy(kFixtures / "data", path("data"), fs::copy_options::recursive);
    fs::copy_file(kFixtures / "project.qgs", path("project.qgs"));
    fs::copy_file(kFixtures / "project.qgz", path("project.qgz"));
    fs::copy(kFixtures / "sub", path("sub"), fs::copy_options::recursive);
  }

  ComPtr<IMxDocument> open(const fs::path& file) {
    std::string error;
    auto doc = gis::LoadDocument(file.string(), &error);
    EXPECT_TRUE(doc) << error;
    return doc;
  }

  void save(IMxDocument* doc, const fs::path& file) {
    std::string error;
    fs::create_directories(file.parent_path());
    ASSERT_TRUE(gis::SaveDocument(doc, file.string(), &error)) << error;
  }

  // name -> "type visible renderer-kind source-state" for every layer, groups as "group".
  std::map<std::string, std::string> layer_summary(IMxDocument* doc) {
    std::map<std::string, std::string> out;
    ComPtr<IMap> map = focus_map(doc);
    ComPtr<IEnumLayer> layers;
    map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
    ComPtr<ILayer> layer;
    while (layers && layers->Next(layer.put()) == S_OK && layer) {
      VARIANT_BOOL visible = VARIANT_FALSE, valid = VARIANT_FALSE;
      layer->get_Visible(&visible);
      layer->get_Valid(&valid);
      std::string entry = gis::LayerType(layer.get()) + (visible ? " shown" : " hidden");
      if (auto geo = win32::query<IGeoFeatureLayer>(layer.get())) {
        ComPtr<IFeatureRenderer> renderer;
        geo->get_Renderer(renderer.put());
        entry += win32::query<IUniqueValueRenderer>(renderer.get())    ? " unique"
                 : win32::query<IClassBreaksRenderer>(renderer.get()) ? " breaks"
                 : win32::query<ISimpleRenderer>(renderer.get())      ? " simple"
                                                                       : " other";
        entry += valid ? " valid" : " invalid";
      }
      out[name_of(layer.get())] = entry;
    }
    return out;
  }

  std::vector<std::string> element_texts(IMxDocument* doc) {
    std::vector<std::string> out;
    ComPtr<IGraphicsLayer> graphics;
    focus_map(doc)->get_BasicGraphicsLayer(graphics.put());
    auto container = win32::query<IGraphicsContainer>(graphics.get());
    container->Reset();
    ComPtr<IElement> element;
    while (container->Next(element.put()) == S_OK && element)
      if (auto text = win32::query<ITextElement>(element.get())) {
        win32::Bstr b;
        text->get_Text(b.put());
        out.push_back(b.utf8());
      }
    std::sort(out.begin(), out.end());  // QGIS writes its annotation items in no fixed order
    return out;
  }

  ComPtr<ILayer> find_layer(IMxDocument* doc, const std::string& name) {
    ComPtr<IEnumLayer> layers;
    focus_map(doc)->get_Layers(nullptr, VARIANT_TRUE, layers.put());
    ComPtr<ILayer> layer;
    while (layers && layers->Next(layer.put()) == S_OK && layer)
      if (name_of(layer.get()) == name) return layer;
    ADD_FAILURE() << "no layer " << name;
    return nullptr;
  }

  // The datasource QGIS stores for the layer named name, its XML escapes resolved (QGIS
  // writes ">" in text as it is, libxml2 as "&gt;").
  static std::string datasource(const std::string& project, const std::string& name) {
    std::smatch m;
    std::regex re("<datasource>([^<]*)</datasource>\\s*(?:<[^>]*>\\s*)*?<layername>" + name + "</layername>");
    if (!std::regex_search(project, m, re)) return "(none)";
    std::string text = m[1];
    for (auto [escape, plain] : {std::pair{"&gt;", ">"}, {"&lt;", "<"}, {"&quot;", "\""}, {"&amp;", "&"}})
      text = std::regex_replace(text, std::regex(escape), plain);
    return text;
  }

  const std::map<std::string, std::string> kFixtureLayers = {
      {"Parcels", "feature shown unique valid"}, {"Geology", "group shown"},
      {"Roads", "feature shown simple valid"},   {"Wells", "feature hidden breaks valid"},
      {"Springs", "feature shown simple valid"}, {"Scratch", "feature shown simple invalid"}};
};

TEST_F(QgisProjectTest, ProjectsQgisWroteReadWithTreeRenderersSystemsAndAnnotations) {
  for (const char* name : {"project.qgs", "project.qgz"}) {
    SCOPED_TRACE(name);
    auto doc = open(path(name));
    ASSERT_TRUE(doc);
    EXPECT_EQ(layer_summary(doc.get()), kFixtureLayers);
    ComPtr<ISpatialReference> sr;
    focus_map(doc.get())->get_SpatialReference(sr.put());
    ASSERT_TRUE(sr);
    LONG code = 0;
    sr->get_FactoryCode(&code);
    EXPECT_EQ(code, 32636);
    EXPECT_EQ(element_texts(doc.get()), (std::vector<std::string>{"inside", "outside"}));

    auto parcels = win32::query<IGeoFeatureLayer>(find_layer(doc.get(), "Parcels").get());
    win32::Bstr display;
    parcels->get_DisplayField(display.put());
    EXPECT_EQ(display.utf8(), "NAME");
    ComPtr<IFeatureRenderer> renderer;
    parcels->get_Renderer(renderer.put());
    auto unique = win32::query<IUniqueValueRenderer>(renderer.get());
    ASSERT_TRUE(unique);
    win32::Bstr field;
    unique->get_Field(0, field.put());
    EXPECT_EQ(field.utf8(), "KIND");
    LONG values = 0;
    unique->get_ValueCount(&values);
    EXPECT_EQ(values, 2);

    gis::LayerSource source;
    ASSERT_TRUE(gis::GetLayerSource(find_layer(doc.get(), "Roads").get(), &source));
    EXPECT_EQ(source.path, path("data/network.gpkg").lexically_normal().string());
    EXPECT_EQ(source.layer, "roads");

    std::vector<std::string> notes = gis::DocumentNotes(doc.get());
    ASSERT_EQ(notes.size(), 1u) << testing::PrintToString(notes);
    EXPECT_NE(notes[0].find("\"Scratch\""), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find("memory"), std::string::npos) << notes[0];
  }
}

TEST_F(QgisProjectTest, AbsoluteSourcesAndDashedLinesAreRead) {
  std::string text = read_file(path("project.qgs"));
  std::string absolute = path("data/springs.geojson").lexically_normal().string();
  text = std::regex_replace(text, std::regex("\\./data/springs\\.geojson"), absolute);
  write_file(path("absolute.qgs"), text);
  auto doc = open(path("absolute.qgs"));
  ASSERT_TRUE(doc);
  EXPECT_EQ(layer_summary(doc.get()).at("Springs"), "feature shown simple valid");

  auto roads = win32::query<IGeoFeatureLayer>(find_layer(doc.get(), "Roads").get());
  ComPtr<IFeatureRenderer> renderer;
  roads->get_Renderer(renderer.put());
  ComPtr<ISymbol> symbol;
  win32::query<ISimpleRenderer>(renderer.get())->get_Symbol(symbol.put());
  auto line = win32::query<ISimpleLineSymbol>(symbol.get());
  ASSERT_TRUE(line);
  esriSimpleLineStyle style = esriSLSSolid;
  line->get_Style(&style);
  EXPECT_EQ(style, esriSLSDash);
  double width = 0;
  line->get_Width(&width);
  EXPECT_NEAR(width, 0.8 * 72 / 25.4, 1e-9);
}

TEST_F(QgisProjectTest, UnchangedProjectWrittenBackKeepsEveryElementAndUnknownXml) {
  std::string text = read_file(path("project.qgs"));
  text = std::regex_replace(text, std::regex("<projectlayers>"), "<x-extension keep=\"yes\"><y/></x-extension>\n  <projectlayers>");
  write_file(path("extra.qgs"), text);
  auto doc = open(path("extra.qgs"));
  ASSERT_TRUE(doc);
  save(doc.get(), path("copy.qgs"));
  std::string copy = read_file(path("copy.qgs"));
  EXPECT_NE(copy.find("<x-extension keep=\"yes\">"), std::string::npos);
  for (const char* name : {"Parcels", "Roads", "Wells", "Springs", "Scratch"})
    EXPECT_EQ(datasource(copy, name), datasource(text, name)) << name;
  // Element for element the same tree: count the element starts.
  auto count = [](const std::string& s) {
    std::regex start("<[A-Za-z]");
    return std::distance(std::sregex_iterator(s.begin(), s.end(), start), std::sregex_iterator());
  };
  EXPECT_EQ(count(copy), count(text));
  auto again = open(path("copy.qgs"));
  ASSERT_TRUE(again);
  EXPECT_EQ(layer_summary(again.get()), kFixtureLayers);
}

TEST_F(QgisProjectTest, RepointedLayerAndDeletedAnnotationWrittenIntoAnotherFolder) {
  auto doc = open(path("project.qgs"));
  ASSERT_TRUE(doc);
  // Re-point Springs at a copy in the result folder, as a cut does.
  fs::create_directories(path("out"));
  for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
    fs::copy_file(path(std::string("data/parcels") + ext), path(std::string("out/result") + ext));
  std::string error;
  auto result = gis::OpenFeatureClass(path("out/result.shp").string(), "", &error);
  ASSERT_TRUE(result) << error;
  auto springs = win32::query<IFeatureLayer>(find_layer(doc.get(), "Springs").get());
  ASSERT_EQ(springs->putref_FeatureClass(result.get()), S_OK);
  // Delete the annotation "outside".
  ComPtr<IGraphicsLayer> graphics;
  focus_map(doc.get())->get_BasicGraphicsLayer(graphics.put());
  auto container = win32::query<IGraphicsContainer>(graphics.get());
  container->Reset();
  ComPtr<IElement> first;
  ASSERT_EQ(container->Next(first.put()), S_OK);
  ASSERT_EQ(container->DeleteElement(first.get()), S_OK);
  first.reset();
  result.reset();
  springs.reset();
  graphics.reset();
  container.reset();

  save(doc.get(), path("out/cross.qgs"));
  std::string cross = read_file(path("out/cross.qgs"));
  EXPECT_EQ(datasource(cross, "Springs"), "./result.shp|layername=result");
  EXPECT_EQ(datasource(cross, "Parcels"), "../data/parcels.shp");  // relative, as the project stores paths
  EXPECT_EQ(datasource(cross, "Scratch"), datasource(read_file(path("project.qgs")), "Scratch"));
  EXPECT_EQ(cross.find("text=\"outside\""), std::string::npos);
  EXPECT_NE(cross.find("text=\"inside\""), std::string::npos);

  auto back = open(path("out/cross.qgs"));
  ASSERT_TRUE(back);
  auto summary = layer_summary(back.get());
  EXPECT_EQ(summary, kFixtureLayers);
  EXPECT_EQ(element_texts(back.get()), std::vector<std::string>{"inside"});
  gis::LayerSource source;
  ASSERT_TRUE(gis::GetLayerSource(find_layer(back.get(), "Springs").get(), &source));
  EXPECT_EQ(source.path, path("out/result.shp").lexically_normal().string());
}

struct ConvertCase {
  const char* from;
  const char* middle;
  const char* to;
};

class QgisConvertTest : public QgisProjectTest, public testing::WithParamInterface<ConvertCase> {};

// A round trip through the other format keeps the layers, their kinds, visibility, renderer
// kinds and sources, the system and the annotations.
TEST_P(QgisConvertTest, RoundTripKeepsWhatBothFormatsHold) {
  const ConvertCase& c = GetParam();
  auto doc = open(path(c.from));
  ASSERT_TRUE(doc);
  save(doc.get(), path(c.middle));
  doc.reset();
  auto middle = open(path(c.middle));
  ASSERT_TRUE(middle);
  save(middle.get(), path(c.to));
  middle.reset();
  auto back = open(path(c.to));
  ASSERT_TRUE(back);
  auto summary = layer_summary(back.get());
  // A map document carries the project it was written from: even the layer whose data no
  // file holds comes back.
  EXPECT_EQ(summary, kFixtureLayers);
  EXPECT_EQ(element_texts(back.get()), (std::vector<std::string>{"inside", "outside"}));
  ComPtr<ISpatialReference> sr;
  focus_map(back.get())->get_SpatialReference(sr.put());
  LONG code = 0;
  if (sr) sr->get_FactoryCode(&code);
  EXPECT_EQ(code, 32636);
}

INSTANTIATE_TEST_SUITE_P(Formats, QgisConvertTest,
                         testing::Values(ConvertCase{"project.qgs", "map.mxd", "new.qgs"},
                                         ConvertCase{"project.qgz", "map.mxd", "new.qgz"},
                                         ConvertCase{"project.qgs", "copy.qgz", "copy.mxd"}));

// QGIS gives a layer whose id has 10 characters or fewer a new id, which the layer tree then
// does not find: every id written is longer, whatever the layer's name.
TEST_F(QgisProjectTest, NewLayersGetIdsQgisKeeps) {
  Json layers = Json::array();
  for (const char* name : {"d", "", "Слой", "a layer"}) layers.push_back(feature_layer(name, "data/springs.geojson"));
  auto doc = load(document_json(Json::array({map_json("Layers", layers)})));
  ASSERT_TRUE(doc);
  save(doc.get(), path("new.qgs"));
  std::string text = read_file(path("new.qgs"));
  std::regex id("<id>([^<]*)</id>");
  int ids = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), id); it != std::sregex_iterator(); ++it, ++ids)
    EXPECT_GT((*it)[1].length(), 10) << (*it)[1];
  EXPECT_EQ(ids, 4);
}

TEST_F(QgisProjectTest, BadProjectsAreRefusedWithTheReason) {
  struct Case {
    const char* name;
    std::string content;
    const char* reason;
  };
  const Case cases[] = {
      {"empty.qgs", "", "is empty"},
      {"broken.qgs", "<qgis><projectlayers></qgis>", "is not valid XML"},
      {"other.qgs", "<project/>", "is not a QGIS project"},
      {"notzip.qgz", "plain text", "is not a QGIS project archive"},
  };
  for (const Case& c : cases) {
    write_file(path(c.name), c.content);
    std::string error;
    EXPECT_FALSE(gis::LoadDocument(path(c.name).string(), &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(c.name), std::string::npos) << error;
  }
}

// The projects in sub/ name their data as ../data, a GeoPackage's second layer by number, and a
// CSV file through a file URI.
TEST_F(QgisProjectTest, LayerNumbersAreReadAsQgisReadsThemAndSourcesWrittenBackUnchanged) {
  for (const char* name : {"sub/fidelity.qgs", "sub/fidelity.qgz"}) {
    SCOPED_TRACE(name);
    auto doc = open(path(name));
    ASSERT_TRUE(doc);
    gis::LayerSource wells;
    ASSERT_TRUE(gis::GetLayerSource(find_layer(doc.get(), "Wells").get(), &wells));
    EXPECT_EQ(wells.path, path("data/network.gpkg").lexically_normal().string());
    EXPECT_EQ(wells.layer, "wells");  // layer 1; layer 0 is roads
    EXPECT_EQ(layer_summary(doc.get()).at("Wells"), "feature shown simple valid");
    EXPECT_EQ(layer_summary(doc.get()).at("Geology"), "feature shown other valid");

    // Saved beside the original, with a layer renamed: every source as QGIS wrote it.
    ASSERT_EQ(find_layer(doc.get(), "Geology")->put_Name(win32::Bstr::from_utf8("Geologie").get()), S_OK);
    save(doc.get(), path("sub/copy.qgs"));
    std::string original = read_file(path("sub/fidelity.qgs"));
    std::string copy = read_file(path("sub/copy.qgs"));
    EXPECT_EQ(datasource(copy, "Geologie"), datasource(original, "Geology"));
    for (const char* layer : {"Wells", "Points"}) EXPECT_EQ(datasource(copy, layer), datasource(original, layer)) << layer;
    EXPECT_EQ(datasource(copy, "Wells"), "../data/network.gpkg|layerid=1");
  }
}

// A layer's subset is the features it has, as QGIS shows them: counted, searched and drawn
// through the filter; a subset the source cannot evaluate leaves the layer unread with why.
TEST_F(QgisProjectTest, SubsetsAreTheFeaturesALayerHas) {
  const std::string text = read_file(path("sub/fidelity.qgs"));
  const std::string stored = "subset=\"GEOLOGY_KIND_CODE\" > 0";
  ASSERT_NE(text.find(stored), std::string::npos);
  struct Case {
    const char* subset;
    long count;  // -1: the layer is not read
  } cases[] = {{"\"GEOLOGY_KIND_CODE\" > 10", 3}, {"GEOLOGY_KIND_CODE = 5", 1},
               {"\"GEOLOGY_KIND_CODE\" > 100", 0}, {"\"NO_SUCH_FIELD\" > 1", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subset);
    std::string changed = text;
    changed.replace(changed.find(stored), stored.size(), std::string("subset=") + c.subset);
    write_file(path("sub/subset.qgs"), changed);
    auto doc = open(path("sub/subset.qgs"));
    ASSERT_TRUE(doc);
    ComPtr<ILayer> layer = find_layer(doc.get(), "Geology");
    gis::LayerSource source;
    ASSERT_TRUE(gis::GetLayerSource(layer.get(), &source));
    ComPtr<IFeatureClass> fc;
    win32::query<IFeatureLayer>(layer.get())->get_FeatureClass(fc.put());
    if (c.count < 0) {
      EXPECT_FALSE(fc);
      EXPECT_NE(source.open_error.find("NO_SUCH_FIELD"), std::string::npos) << source.open_error;
      continue;
    }
    ASSERT_TRUE(fc) << source.open_error;
    LONG count = -1;
    ASSERT_EQ(fc->FeatureCount(nullptr, &count), S_OK);
    EXPECT_EQ(count, c.count);
    // A search with a condition of its own meets both.
    ComPtr<IQueryFilter> filter;
    ASSERT_EQ(CoCreateInstance(CLSID_QueryFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IQueryFilter,
                               reinterpret_cast<void**>(filter.put())),
              S_OK);
    filter->put_WhereClause(win32::Bstr::from_utf8("GEOLOGY_KIND_CODE <> 30").get());
    ComPtr<IFeatureCursor> cursor;
    ASSERT_EQ(fc->Search(filter.get(), VARIANT_TRUE, cursor.put()), S_OK);
    long found = 0;
    ComPtr<IFeature> feature;
    while (cursor->NextFeature(feature.put()) == S_OK && feature) ++found;
    EXPECT_EQ(found, c.count - (c.count == 3 ? 1 : 0));
    // Written back unchanged, the project keeps the subset as QGIS wrote it.
    save(doc.get(), path("sub/subset_copy.qgs"));
    EXPECT_EQ(datasource(read_file(path("sub/subset_copy.qgs")), "Geology"),
              std::string("../data/geology.geojson|subset=") + c.subset);
  }
}

// Saved into another folder, every source names the same file, in the project's path mode:
// relative ones stay relative ("./", "../"), absolute ones absolute.
TEST_F(QgisProjectTest, SourcesKeepThePathModeAndNameTheSameFilesFromAnotherFolder) {
  const std::string data = path("data").lexically_normal().string();
  std::string absolute = read_file(path("sub/fidelity.qgs"));
  absolute = std::regex_replace(absolute, std::regex("<Absolute type=\"bool\">false</Absolute>"),
                                "<Absolute type=\"bool\">true</Absolute>");
  absolute = std::regex_replace(absolute, std::regex("file:\\.\\./data/"), "file://" + data + "/");
  absolute = std::regex_replace(absolute, std::regex("\\.\\./data/"), data + "/");
  write_file(path("sub/absolute.qgs"), absolute);
  struct Case {
    const char* from;
    const char* to;
    std::string geology, wells, points;
  };
  const Case cases[] = {
      {"sub/fidelity.qgs", "sub/deeper/x.qgs", "../../data/geology.geojson|subset=\"GEOLOGY_KIND_CODE\" > 0",
       "../../data/network.gpkg|layerid=1", "file:../../data/pts.csv?type=csv"},
      {"sub/fidelity.qgs", "top.qgs", "./data/geology.geojson|subset=\"GEOLOGY_KIND_CODE\" > 0",
       "./data/network.gpkg|layerid=1", "file:./data/pts.csv?type=csv"},
      {"sub/fidelity.qgz", "elsewhere/x.qgz", "../data/geology.geojson|subset=\"GEOLOGY_KIND_CODE\" > 0",
       "../data/network.gpkg|layerid=1", "file:../data/pts.csv?type=csv"},
      {"sub/absolute.qgs", "elsewhere/x.qgs", data + "/geology.geojson|subset=\"GEOLOGY_KIND_CODE\" > 0",
       data + "/network.gpkg|layerid=1", "file://" + data + "/pts.csv?type=csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
    auto doc = open(path(c.from));
    ASSERT_TRUE(doc);
    save(doc.get(), path(c.to));
    std::string text = read_file(path(c.to));
    if (fs::path(c.to).extension() == ".qgz") {
      save(doc.get(), path(c.to).replace_extension(".qgs"));
      text = read_file(path(c.to).replace_extension(".qgs"));
    }
    EXPECT_EQ(datasource(text, "Geology"), c.geology);
    EXPECT_EQ(datasource(text, "Wells"), c.wells);
    EXPECT_EQ(datasource(text, "Points").rfind(c.points, 0), 0u) << datasource(text, "Points");
    // The tree names the same source as the layer.
    EXPECT_NE(text.find("source=\"" + std::regex_replace(c.wells, std::regex("\\|"), "|") + "\""), std::string::npos);
    auto back = open(path(c.to));
    ASSERT_TRUE(back);
    EXPECT_EQ(layer_summary(back.get()).at("Wells"), "feature shown simple valid");
    EXPECT_EQ(layer_summary(back.get()).at("Geology"), "feature shown other valid");
  }
}

// Layers of providers the program keeps without reading them name their files from the new
// folder too, in each provider's syntax; sources that name no file stay as they were.
TEST_F(QgisProjectTest, KeptLayersOfOtherProvidersNameTheirFilesFromTheNewFolder) {
  struct Case {
    const char* provider;
    std::string source, moved;
  };
  const Case cases[] = {
      {"spatialite", "dbname='../data/pts.sqlite' table=\"pts\" (geometry)",
       "dbname='../../data/pts.sqlite' table=\"pts\" (geometry)"},
      {"pdal", "../data/cloud.laz", "../../data/cloud.laz"},
      {"mdal", "../data/mesh.2dm", "../../data/mesh.2dm"},
      {"delimitedtext", "file:../data/a%20b.csv?type=csv", "file:../../data/a%20b.csv?type=csv"},
      {"postgres", "dbname='gis' host=localhost table=\"t\"", "dbname='gis' host=localhost table=\"t\""},
      {"memory", "Point?crs=EPSG:32636&amp;field=NOTE:string", "Point?crs=EPSG:32636&field=NOTE:string"},
  };
  const std::string original = read_file(path("sub/fidelity.qgs"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.provider);
    std::string text = std::regex_replace(original, std::regex("<provider encoding=\"\">delimitedtext</provider>"),
                                          std::string("<provider encoding=\"\">") + c.provider + "</provider>");
    std::string escaped = std::regex_replace(c.source, std::regex("\""), "&quot;");
    text = std::regex_replace(text, std::regex("<datasource>file:[^<]*pts\\.csv[^<]*</datasource>"),
                              "<datasource>" + escaped + "</datasource>");
    write_file(path("sub/other.qgs"), text);
    auto doc = open(path("sub/other.qgs"));
    ASSERT_TRUE(doc);
    save(doc.get(), path("sub/deeper/other.qgs"));
    EXPECT_EQ(datasource(read_file(path("sub/deeper/other.qgs")), "Points"), c.moved);
  }
}

// The members of an archive a document was read from: a .qgz written from it holds them
// (the auxiliary storage named after the new project), a .qgs gets them beside it as QGIS
// writes them for a .qgs.
TEST_F(QgisProjectTest, ArchiveMembersGoWithTheProject) {
  auto members = [](const fs::path& archive) {
    std::map<std::string, std::string> out;
    const std::string root = "/vsizip/{" + archive.string() + "}";
    char** names = VSIReadDir(root.c_str());
    for (char** n = names; n && *n; ++n) {
      VSILFILE* f = VSIFOpenL((root + "/" + *n).c_str(), "rb");
      std::string bytes;
      char buffer[4096];
      for (size_t got; f && (got = VSIFReadL(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, got);
      if (f) VSIFCloseL(f);
      out[*n] = bytes;
    }
    CSLDestroy(names);
    return out;
  };
  const auto original = members(path("sub/fidelity.qgz"));
  ASSERT_EQ(original.size(), 3u);
  std::string note;
  for (const auto& [name, bytes] : original)
    if (fs::path(name).extension() == ".txt") note = name;
  ASSERT_FALSE(note.empty());

  auto doc = open(path("sub/fidelity.qgz"));
  ASSERT_TRUE(doc);
  save(doc.get(), path("sub/renamed.qgz"));
  const auto written = members(path("sub/renamed.qgz"));
  EXPECT_EQ(written.size(), 3u);
  ASSERT_TRUE(written.count("renamed.qgs"));
  ASSERT_TRUE(written.count("renamed.qgd"));
  EXPECT_EQ(written.at("renamed.qgd"), original.at("fidelity.qgd"));
  ASSERT_TRUE(written.count(note));
  EXPECT_EQ(written.at(note), original.at(note));

  save(doc.get(), path("sub/plain.qgs"));
  EXPECT_EQ(read_file(path("sub/plain.qgd")), original.at("fidelity.qgd"));
  const auto attachments = members(path("sub/plain_attachments.zip"));
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments.begin()->second, original.at(note));
  doc.reset();

  // The files beside a .qgs go with it too, into another folder or back into an archive.
  auto plain = open(path("sub/plain.qgs"));
  ASSERT_TRUE(plain);
  save(plain.get(), path("elsewhere/moved.qgs"));
  EXPECT_EQ(read_file(path("elsewhere/moved.qgd")), original.at("fidelity.qgd"));
  EXPECT_EQ(members(path("elsewhere/moved_attachments.zip")).size(), 1u);
  save(plain.get(), path("elsewhere/packed.qgz"));
  const auto packed = members(path("elsewhere/packed.qgz"));
  EXPECT_EQ(packed.size(), 3u);
  ASSERT_TRUE(packed.count("packed.qgd"));
  EXPECT_EQ(packed.at("packed.qgd"), original.at("fidelity.qgd"));
  ASSERT_TRUE(packed.count(note));
  EXPECT_EQ(packed.at(note), original.at(note));
}

// An archive that says it unpacks to more than a project may hold is refused before it is
// unpacked.
TEST_F(QgisProjectTest, ArchivesDeclaringMoreThanTheLimitAreRefused) {
  std::string bytes = read_file(path("project.qgz"));
  // The member's unpacked size, in its local header and in the central directory.
  auto patch = [&](const char* signature, size_t offset) {
    for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 4)) {
      const uint32_t size = 300u << 20;
      for (int i = 0; i < 4; ++i) bytes[at + offset + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
  };
  patch("PK\x03\x04", 22);
  patch("PK\x01\x02", 24);
  write_file(path("huge.qgz"), bytes);
  std::string error;
  EXPECT_FALSE(gis::LoadDocument(path("huge.qgz").string(), &error));
  EXPECT_NE(error.find("is too large: it unpacks to more than 256 MiB"), std::string::npos) << error;
}

// A zip archive of one member named name whose deflated stream unpacks to `size` spaces (a
// literal, then copies of 258 bytes in fixed Huffman codes: 13 bits each) while the archive
// declares `declared` bytes.
std::string forged_archive(const std::string& name, uint64_t size, uint32_t declared) {
  std::string stream;
  uint32_t bits = 0;
  int count = 0;
  auto put = [&](uint32_t value, int n) {  // n bits, least significant first
    for (int i = 0; i < n; ++i) {
      bits |= ((value >> i) & 1u) << count;
      if (++count == 8) {
        stream += static_cast<char>(bits);
        bits = 0;
        count = 0;
      }
    }
  };
  auto code = [&](uint32_t value, int n) {  // a Huffman code: most significant bit first
    for (int i = n - 1; i >= 0; --i) put((value >> i) & 1u, 1);
  };
  put(1, 1);  // the last block,
  put(1, 2);  // of fixed codes
  code(0x30 + ' ', 8);
  for (uint64_t done = 1; done + 258 <= size; done += 258) {
    code(0xC5, 8);  // length 258
    code(0, 5);     // distance 1
  }
  code(0, 7);  // end of block
  if (count) stream += static_cast<char>(bits);
  auto u16 = [](uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  auto u32 = [&](uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); };
  const auto n = static_cast<uint16_t>(name.size());
  const auto compressed = static_cast<uint32_t>(stream.size());
  std::string local = u32(0x04034b50) + u16(20) + u16(0) + u16(8) + u16(0) + u16(0) + u32(0) + u32(compressed) +
                      u32(declared) + u16(n) + u16(0) + name;
  std::string central = u32(0x02014b50) + u16(20) + u16(20) + u16(0) + u16(8) + u16(0) + u16(0) + u32(0) +
                        u32(compressed) + u32(declared) + u16(n) + u16(0) + u16(0) + u16(0) + u16(0) + u32(0) + u32(0) +
                        name;
  const auto at = static_cast<uint32_t>(local.size() + stream.size());
  std::string end = u32(0x06054b50) + u16(0) + u16(0) + u16(1) + u16(1) + u32(static_cast<uint32_t>(central.size())) +
                    u32(at) + u16(0);
  return local + stream + central + end;
}

// An archive whose stream holds more than it declares is refused once what it gives passes
// the limit, not read to its end.
TEST_F(QgisProjectTest, ArchivesUnpackingToMoreThanTheyDeclareAreRefused) {
  // A forged archive of a small project reads as that project…
  write_file(path("small.qgz"), forged_archive("small.qgs", 300, 10));
  std::string error;
  EXPECT_FALSE(gis::LoadDocument(path("small.qgz").string(), &error));
  EXPECT_NE(error.find("is empty"), std::string::npos) << error;
  // …one whose stream passes 256 MiB is refused, though it declares 10 bytes.
  write_file(path("bomb.qgz"), forged_archive("bomb.qgs", (uint64_t(256) << 20) + 1000, 10));
  error.clear();
  EXPECT_FALSE(gis::LoadDocument(path("bomb.qgz").string(), &error));
  EXPECT_NE(error.find("is too large: it unpacks to more than 256 MiB"), std::string::npos) << error;
}

// Saving through a symbolic link replaces the document the link names; the link stays.
TEST_F(QgisProjectTest, SavingThroughALinkWritesTheDocumentItNames) {
  fs::create_directories(path("real"));
  fs::copy(path("data"), path("real/data"), fs::copy_options::recursive);
  fs::copy_file(path("project.qgs"), path("real/project.qgs"));
  auto doc = open(path("real/project.qgs"));
  ASSERT_TRUE(doc);
  save(doc.get(), path("real/map.mxd"));
  for (const char* name : {"project.qgs", "map.mxd"}) {
    SCOPED_TRACE(name);
    fs::create_symlink(fs::path("real") / name, path(std::string("link_") + name));
    auto linked = open(path(std::string("link_") + name));
    ASSERT_TRUE(linked);
    ASSERT_EQ(find_layer(linked.get(), "Wells")->put_Name(win32::Bstr::from_utf8("Boreholes").get()), S_OK);
    save(linked.get(), path(std::string("link_") + name));
    EXPECT_TRUE(fs::is_symlink(path(std::string("link_") + name)));
    EXPECT_NE(read_file(path("real") / name).find("Boreholes"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(path("real")))
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();  // no temporary file left
  }
  // Links that name each other name no file: saving fails and leaves them as they were.
  fs::create_symlink("loop_b.mxd", path("loop_a.mxd"));
  fs::create_symlink("loop_a.mxd", path("loop_b.mxd"));
  std::string error;
  EXPECT_FALSE(gis::SaveDocument(doc.get(), path("loop_a.mxd").string(), &error));
  EXPECT_NE(error.find("loop_a.mxd"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_symlink(path("loop_a.mxd")));
  EXPECT_EQ(fs::read_symlink(path("loop_a.mxd")), "loop_b.mxd");
}

}  // namespace
}  // namespace carto_test

// Map documents: round trips keep what the stand-in does not know, source paths follow the
// document, re-pointed and broken layers save their sources, bad files are refused clearly.
#include "carto_test.h"

namespace carto_test {
namespace {

class DocumentTest : public CartoTest {
 protected:
  // A document with unknown keys at every level.
  Json rich_document() {
    write_points(path("data/wells.geojson"), {"a", "b"});
    Json symbol = {{"type", "fill"}, {"color", "#FF0000"}, {"style", 0}, {"x_symbol", "s"},
                   {"outline", {{"type", "line"}, {"color", "#000000"}, {"width", 2}, {"x_outline", 7}}}};
    Json layer = feature_layer("Скважины", "data/wells.geojson");
    layer["x_layer"] = {{"nested", {1, 2, 3}}};
    layer["source"]["x_source"] = "keep";
    layer["display_field"] = "NAME";
    layer["renderer"] = {{"type", "unique_value"},
                         {"fields", {"NAME"}},
                         {"field_delimiter", ","},
                         {"default_symbol", symbol},
                         {"x_renderer", true},
                         {"values", {{{"value", "a"}, {"label", "Буква А"}, {"symbol", symbol}, {"x_value", 1.5}}}}};
    Json element = text_element("Надпись", 1, 2);
    element["x_element"] = {{"font", "Arial"}};
    Json map = map_json("Слои", {layer, group_layer("Группа", Json::array())},
                        {{"elements", {element}}, {"x_graphics", 1}, {"layers", {{{"name", "Подписи"}, {"elements", Json::array()}, {"x_sub", "y"}}}}});
    map["x_map"] = "map extra";
    Json doc = document_json({map});
    doc["page_layout"] = {{"size", "A3"}};
    doc["x_document"] = {{"a", nullptr}};
    return doc;
  }
};

TEST_F(DocumentTest, RoundTripKeepsUnknownKeysAtEveryLevel) {
  Json original = rich_document();
  auto doc = load(original);
  ASSERT_TRUE(doc);
  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("copy.mxd").string(), &error)) << error;
  Json saved = read_json(path("copy.mxd"));

  EXPECT_EQ(saved["format"], "areaclip-map");
  EXPECT_EQ(saved["version"], 1);
  EXPECT_EQ(saved["page_layout"], original["page_layout"]);
  EXPECT_EQ(saved["x_document"], original["x_document"]);
  const Json& map = saved["maps"][0];
  EXPECT_EQ(map["x_map"], "map extra");
  EXPECT_EQ(map["name"], "Слои");
  const Json& layer = map["layers"][0];
  EXPECT_EQ(layer["x_layer"], original["maps"][0]["layers"][0]["x_layer"]);
  EXPECT_EQ(layer["source"]["x_source"], "keep");
  EXPECT_EQ(layer["source"]["path"], "data/wells.geojson");
  EXPECT_EQ(layer["display_field"], "NAME");
  const Json& renderer = layer["renderer"];
  EXPECT_EQ(renderer["x_renderer"], true);
  EXPECT_EQ(renderer["values"][0]["x_value"], 1.5);
  EXPECT_EQ(renderer["values"][0]["label"], "Буква А");
  EXPECT_EQ(renderer["values"][0]["symbol"]["x_symbol"], "s");
  EXPECT_EQ(renderer["default_symbol"]["outline"]["x_outline"], 7);
  EXPECT_EQ(renderer["default_symbol"]["color"], "#FF0000");
  EXPECT_EQ(map["layers"][1]["type"], "group");
  EXPECT_EQ(map["graphics"]["x_graphics"], 1);
  EXPECT_EQ(map["graphics"]["layers"][0]["x_sub"], "y");
  const Json& element = map["graphics"]["elements"][0];
  EXPECT_EQ(element["x_element"], original["maps"][0]["graphics"]["elements"][0]["x_element"]);
  EXPECT_EQ(element["text"], "Надпись");
  EXPECT_EQ(element["geometry"]["type"], "Point");

  // A second round trip changes nothing more.
  auto again = gis::LoadDocument(path("copy.mxd").string(), &error);
  ASSERT_TRUE(again) << error;
  ASSERT_TRUE(gis::SaveDocument(again.get(), path("copy2.mxd").string(), &error)) << error;
  EXPECT_EQ(read_json(path("copy2.mxd")), saved);
}

TEST_F(DocumentTest, RelativeSourcesResolveAgainstTheDocumentFolder) {
  write_points(path("docs/data/a.geojson"), {"x"});
  auto doc = load(document_json({map_json("m", {feature_layer("A", "data/a.geojson")})}), "docs/map.mxd");
  ASSERT_TRUE(doc);
  ComPtr<ILayer> layer;
  ASSERT_EQ(focus_map(doc.get())->get_Layer(0, layer.put()), S_OK);
  gis::LayerSource source;
  ASSERT_TRUE(gis::GetLayerSource(layer.get(), &source));
  EXPECT_EQ(source.path, path("docs/data/a.geojson").lexically_normal().string());
  EXPECT_EQ(source.open_error, "");
  VARIANT_BOOL valid = VARIANT_FALSE;
  EXPECT_EQ(layer->get_Valid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_TRUE);

  std::string error;
  // Saved in its own folder: relative; saved elsewhere: absolute; saved above: relative again.
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("docs/same.mxd").string(), &error)) << error;
  EXPECT_EQ(read_json(path("docs/same.mxd"))["maps"][0]["layers"][0]["source"]["path"], "data/a.geojson");
  std::filesystem::create_directories(path("other"));
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("other/away.mxd").string(), &error)) << error;
  EXPECT_EQ(read_json(path("other/away.mxd"))["maps"][0]["layers"][0]["source"]["path"],
            path("docs/data/a.geojson").lexically_normal().string());
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("up.mxd").string(), &error)) << error;
  EXPECT_EQ(read_json(path("up.mxd"))["maps"][0]["layers"][0]["source"]["path"], "docs/data/a.geojson");
}

TEST_F(DocumentTest, TextInMemoryLoadsAsAFileDoes) {
  write_points(path("docs/data/a.geojson"), {"x"});
  const std::string text = R"({"format": "areaclip-map", "version": 1, "maps": [{"name": "m", "layers": [
      {"type": "feature", "name": "A", "source": {"path": "data/a.geojson", "layer": null}}]}]})";
  std::string error;
  auto doc = gis::LoadDocumentText(text, path("docs").string(), &error);
  ASSERT_TRUE(doc) << error;
  EXPECT_EQ(gis::DocumentPath(doc.get()), "");
  ComPtr<ILayer> layer;
  ASSERT_EQ(focus_map(doc.get())->get_Layer(0, layer.put()), S_OK);
  gis::LayerSource source;
  ASSERT_TRUE(gis::GetLayerSource(layer.get(), &source));
  EXPECT_EQ(source.path, path("docs/data/a.geojson").lexically_normal().string());
  EXPECT_EQ(source.open_error, "");

  EXPECT_FALSE(gis::LoadDocumentText(R"({"format": "areaclip-map", "version": 1, "maps": [5]})", path("docs").string(),
                                     &error));
  EXPECT_EQ(error.rfind("map document text is not valid: maps[0]", 0), 0u) << error;
}

TEST_F(DocumentTest, MissingSourceLeavesLayerWithoutFeatureClassAndKeepsItsSource) {
  Json layer = feature_layer("Пропавший", "data/missing.shp");
  layer["source"]["layer"] = "inner";
  auto doc = load(document_json({map_json("m", {layer})}));
  ASSERT_TRUE(doc);
  ComPtr<ILayer> l;
  ASSERT_EQ(focus_map(doc.get())->get_Layer(0, l.put()), S_OK);
  VARIANT_BOOL valid = VARIANT_TRUE;
  EXPECT_EQ(l->get_Valid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_FALSE);
  auto fl = win32::query<IFeatureLayer>(l.get());
  ASSERT_TRUE(fl);
  ComPtr<IFeatureClass> fc;
  EXPECT_EQ(fl->get_FeatureClass(fc.put()), S_OK);
  EXPECT_FALSE(fc);
  gis::LayerSource source;
  ASSERT_TRUE(gis::GetLayerSource(l.get(), &source));
  EXPECT_NE(source.open_error, "");

  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json saved = read_json(path("saved.mxd"))["maps"][0]["layers"][0];
  EXPECT_EQ(saved["source"]["path"], "data/missing.shp");
  EXPECT_EQ(saved["source"]["layer"], "inner");
  EXPECT_EQ(saved["name"], "Пропавший");
}

TEST_F(DocumentTest, RepointedLayerIsSavedWithItsNewSource) {
  write_points(path("data/old.geojson"), {"a"});
  write_points(path("result/new.geojson"), {"b", "c"});
  auto doc = load(document_json({map_json("m", {feature_layer("L", "data/old.geojson")})}));
  ASSERT_TRUE(doc);
  std::string error;
  ComPtr<IFeatureClass> fresh = gis::OpenFeatureClass(path("result/new.geojson").string(), "", &error);
  ASSERT_TRUE(fresh) << error;
  ComPtr<ILayer> l;
  ASSERT_EQ(focus_map(doc.get())->get_Layer(0, l.put()), S_OK);
  auto fl = win32::query<IFeatureLayer>(l.get());
  ASSERT_EQ(fl->putref_FeatureClass(fresh.get()), S_OK);
  ComPtr<IFeatureClass> now;
  ASSERT_EQ(fl->get_FeatureClass(now.put()), S_OK);
  EXPECT_EQ(now.get(), fresh.get());

  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("result/cross.mxd").string(), &error)) << error;
  Json saved = read_json(path("result/cross.mxd"))["maps"][0]["layers"][0];
  EXPECT_EQ(saved["source"]["path"], "new.geojson");
  EXPECT_EQ(saved["name"], "L");
  // The source data and the opened document are untouched.
  EXPECT_EQ(read_json(path("map.mxd"))["maps"][0]["layers"][0]["source"]["path"], "data/old.geojson");

  // The saved document opens the new data.
  auto reopened = gis::LoadDocument(path("result/cross.mxd").string(), &error);
  ASSERT_TRUE(reopened) << error;
  ComPtr<ILayer> rl;
  ASSERT_EQ(focus_map(reopened.get())->get_Layer(0, rl.put()), S_OK);
  ComPtr<IFeatureClass> rfc;
  ASSERT_EQ(win32::query<IFeatureLayer>(rl.get())->get_FeatureClass(rfc.put()), S_OK);
  ASSERT_TRUE(rfc);
  LONG count = 0;
  EXPECT_EQ(rfc->FeatureCount(nullptr, &count), S_OK);
  EXPECT_EQ(count, 2);
}

struct Refusal {
  const char* name;
  std::string text;       // file content; "<none>" for a missing file
  const char* expected;   // part of the message
};

class DocumentRefusal : public CartoTest, public testing::WithParamInterface<Refusal> {};

TEST_P(DocumentRefusal, IsRefusedWithAClearMessage) {
  const Refusal& r = GetParam();
  if (r.text != "<none>") write_file(path("bad.mxd"), r.text);
  std::string error;
  auto doc = gis::LoadDocument(path("bad.mxd").string(), &error);
  EXPECT_FALSE(doc);
  EXPECT_NE(error.find(path("bad.mxd").string()), std::string::npos) << error;
  EXPECT_NE(error.find(r.expected), std::string::npos) << error;
}

const std::string kGood = R"({"format": "areaclip-map", "version": 1, "maps": [{"name": "m", "layers": []}]})";

INSTANTIATE_TEST_SUITE_P(
    BadInput, DocumentRefusal,
    testing::Values(
        Refusal{"missing", "<none>", "cannot be read"}, Refusal{"empty", "  \n", "is empty"},
        Refusal{"not_json", "this is not a map", "bad JSON at line 1"},
        Refusal{"truncated", kGood.substr(0, kGood.size() / 2), "cut short"},
        Refusal{"other_format", R"({"format": "qgis-project", "version": 1})", "not an areaclip map document"},
        Refusal{"no_format", R"({"maps": []})", "has no \"format\""},
        Refusal{"newer", R"({"format": "areaclip-map", "version": 2, "maps": []})", "newer version"},
        Refusal{"array", "[1, 2]", "not an object"},
        Refusal{"deep", R"({"format": "areaclip-map", "version": 1, "x": )" + std::string(100000, '[') +
                            std::string(100000, ']') + "}",
                "nested too deeply"},
        Refusal{"number_overflow", R"({"format": "areaclip-map", "version": 1, "x": [1, -1e999], "maps": []})",
                "bad JSON (number overflow parsing '-1e999')"},
        Refusal{"bad_focus", R"({"format": "areaclip-map", "version": 1, "focus_map": 3, "maps": []})", "focus_map"},
        Refusal{"bad_layer", R"({"format": "areaclip-map", "version": 1, "maps": [{"layers": [5]}]})",
                "maps[0].layers[0]"},
        Refusal{"bad_color",
                R"({"format": "areaclip-map", "version": 1, "maps": [{"layers": [{"type": "feature", "name": "x",
                   "renderer": {"type": "simple", "symbol": {"type": "fill", "color": "red"}}}]}]})",
                "maps[0].layers[0].renderer.symbol.color"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(DocumentTest, SaveThroughARegularFileFailsAndKeepsTheOldFile) {
  auto doc = load(document_json({map_json("m", Json::array())}));
  ASSERT_TRUE(doc);
  write_file(path("file"), "I am a file");
  std::string error;
  EXPECT_FALSE(gis::SaveDocument(doc.get(), path("file/inside.mxd").string(), &error));
  EXPECT_NE(error, "");
  EXPECT_EQ(read_file(path("file")), "I am a file");
  // A folder in the way of the target is refused too, and stays.
  std::filesystem::create_directories(path("folder.mxd"));
  EXPECT_FALSE(gis::SaveDocument(doc.get(), path("folder.mxd").string(), &error));
  EXPECT_TRUE(std::filesystem::is_directory(path("folder.mxd")));
}

// Saved whole under its name, with its mode, and no temporary file left: one by one flushed
// to disk, and while a run defers the flushing to its end (which then flushes its folder's
// file system, or names the folder it cannot flush).
TEST_F(DocumentTest, SaveReplacesAtomicallyAndLeavesNoTemporaryFiles) {
  for (const bool deferred : {false, true}) {
    SCOPED_TRACE(deferred ? "flushed at the end" : "flushed one by one");
    gis::DeferDocumentSync(deferred);
    auto doc = load(document_json({map_json("Первая", Json::array())}));
    ASSERT_TRUE(doc);
    write_file(path("target.mxd"), "old content");
    std::filesystem::permissions(path("target.mxd"), std::filesystem::perms(0640));
    std::string error;
    ASSERT_TRUE(gis::SaveDocument(doc.get(), path("target.mxd").string(), &error)) << error;
    gis::DeferDocumentSync(false);
    EXPECT_EQ(read_json(path("target.mxd"))["maps"][0]["name"], "Первая");
    EXPECT_EQ(std::filesystem::status(path("target.mxd")).permissions(), std::filesystem::perms(0640));
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      ++files;
      EXPECT_EQ(e.path().filename().string().find(".target.mxd."), std::string::npos) << e.path();
    }
    EXPECT_EQ(files, 2);  // map.mxd and target.mxd
  }
  std::string error;
  EXPECT_TRUE(gis::SyncFileSystem(dir_.path().string(), &error)) << error;
  EXPECT_FALSE(gis::SyncFileSystem(path("nowhere").string(), &error));
  EXPECT_NE(error.find("nowhere"), std::string::npos) << error;
}

TEST_F(DocumentTest, ExtentAndSpatialReferenceAreSaved) {
  Json map = map_json("m", Json::array());
  map["extent"] = {1.5, 2, 30, 40.25};
  map["spatial_reference"] = "EPSG:32636";
  auto doc = load(document_json({map}));
  ASSERT_TRUE(doc);
  auto view = win32::query<IActiveView>(focus_map(doc.get()).get());
  ASSERT_TRUE(view);
  ComPtr<IEnvelope> e;
  ASSERT_EQ(view->get_Extent(e.put()), S_OK);
  double xmin = 0, ymax = 0;
  e->get_XMin(&xmin);
  e->get_YMax(&ymax);
  EXPECT_EQ(xmin, 1.5);
  EXPECT_EQ(ymax, 40.25);
  ASSERT_EQ(e->PutCoords(10, 20, 110, 220), S_OK);
  ASSERT_EQ(view->put_Extent(e.get()), S_OK);
  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json saved = read_json(path("saved.mxd"))["maps"][0];
  EXPECT_EQ(saved["extent"], Json({10.0, 20.0, 110.0, 220.0}));
  EXPECT_EQ(saved["spatial_reference"], "EPSG:32636");
}

}  // namespace
}  // namespace carto_test

// Maps and layers: the layer walk with and without a UID filter, recursion order through
// nested groups, layer kinds and their interfaces.
#include "carto_test.h"

namespace carto_test {
namespace {

class MapLayersTest : public CartoTest {
 protected:
  // Top: A, G1[ B, G2[ C, R(raster) ], D ], E(raster)
  ComPtr<IMxDocument> nested() {
    write_points(path("p.geojson"), {"x"});
    Json raster = {{"type", "raster"}, {"name", "R"}, {"source", {{"path", "relief.tif"}}}};
    Json raster_e = {{"type", "raster"}, {"name", "E"}, {"source", {{"path", "p.geojson"}}}};
    Json g2 = group_layer("G2", {feature_layer("C", "p.geojson"), raster});
    Json g1 = group_layer("G1", {feature_layer("B", "p.geojson"), g2, feature_layer("D", "missing.shp")});
    return load(document_json({map_json("m", {feature_layer("A", "p.geojson"), g1, raster_e})}));
  }

  std::vector<std::string> names(IMap* map, IUID* uid, bool recursive) {
    ComPtr<IEnumLayer> layers;
    EXPECT_EQ(map->get_Layers(uid, recursive ? VARIANT_TRUE : VARIANT_FALSE, layers.put()), S_OK);
    std::vector<std::string> out;
    if (!layers) return out;
    EXPECT_EQ(layers->Reset(), S_OK);
    ComPtr<ILayer> layer;
    HRESULT hr;
    while ((hr = layers->Next(layer.put())) == S_OK) out.push_back(name_of(layer.get()));
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_FALSE(layer);
    return out;
  }
};

using Names = std::vector<std::string>;

TEST_F(MapLayersTest, AllLayersDepthFirstInDocumentOrder) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  EXPECT_EQ(names(map.get(), nullptr, true), (Names{"A", "G1", "B", "G2", "C", "R", "D", "E"}));
  EXPECT_EQ(names(map.get(), nullptr, false), (Names{"A", "G1", "E"}));
}

TEST_F(MapLayersTest, UidFilterKeepsLayersAnsweringTheInterface) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  auto feature = TestUid::make(win32::guid_to_string(IID_IFeatureLayer));
  EXPECT_EQ(names(map.get(), feature.get(), true), (Names{"A", "B", "C", "D"}));
  EXPECT_EQ(names(map.get(), feature.get(), false), (Names{"A"}));
  auto composite = TestUid::make(win32::guid_to_string(IID_ICompositeLayer));
  EXPECT_EQ(names(map.get(), composite.get(), true), (Names{"G1", "G2"}));
  auto geo = TestUid::make(win32::guid_to_string(IID_IGeoFeatureLayer));
  EXPECT_EQ(names(map.get(), geo.get(), true), (Names{"A", "B", "C", "D"}));
  auto empty = TestUid::make("");
  EXPECT_EQ(names(map.get(), empty.get(), true), (Names{"A", "G1", "B", "G2", "C", "R", "D", "E"}));
  auto graphics = TestUid::make(win32::guid_to_string(IID_IGraphicsContainer));
  EXPECT_EQ(names(map.get(), graphics.get(), true), Names{});
}

TEST_F(MapLayersTest, UidObjectOfTheStandInFiltersAsThePickerFillsIt) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  ComPtr<IUID> uid;
  ASSERT_EQ(CoCreateInstance(CLSID_UID, nullptr, CLSCTX_ALL, IID_IUID, uid.put_void()), S_OK);
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = win32::bstr_from_utf8(win32::guid_to_string(IID_IFeatureLayer));
  ASSERT_EQ(uid->put_Value(value), S_OK);
  VariantClear(&value);
  EXPECT_EQ(names(focus_map(doc.get()).get(), uid.get(), true), (Names{"A", "B", "C", "D"}));
}

TEST_F(MapLayersTest, UidThatIsNotAnInterfaceIdIsRefused) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  auto bad = TestUid::make("esriCarto.FeatureLayer");
  ComPtr<IEnumLayer> layers;
  EXPECT_EQ(focus_map(doc.get())->get_Layers(bad.get(), VARIANT_TRUE, layers.put()), E_INVALIDARG);
  EXPECT_FALSE(layers);
  EXPECT_EQ(focus_map(doc.get())->get_Layers(nullptr, VARIANT_TRUE, nullptr), E_POINTER);
}

TEST_F(MapLayersTest, LayerKindsAnswerTheirInterfaces) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  ComPtr<ILayer> a, g1, e;
  ASSERT_EQ(map->get_Layer(0, a.put()), S_OK);
  ASSERT_EQ(map->get_Layer(1, g1.put()), S_OK);
  ASSERT_EQ(map->get_Layer(2, e.put()), S_OK);
  ComPtr<ILayer> none;
  EXPECT_EQ(map->get_Layer(3, none.put()), E_INVALIDARG);
  testing_support::expect_query_interface_rules(a.get(), {IID_ILayer, IID_IFeatureLayer, IID_IGeoFeatureLayer});
  testing_support::expect_query_interface_rules(g1.get(), {IID_ILayer, IID_IGroupLayer, IID_ICompositeLayer});
  testing_support::expect_query_interface_rules(e.get(), {IID_ILayer});
  EXPECT_FALSE(win32::query<IFeatureLayer>(e.get()));
  EXPECT_FALSE(win32::query<ICompositeLayer>(e.get()));
  EXPECT_EQ(gis::LayerType(e.get()), "raster");
  EXPECT_EQ(gis::LayerType(g1.get()), "group");
  VARIANT_BOOL valid = VARIANT_FALSE;
  EXPECT_EQ(e->get_Valid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_TRUE);  // its file exists

  auto composite = win32::query<ICompositeLayer>(g1.get());
  LONG count = 0;
  EXPECT_EQ(composite->get_Count(&count), S_OK);
  EXPECT_EQ(count, 3);
}

TEST_F(MapLayersTest, NamesAndVisibilityChangeAndAreSaved) {
  auto doc = nested();
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  ComPtr<ILayer> a;
  ASSERT_EQ(map->get_Layer(0, a.put()), S_OK);
  EXPECT_EQ(a->put_Name(bstr("Новое имя").get()), S_OK);
  EXPECT_EQ(a->put_Visible(VARIANT_FALSE), S_OK);
  auto fl = win32::query<IFeatureLayer>(a.get());
  EXPECT_EQ(fl->put_DisplayField(bstr("NAME").get()), S_OK);
  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json saved = read_json(path("saved.mxd"))["maps"][0]["layers"][0];
  EXPECT_EQ(saved["name"], "Новое имя");
  EXPECT_EQ(saved["visible"], false);
  EXPECT_EQ(saved["display_field"], "NAME");
}

TEST_F(MapLayersTest, CreatedLayersJoinAMapAndGroups) {
  auto doc = load(document_json({map_json("m", Json::array())}));
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  ComPtr<IGroupLayer> group;
  ASSERT_EQ(CoCreateInstance(CLSID_GroupLayer, nullptr, CLSCTX_ALL, IID_IGroupLayer, group.put_void()), S_OK);
  ComPtr<IFeatureLayer> layer;
  ASSERT_EQ(CoCreateInstance(CLSID_FeatureLayer, nullptr, CLSCTX_ALL, IID_IFeatureLayer, layer.put_void()), S_OK);
  EXPECT_EQ(layer->put_Name(bstr("Новый").get()), S_OK);
  EXPECT_EQ(group->put_Name(bstr("Группа").get()), S_OK);
  auto layer_as_layer = win32::query<ILayer>(layer.get());
  EXPECT_EQ(group->Add(layer_as_layer.get()), S_OK);
  EXPECT_EQ(map->AddLayer(win32::query<ILayer>(group.get()).get()), S_OK);
  EXPECT_EQ(names(map.get(), nullptr, true), (Names{"Группа", "Новый"}));
  VARIANT_BOOL valid = VARIANT_TRUE;
  EXPECT_EQ(layer->get_Valid(&valid), S_OK);
  EXPECT_EQ(valid, VARIANT_FALSE);
  EXPECT_EQ(group->Delete(layer_as_layer.get()), S_OK);
  EXPECT_EQ(group->Delete(layer_as_layer.get()), E_INVALIDARG);
  EXPECT_EQ(names(map.get(), nullptr, true), (Names{"Группа"}));
}

TEST_F(MapLayersTest, DocumentWithoutMapsHasNoFocusMap) {
  auto doc = load(document_json(Json::array()));
  ASSERT_TRUE(doc);
  IMap* map = reinterpret_cast<IMap*>(0x1);
  EXPECT_EQ(doc->get_FocusMap(&map), S_FALSE);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(doc->get_FocusMap(nullptr), E_POINTER);
  ComPtr<IMaps> maps;
  ASSERT_EQ(doc->get_Maps(maps.put()), S_OK);
  LONG count = -1;
  EXPECT_EQ(maps->get_Count(&count), S_OK);
  EXPECT_EQ(count, 0);
  ComPtr<IActiveView> view;
  EXPECT_EQ(doc->get_ActiveView(view.put()), S_FALSE);
}

TEST_F(MapLayersTest, FocusMapFollowsTheDocument) {
  Json doc_json = document_json({map_json("first", Json::array()), map_json("second", Json::array())});
  doc_json["focus_map"] = 1;
  auto doc = load(doc_json);
  ASSERT_TRUE(doc);
  win32::Bstr name;
  ASSERT_EQ(focus_map(doc.get())->get_Name(name.put()), S_OK);
  EXPECT_EQ(name.utf8(), "second");
  ComPtr<IMaps> maps;
  ASSERT_EQ(doc->get_Maps(maps.put()), S_OK);
  ComPtr<IMap> first;
  ASSERT_EQ(maps->get_Item(0, first.put()), S_OK);
  EXPECT_EQ(maps->get_Item(2, first.put()), E_INVALIDARG);
}

}  // namespace
}  // namespace carto_test

// Graphics: the basic graphics layer and its sub-layers as graphics containers, the element
// walk with deletions during it, and text elements.
#include "carto_test.h"

namespace carto_test {
namespace {

class GraphicsTest : public CartoTest {
 protected:
  ComPtr<IMxDocument> with_graphics(int count) {
    Json elements = Json::array();
    for (int i = 0; i < count; ++i) elements.push_back(text_element("t" + std::to_string(i), i, i));
    Json graphics = {{"elements", elements},
                     {"layers", {{{"name", "Подписи"}, {"elements", {text_element("sub", 5, 5)}}}}}};
    return load(document_json({map_json("m", Json::array(), graphics)}));
  }

  ComPtr<IGraphicsContainer> basic(IMxDocument* doc) {
    ComPtr<IGraphicsLayer> layer;
    EXPECT_EQ(focus_map(doc)->get_BasicGraphicsLayer(layer.put()), S_OK);
    return win32::query<IGraphicsContainer>(layer.get());
  }

  static std::vector<std::string> texts(IGraphicsContainer* container) {
    std::vector<std::string> out;
    container->Reset();
    ComPtr<IElement> e;
    while (container->Next(e.put()) == S_OK) {
      win32::Bstr t;
      EXPECT_EQ(win32::query<ITextElement>(e.get())->get_Text(t.put()), S_OK);
      out.push_back(t.utf8());
    }
    return out;
  }
};

using Texts = std::vector<std::string>;

TEST_F(GraphicsTest, DeletingTheElementJustReturnedContinuesWithTheNext) {
  auto doc = with_graphics(5);
  ASSERT_TRUE(doc);
  auto container = basic(doc.get());
  ASSERT_TRUE(container);
  ASSERT_EQ(container->Reset(), S_OK);
  Texts seen;
  ComPtr<IElement> e;
  int index = 0;
  while (container->Next(e.put()) == S_OK) {
    win32::Bstr t;
    win32::query<ITextElement>(e.get())->get_Text(t.put());
    seen.push_back(t.utf8());
    if (index++ % 2 == 0) {
      EXPECT_EQ(container->DeleteElement(e.get()), S_OK);
    }
  }
  EXPECT_EQ(seen, (Texts{"t0", "t1", "t2", "t3", "t4"}));
  EXPECT_EQ(texts(container.get()), (Texts{"t1", "t3"}));
}

TEST_F(GraphicsTest, DeletingEveryElementDuringTheWalkEmptiesTheContainer) {
  auto doc = with_graphics(4);
  ASSERT_TRUE(doc);
  auto container = basic(doc.get());
  container->Reset();
  ComPtr<IElement> e;
  int visited = 0;
  while (container->Next(e.put()) == S_OK) {
    ++visited;
    EXPECT_EQ(container->DeleteElement(e.get()), S_OK);
  }
  EXPECT_EQ(visited, 4);
  EXPECT_EQ(texts(container.get()), Texts{});
  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json graphics = read_json(path("saved.mxd"))["maps"][0]["graphics"];
  EXPECT_EQ(graphics["elements"], Json::array());
  EXPECT_EQ(graphics["layers"][0]["elements"].size(), 1u);
}

TEST_F(GraphicsTest, DeletingAnEarlierElementKeepsTheWalkInPlace) {
  auto doc = with_graphics(4);
  ASSERT_TRUE(doc);
  auto container = basic(doc.get());
  container->Reset();
  ComPtr<IElement> first, e;
  ASSERT_EQ(container->Next(first.put()), S_OK);
  ASSERT_EQ(container->Next(e.put()), S_OK);  // t1
  EXPECT_EQ(container->DeleteElement(first.get()), S_OK);
  ASSERT_EQ(container->Next(e.put()), S_OK);
  win32::Bstr t;
  win32::query<ITextElement>(e.get())->get_Text(t.put());
  EXPECT_EQ(t.utf8(), "t2");
  EXPECT_EQ(container->DeleteElement(first.get()), E_INVALIDARG);
}

TEST_F(GraphicsTest, BasicGraphicsLayerIsACompositeOfGraphicsContainers) {
  auto doc = with_graphics(1);
  ASSERT_TRUE(doc);
  ComPtr<IGraphicsLayer> layer;
  ASSERT_EQ(focus_map(doc.get())->get_BasicGraphicsLayer(layer.put()), S_OK);
  testing_support::expect_query_interface_rules(
      layer.get(), {IID_ILayer, IID_IGraphicsLayer, IID_IGraphicsContainer, IID_ICompositeLayer});
  auto composite = win32::query<ICompositeLayer>(layer.get());
  LONG count = 0;
  ASSERT_EQ(composite->get_Count(&count), S_OK);
  ASSERT_EQ(count, 1);
  ComPtr<ILayer> sub;
  ASSERT_EQ(composite->get_Layer(0, sub.put()), S_OK);
  EXPECT_EQ(name_of(sub.get()), "Подписи");
  auto sub_container = win32::query<IGraphicsContainer>(sub.get());
  ASSERT_TRUE(sub_container);
  EXPECT_FALSE(win32::query<ICompositeLayer>(sub.get()));
  EXPECT_EQ(texts(sub_container.get()), Texts{"sub"});
  // Graphics layers are not among the map's layers.
  ComPtr<IEnumLayer> all;
  ASSERT_EQ(focus_map(doc.get())->get_Layers(nullptr, VARIANT_TRUE, all.put()), S_OK);
  ComPtr<ILayer> none;
  EXPECT_EQ(all->Next(none.put()), S_FALSE);
}

TEST_F(GraphicsTest, AddedTextElementIsSaved) {
  auto doc = with_graphics(0);
  ASSERT_TRUE(doc);
  auto container = basic(doc.get());
  ComPtr<ITextElement> text;
  ASSERT_EQ(CoCreateInstance(CLSID_TextElement, nullptr, CLSCTX_ALL, IID_ITextElement, text.put_void()), S_OK);
  ASSERT_EQ(text->put_Text(bstr("Новая надпись").get()), S_OK);
  std::string error;
  ComPtr<IGeometry> point = gis::GeometryFromWkt("POINT (3 4)", nullptr, &error);
  ASSERT_TRUE(point) << error;
  auto element = win32::query<IElement>(text.get());
  ASSERT_EQ(element->put_Geometry(point.get()), S_OK);
  ASSERT_EQ(container->AddElement(element.get(), 0), S_OK);
  EXPECT_EQ(texts(container.get()), Texts{"Новая надпись"});
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json saved = read_json(path("saved.mxd"))["maps"][0]["graphics"]["elements"][0];
  EXPECT_EQ(saved["type"], "text");
  EXPECT_EQ(saved["text"], "Новая надпись");
  EXPECT_EQ(saved["geometry"]["type"], "Point");
  EXPECT_EQ(saved["geometry"]["coordinates"], Json({3.0, 4.0}));
}

TEST_F(GraphicsTest, ElementKindsAndGeometries) {
  Json elements = {text_element("t", 1, 1),
                   {{"type", "rectangle"},
                    {"geometry", {{"type", "Polygon"}, {"coordinates", {{{0, 0}, {2, 0}, {2, 1}, {0, 1}, {0, 0}}}}}}},
                   {{"type", "line"}, {"geometry", {{"type", "LineString"}, {"coordinates", {{0, 0}, {5, 5}}}}}}};
  auto doc = load(document_json({map_json("m", Json::array(), {{"elements", elements}})}));
  ASSERT_TRUE(doc);
  auto container = basic(doc.get());
  container->Reset();
  std::vector<std::pair<std::string, esriGeometryType>> kinds;
  ComPtr<IElement> e;
  while (container->Next(e.put()) == S_OK) {
    ComPtr<IGeometry> g;
    ASSERT_EQ(e->get_Geometry(g.put()), S_OK);
    ASSERT_TRUE(g);
    esriGeometryType type = esriGeometryNull;
    g->get_GeometryType(&type);
    kinds.emplace_back(gis::ElementKind(e.get()), type);
    EXPECT_EQ(static_cast<bool>(win32::query<ITextElement>(e.get())), gis::ElementKind(e.get()) == "text");
  }
  EXPECT_EQ(kinds, (std::vector<std::pair<std::string, esriGeometryType>>{
                       {"text", esriGeometryPoint}, {"rectangle", esriGeometryPolygon}, {"line", esriGeometryPolyline}}));
}

TEST_F(GraphicsTest, ElementWithBadGeometryIsRefused) {
  Json bad = {{"type", "text"}, {"text", "x"}, {"geometry", {{"type", "Circle"}, {"coordinates", {1, 2}}}}};
  write_file(path("bad.mxd"), document_json({map_json("m", Json::array(), {{"elements", {bad}}})}).dump());
  std::string error;
  EXPECT_FALSE(gis::LoadDocument(path("bad.mxd").string(), &error));
  EXPECT_NE(error.find("maps[0].graphics.elements[0].geometry"), std::string::npos) << error;
}

}  // namespace
}  // namespace carto_test

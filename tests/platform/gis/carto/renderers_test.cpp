// Renderers, symbols and colours: creation by class id, their properties, and their JSON.
#include "carto_test.h"

namespace carto_test {
namespace {

class RenderersTest : public CartoTest {
 protected:
  template <class I>
  ComPtr<I> create(REFCLSID clsid) {
    ComPtr<I> p;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(I), p.put_void()), S_OK);
    return p;
  }
};

TEST_F(RenderersTest, EveryClassIsCreatableAndFollowsQueryInterfaceRules) {
  struct Case {
    CLSID clsid;
    std::vector<IID> iids;
  };
  const Case cases[] = {
      {CLSID_RgbColor, {IID_IColor, IID_IRgbColor}},
      {CLSID_SimpleMarkerSymbol, {IID_ISymbol, IID_IMarkerSymbol, IID_ISimpleMarkerSymbol}},
      {CLSID_SimpleLineSymbol, {IID_ISymbol, IID_ILineSymbol, IID_ISimpleLineSymbol}},
      {CLSID_SimpleFillSymbol, {IID_ISymbol, IID_IFillSymbol, IID_ISimpleFillSymbol}},
      {CLSID_SimpleRenderer, {IID_IFeatureRenderer, IID_ISimpleRenderer}},
      {CLSID_UniqueValueRenderer, {IID_IFeatureRenderer, IID_IUniqueValueRenderer}},
      {CLSID_TextElement, {IID_IElement, IID_ITextElement}},
      {CLSID_FeatureLayer, {IID_ILayer, IID_IFeatureLayer, IID_IGeoFeatureLayer}},
      {CLSID_GroupLayer, {IID_ILayer, IID_IGroupLayer, IID_ICompositeLayer}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(win32::guid_to_string(c.clsid));
    ComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.put_void()), S_OK);
    EXPECT_EQ(testing_support::ref_count(object.get()), 1u);
    testing_support::expect_query_interface_rules(object.get(), c.iids);
  }
}

TEST_F(RenderersTest, ColoursAndSimpleSymbols) {
  auto color = create<IRgbColor>(CLSID_RgbColor);
  EXPECT_EQ(color->put_Red(255), S_OK);
  EXPECT_EQ(color->put_Blue(16), S_OK);
  EXPECT_EQ(color->put_Green(256), E_INVALIDARG);
  LONG rgb = 0;
  EXPECT_EQ(color->get_RGB(&rgb), S_OK);
  EXPECT_EQ(rgb, 0x1000FF);

  auto line = create<ISimpleLineSymbol>(CLSID_SimpleLineSymbol);
  EXPECT_EQ(line->put_Color(win32::query<IColor>(color.get()).get()), S_OK);
  EXPECT_EQ(line->put_Width(3.0), S_OK);
  EXPECT_EQ(line->put_Style(esriSLSDash), S_OK);
  auto fill = create<ISimpleFillSymbol>(CLSID_SimpleFillSymbol);
  EXPECT_EQ(fill->put_Outline(win32::query<ILineSymbol>(line.get()).get()), S_OK);
  EXPECT_EQ(fill->put_Style(esriSFSHollow), S_OK);
  ComPtr<ILineSymbol> outline;
  EXPECT_EQ(fill->get_Outline(outline.put()), S_OK);
  double width = 0;
  EXPECT_EQ(outline->get_Width(&width), S_OK);
  EXPECT_EQ(width, 3.0);

  // The symbol keeps a copy of the colour value, not the colour object.
  EXPECT_EQ(color->put_RGB(0), S_OK);
  ComPtr<IColor> kept;
  EXPECT_EQ(line->get_Color(kept.put()), S_OK);
  EXPECT_EQ(kept->get_RGB(&rgb), S_OK);
  EXPECT_EQ(rgb, 0x1000FF);

  auto marker = create<ISimpleMarkerSymbol>(CLSID_SimpleMarkerSymbol);
  auto symbol = win32::query<ISymbol>(marker.get());
  EXPECT_EQ(symbol->put_ROP2(esriROPXOrPen), S_OK);
  esriRasterOpCode rop = esriROPBlack;
  EXPECT_EQ(symbol->get_ROP2(&rop), S_OK);
  EXPECT_EQ(rop, esriROPXOrPen);
  EXPECT_EQ(marker->put_Size(5.0), S_OK);
  EXPECT_EQ(marker->put_Outline(VARIANT_FALSE), S_OK);
  EXPECT_EQ(marker->put_Style(esriSMSCircle), S_OK);
  EXPECT_EQ(marker->put_Size(-1.0), E_INVALIDARG);
  EXPECT_EQ(marker->get_Size(nullptr), E_POINTER);
}

TEST_F(RenderersTest, UniqueValueRendererFieldsValuesLabelsAndSymbols) {
  auto renderer = create<IUniqueValueRenderer>(CLSID_UniqueValueRenderer);
  EXPECT_EQ(renderer->put_FieldCount(3), S_OK);
  EXPECT_EQ(renderer->put_Field(0, bstr("a:b:c").get()), S_OK);
  EXPECT_EQ(renderer->put_Field(1, bstr("NAME").get()), S_OK);
  EXPECT_EQ(renderer->put_Field(3, bstr("x").get()), E_INVALIDARG);
  LONG count = 0;
  EXPECT_EQ(renderer->get_FieldCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  win32::Bstr field;
  EXPECT_EQ(renderer->get_Field(0, field.put()), S_OK);
  EXPECT_EQ(field.utf8(), "a:b:c");

  auto fill = create<ISymbol>(CLSID_SimpleFillSymbol);
  EXPECT_EQ(renderer->AddValue(bstr("песок").get(), bstr("Отложения").get(), fill.get()), S_OK);
  EXPECT_EQ(renderer->put_Label(bstr("песок").get(), bstr("Песок").get()), S_OK);
  EXPECT_EQ(renderer->get_ValueCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  win32::Bstr value, label;
  EXPECT_EQ(renderer->get_Value(0, value.put()), S_OK);
  EXPECT_EQ(value.utf8(), "песок");
  EXPECT_EQ(renderer->get_Label(value.get(), label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "Песок");
  ComPtr<ISymbol> symbol;
  EXPECT_EQ(renderer->get_Symbol(value.get(), symbol.put()), S_OK);
  EXPECT_EQ(symbol.get(), fill.get());
  EXPECT_EQ(renderer->get_Symbol(bstr("нет").get(), symbol.put()), E_INVALIDARG);
  EXPECT_FALSE(symbol);
  VARIANT_BOOL can = VARIANT_TRUE;
  EXPECT_EQ(win32::query<IFeatureRenderer>(renderer.get())->CanRender(nullptr, nullptr, &can), S_OK);
  EXPECT_EQ(can, VARIANT_FALSE);
}

TEST_F(RenderersTest, RenderersReadFromAndWrittenToTheDocument) {
  write_points(path("p.geojson"), {"a", "b"});
  Json unique = feature_layer("U", "p.geojson");
  unique["renderer"] = {{"type", "unique_value"},
                        {"fields", {"KIND:CODE", "NAME"}},
                        {"field_delimiter", "|"},
                        {"default_symbol", nullptr},
                        {"values", {{{"value", 7}, {"label", "семь"}, {"symbol", {{"type", "marker"}, {"color", "#00FF00"}, {"size", 4}}}}}}};
  Json breaks = feature_layer("B", "p.geojson");
  breaks["renderer"] = {{"type", "class_breaks"},
                        {"field", "DEPTH"},
                        {"breaks", {{{"max", 5}, {"label", "мелко"}, {"symbol", {{"type", "marker"}, {"color", "#0000FF"}}}},
                                    {{"max", 50}, {"label", "глубоко"}, {"symbol", nullptr}}}}};
  Json other = feature_layer("O", "p.geojson");
  other["renderer"] = {{"type", "dot_density"}, {"dots", 100}};
  auto doc = load(document_json({map_json("m", {unique, breaks, other})}));
  ASSERT_TRUE(doc);
  auto map = focus_map(doc.get());
  auto renderer_of = [&](LONG i) {
    ComPtr<ILayer> layer;
    EXPECT_EQ(map->get_Layer(i, layer.put()), S_OK);
    ComPtr<IFeatureRenderer> r;
    EXPECT_EQ(win32::query<IGeoFeatureLayer>(layer.get())->get_Renderer(r.put()), S_OK);
    return r;
  };
  auto u = win32::query<IUniqueValueRenderer>(renderer_of(0).get());
  ASSERT_TRUE(u);
  win32::Bstr delimiter, value;
  EXPECT_EQ(u->get_FieldDelimiter(delimiter.put()), S_OK);
  EXPECT_EQ(delimiter.utf8(), "|");
  EXPECT_EQ(u->get_Value(0, value.put()), S_OK);
  EXPECT_EQ(value.utf8(), "7");
  // What the cut does to a unique-value renderer: field names with ":" become ".".
  EXPECT_EQ(u->put_Field(0, bstr("KIND.CODE").get()), S_OK);

  auto b = win32::query<IClassBreaksRenderer>(renderer_of(1).get());
  ASSERT_TRUE(b);
  LONG count = 0;
  double upper = 0;
  EXPECT_EQ(b->get_BreakCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(b->get_Break(1, &upper), S_OK);
  EXPECT_EQ(upper, 50.0);
  win32::Bstr label;
  EXPECT_EQ(b->get_Label(0, label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "мелко");

  auto o = renderer_of(2);
  ASSERT_TRUE(o);
  EXPECT_FALSE(win32::query<ISimpleRenderer>(o.get()));

  std::string error;
  ASSERT_TRUE(gis::SaveDocument(doc.get(), path("saved.mxd").string(), &error)) << error;
  Json layers = read_json(path("saved.mxd"))["maps"][0]["layers"];
  EXPECT_EQ(layers[0]["renderer"]["fields"], Json({"KIND.CODE", "NAME"}));
  EXPECT_EQ(layers[0]["renderer"]["values"][0]["value"], 7);
  EXPECT_EQ(layers[0]["renderer"]["values"][0]["symbol"]["color"], "#00FF00");
  Json expected = breaks["renderer"];
  expected["breaks"][0]["symbol"] = {{"type", "marker"}, {"color", "#0000FF"}, {"size", 8.0}, {"style", 0}};
  EXPECT_EQ(layers[1]["renderer"], expected);
  EXPECT_EQ(layers[2]["renderer"], other["renderer"]);
}

TEST_F(RenderersTest, LayerRendererCanBeReplaced) {
  ComPtr<IGeoFeatureLayer> layer = create<IGeoFeatureLayer>(CLSID_FeatureLayer);
  auto simple = create<IFeatureRenderer>(CLSID_SimpleRenderer);
  EXPECT_EQ(layer->putref_Renderer(simple.get()), S_OK);
  ComPtr<IFeatureRenderer> now;
  EXPECT_EQ(layer->get_Renderer(now.put()), S_OK);
  EXPECT_EQ(now.get(), simple.get());
  EXPECT_EQ(layer->putref_Renderer(nullptr), S_OK);
  EXPECT_EQ(layer->get_Renderer(now.put()), S_OK);
  EXPECT_FALSE(now);
}

}  // namespace
}  // namespace carto_test

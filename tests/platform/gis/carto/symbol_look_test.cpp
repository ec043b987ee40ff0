// One look for a symbol wherever it is drawn: the look the map picture gives a layer's
// features is the look the display's painter gets for the same symbol object, and both are
// the symbol's settings.
#include "carto_test.h"
#include "gis/application.h"
#include "gis/display.h"
#include "gis/render.h"

namespace carto_test {
namespace {

// Keeps the looks a drawing hands it.
class LookPainter : public gis::MapPainter {
 public:
  void Shape(const gis::Look& look, int, const std::vector<double>&, const std::vector<int>&) override {
    looks.push_back(look);
  }
  void Marker(const gis::Look& look, double, double) override { looks.push_back(look); }
  void Text(const gis::Look& look, double, double, const std::string&) override { looks.push_back(look); }
  void Image(int, int, int, int, const std::vector<std::uint32_t>&) override {}
  std::vector<gis::Look> looks;
};

struct LookCase {
  const char* name;
  const char* geometry;  // GeoJSON geometry of the layer's one feature
  Json symbol;
  // What the look must be.
  bool has_fill;
  LONG fill;  // 0x00BBGGRR
  bool has_stroke;
  LONG stroke;
  double stroke_width;
  int style;  // fill style for areas, line style for lines, marker style for points
};

class SymbolLookTest : public CartoTest {
 protected:
  // The look DrawFocusMap gives the layer's feature and the look the display's painter is
  // told for the layer's own symbol object, after SetSymbol.
  void looks(const LookCase& c, gis::Look* map_look, gis::Look* display_look, int* dimension) {
    Json feature = {{"type", "Feature"}, {"properties", Json::object()}, {"geometry", Json::parse(c.geometry)}};
    write_file(path("one.geojson"), Json({{"type", "FeatureCollection"}, {"features", {feature}}}).dump());
    Json layer = feature_layer("Слой", "one.geojson");
    layer["renderer"] = {{"type", "simple"}, {"symbol", c.symbol}};
    auto doc = load(document_json({map_json("Карта", {layer})}));
    ASSERT_TRUE(doc);

    LookPainter painter;
    ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {0, 0, 10, 10, 100, 100}, painter));
    ASSERT_EQ(painter.looks.size(), 1u);
    *map_look = painter.looks[0];

    ComPtr<IMap> map;
    ASSERT_EQ(doc->get_FocusMap(map.put()), S_OK);
    ComPtr<ILayer> first;
    ASSERT_EQ(map->get_Layer(0, first.put()), S_OK);
    ComPtr<IFeatureRenderer> renderer;
    ASSERT_EQ(win32::query<IGeoFeatureLayer>(first.get())->get_Renderer(renderer.put()), S_OK);
    ComPtr<ISymbol> symbol;
    ASSERT_EQ(win32::query<ISimpleRenderer>(renderer.get())->get_Symbol(symbol.put()), S_OK);

    gis::ApplicationOptions options;
    options.templates_folder = path("templates").string();
    ComPtr<IApplication> app = gis::CreateApplication(options);
    ComPtr<IAppDisplay> display;
    ASSERT_EQ(win32::query<IMxApplication>(app.get())->get_Display(display.put()), S_OK);
    ASSERT_EQ(display->StartDrawing(0, -1), S_OK);
    ASSERT_EQ(display->SetSymbol(symbol.get()), S_OK);
    ASSERT_EQ(display->FinishDrawing(), S_OK);
    const std::vector<gis::DisplayCall> calls = gis::DisplayCalls(display.get());
    ASSERT_EQ(calls.size(), 3u);
    ASSERT_EQ(calls[1].kind, gis::DisplayCall::SetSymbol);
    const std::string type = Json::parse(c.geometry)["type"];
    *dimension = type == "Point" ? 0 : type == "LineString" ? 1 : 2;
    *display_look = gis::SymbolLook(calls[1].symbol, *dimension);
  }
};

TEST_F(SymbolLookTest, TheMapAndTheDisplayDrawASymbolAlike) {
  const char* area = R"({"type": "Polygon", "coordinates": [[[1, 1], [5, 1], [5, 5], [1, 1]]]})";
  const char* line = R"({"type": "LineString", "coordinates": [[1, 1], [5, 5]]})";
  const char* point = R"({"type": "Point", "coordinates": [3, 3]})";
  const Json dashed_red = {{"type", "line"}, {"color", "#FF0000"}, {"width", 2.5}, {"style", esriSLSDash}};
  const LookCase cases[] = {
      {"hatched fill, dashed outline", area,
       {{"type", "fill"}, {"color", "#336699"}, {"style", esriSFSCross}, {"outline", dashed_red}},
       true, 0x996633, true, 0x0000FF, 2.5, esriSFSCross},
      {"hollow fill", area, {{"type", "fill"}, {"color", "#336699"}, {"style", esriSFSHollow}, {"outline", dashed_red}},
       false, 0x996633, true, 0x0000FF, 2.5, esriSFSHollow},
      {"fill without outline on a line", line, {{"type", "fill"}, {"color", "#336699"}, {"outline", nullptr}},
       true, 0x996633, true, 0x996633, 1, esriSLSSolid},
      {"dashed line", line, dashed_red, false, 0x0000FF, true, 0x0000FF, 2.5, esriSLSDash},
      {"line on a point", point, dashed_red, true, 0x0000FF, true, 0x0000FF, 2.5, esriSMSCircle},
      {"outlined square marker", point,
       {{"type", "marker"}, {"color", "#00FF00"}, {"size", 9}, {"style", esriSMSSquare},
        {"outline", {{"type", "line"}, {"color", "#0000FF"}, {"width", 1.5}}}},
       true, 0x00FF00, true, 0xFF0000, 1.5, esriSMSSquare},
      {"marker on an area", area, {{"type", "marker"}, {"color", "#00FF00"}, {"size", 9}}, true, 0x00FF00, false,
       0x00FF00, 1, esriSFSSolid},
  };
  for (const LookCase& c : cases) {
    SCOPED_TRACE(c.name);
    gis::Look map_look, display_look;
    int dimension = 0;
    looks(c, &map_look, &display_look, &dimension);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(map_look == display_look);
    EXPECT_EQ(map_look.has_fill, c.has_fill);
    if (c.has_fill) EXPECT_EQ(map_look.fill, c.fill);
    EXPECT_EQ(map_look.has_stroke, c.has_stroke);
    if (c.has_stroke) {
      EXPECT_EQ(map_look.stroke, c.stroke);
      EXPECT_DOUBLE_EQ(map_look.stroke_width, c.stroke_width);
    }
    const int style = dimension == 2 ? map_look.fill_style : dimension == 1 ? map_look.line_style : map_look.marker_style;
    EXPECT_EQ(style, c.style);
  }
}

}  // namespace
}  // namespace carto_test

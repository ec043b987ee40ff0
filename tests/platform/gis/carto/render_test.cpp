// Map pictures: what the SVG of a document shows.
#include <algorithm>
#include <cmath>

#include "carto_test.h"
#include "gis/render.h"

namespace carto_test {
namespace {

class RenderTest : public CartoTest {
 protected:
  // A map of one layer holding one line through coords, written as `file`.
  ComPtr<IMxDocument> line_map(const std::string& file, const Json& coords) {
    Json fc = {{"type", "FeatureCollection"},
               {"features", {{{"type", "Feature"}, {"properties", Json::object()},
                              {"geometry", {{"type", "LineString"}, {"coordinates", coords}}}}}}};
    write_file(path(file), fc.dump());
    return load(document_json({map_json("Карта", {feature_layer("Линия", file)})}));
  }
};

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(RenderTest, LayersRenderersGraphicsAndLegendAreDrawn) {
  write_points(path("p.geojson"), {"a", "b", "c"});
  Json points = feature_layer("Точки", "p.geojson");
  points["renderer"] = {{"type", "unique_value"},
                        {"fields", {"NAME"}},
                        {"values", {{{"value", "a"}, {"label", "Первая"}, {"symbol", {{"type", "marker"}, {"color", "#FF0000"}}}},
                                    {{"value", "b"}, {"label", "Вторая"}, {"symbol", {{"type", "marker"}, {"color", "#00FF00"}}}}}}};
  Json hidden = feature_layer("Скрытый", "p.geojson");
  hidden["visible"] = false;
  hidden["renderer"] = {{"type", "simple"}, {"symbol", {{"type", "marker"}, {"color", "#123456"}}}};
  Json graphics = {{"elements", {text_element("Надпись <1>", 1, 1)}}};
  Json map = map_json("Карта", {points, hidden, feature_layer("Нет данных", "missing.shp")}, graphics);
  auto doc = load(document_json({map}));
  ASSERT_TRUE(doc);
  std::vector<std::string> warnings;
  std::string svg = gis::RenderDocumentSvg(doc.get(), {}, &warnings);
  ASSERT_FALSE(svg.empty());
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  // "a" and "b" drawn in their colours (also in the legend), "c" has no value and no default.
  EXPECT_EQ(count_of(svg, "fill=\"#ff0000\""), 2u);
  EXPECT_EQ(count_of(svg, "fill=\"#00ff00\""), 2u);
  EXPECT_EQ(count_of(svg, "#123456"), 0u);
  EXPECT_NE(svg.find("Надпись &lt;1&gt;"), std::string::npos);
  EXPECT_NE(svg.find("Первая"), std::string::npos);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("Нет данных"), std::string::npos);
}

TEST_F(RenderTest, DocumentWithoutMapsStillGivesAPicture) {
  auto doc = load(document_json(Json::array()));
  ASSERT_TRUE(doc);
  std::string svg = gis::RenderDocumentSvg(doc.get());
  EXPECT_NE(svg.find("no maps"), std::string::npos);
}


// A view of the focus map reads only the features that may lie in it: the picture of a
// corner of a long diagonal of points holds the points there and not the rest, in the data's
// own system and in a map projected from it.
TEST_F(RenderTest, AViewReadsOnlyWhatItShows) {
  std::vector<std::string> names(80, "p");
  write_points(path("diagonal.geojson"), names);  // (i, i) degrees, i = 0..79
  for (const char* system : {"", "EPSG:3857"}) {
    SCOPED_TRACE(system);
    Json layer = feature_layer("Точки", "diagonal.geojson");
    layer["renderer"] = {{"type", "simple"}, {"symbol", {{"type", "marker"}, {"color", "#123456"}}}};
    Json map = map_json("Карта", {layer});
    if (*system) map["spatial_reference"] = system;
    auto doc = load(document_json({map}));
    ASSERT_TRUE(doc);
    // The whole map: every point.
    EXPECT_EQ(count_of(gis::RenderFocusMapSvg(doc.get(), {0, 0, 0, 0, 400, 400}), "#123456"), 80u);
    // The square from (0, 0) to (10, 10) degrees, 100 x 100 pixels: the 11 points in it and a
    // margin's worth around it, nothing from the far end of the diagonal.
    double corner[2] = {10, 10};
    if (*system) corner[0] = corner[1] = 10 * 6378137.0 * M_PI / 180;  // x of 10° east
    gis::MapView view{0, 0, corner[0], corner[0], 100, 100};
    const size_t drawn = count_of(gis::RenderFocusMapSvg(doc.get(), view), "#123456");
    EXPECT_GE(drawn, 11u);
    EXPECT_LE(drawn, 14u);
  }
}

// Records what a drawing hands a painter, one line a call.
class RecordingPainter : public gis::MapPainter {
 public:
  void Shape(const gis::Look& look, int dimension, const std::vector<double>& xy,
             const std::vector<int>& part_ends) override {
    std::string line = "shape " + std::to_string(dimension) + " " + std::to_string(look.stroke);
    for (double v : xy) line += " " + std::to_string(std::lround(v));
    for (int e : part_ends) line += " |" + std::to_string(e);
    calls.push_back(line);
    vertices += xy.size() / 2;
  }
  void Marker(const gis::Look& look, double x, double y) override {
    calls.push_back("marker " + std::to_string(look.fill) + " " + std::to_string(std::lround(x)) + " " +
                    std::to_string(std::lround(y)));
  }
  void Text(const gis::Look& look, double x, double y, const std::string& text) override {
    calls.push_back("text " + std::to_string(look.fill) + " " + text + " " + std::to_string(std::lround(x)) + " " +
                    std::to_string(std::lround(y)));
  }
  void Image(int x, int y, int width, int height, const std::vector<std::uint32_t>&) override {
    calls.push_back("image " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) + " " +
                    std::to_string(height));
  }
  std::vector<std::string> calls;
  size_t vertices = 0;
};

// A view drawn in steps: one for each visible feature layer (a group's layers included, a
// hidden one not), the lowest first, then the graphics; the steps one after another draw
// exactly what DrawFocusMap draws, and each step's warnings are its own.
TEST_F(RenderTest, StepsOfAViewDrawWhatTheWholeDrawingDraws) {
  write_points(path("p.geojson"), {"a", "b", "c"});
  Json top = feature_layer("Верхний", "p.geojson");
  top["renderer"] = {{"type", "simple"}, {"symbol", {{"type", "marker"}, {"color", "#FF0000"}}}};
  Json hidden = feature_layer("Скрытый", "p.geojson");
  hidden["visible"] = false;
  Json bottom = feature_layer("Нижний", "p.geojson");
  bottom["renderer"] = {{"type", "simple"}, {"symbol", {{"type", "marker"}, {"color", "#0000FF"}}}};
  Json graphics = {{"elements", {text_element("Надпись", 1, 1)}}};
  Json map = map_json("Карта", {top, group_layer("Группа", {hidden, feature_layer("Нет данных", "missing.shp")}), bottom},
                      graphics);
  auto doc = load(document_json({map}));
  ASSERT_TRUE(doc);
  const gis::MapView view{-1, -1, 3, 3, 400, 400};

  RecordingPainter whole;
  std::vector<std::string> warnings;
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), view, whole, &warnings));
  ASSERT_EQ(warnings.size(), 1u);

  const gis::MapViewDrawing drawing(doc.get(), view);
  ASSERT_EQ(drawing.steps(), 4u);  // bottom, the missing source, top, graphics
  RecordingPainter steps;
  std::vector<std::vector<std::string>> step_warnings(drawing.steps());
  for (size_t step = 0; step < drawing.steps(); ++step) drawing.Draw(step, steps, &step_warnings[step]);
  EXPECT_EQ(steps.calls, whole.calls);
  EXPECT_EQ(step_warnings[1].size(), 1u);
  EXPECT_TRUE(step_warnings[0].empty() && step_warnings[2].empty() && step_warnings[3].empty());

  // Bottom (blue) first, top (red) next, the text last; the point (1, 1) at pixel (200, 200).
  ASSERT_EQ(whole.calls.size(), 7u);
  EXPECT_EQ(whole.calls[0].rfind("marker " + std::to_string(0xFF0000), 0), 0u);
  EXPECT_EQ(whole.calls[3].rfind("marker " + std::to_string(0x0000FF), 0), 0u);
  EXPECT_EQ(whole.calls[4], "marker " + std::to_string(0x0000FF) + " 200 200");
  EXPECT_EQ(whole.calls[6], "text 0 Надпись 200 200");

  // Not a document of this program: nothing to draw.
  const gis::MapViewDrawing none(nullptr, view);
  EXPECT_EQ(none.steps(), 0u);
  RecordingPainter nothing;
  EXPECT_FALSE(gis::DrawFocusMap(nullptr, view, nothing));
  EXPECT_TRUE(nothing.calls.empty());
}

// A drawing keeps what it took from the document when it was made: the document gone, its
// steps draw the same; a step's key tells whether two drawings draw it alike (its looks
// changed, it differs); a raised cancel stops a step before its first feature.
TEST_F(RenderTest, AViewDrawingKeepsWhatItTookFromTheDocument) {
  write_points(path("p.geojson"), {"a", "b"});
  auto map_of = [&](const char* colour) {
    Json layer = feature_layer("Точки", "p.geojson");
    layer["renderer"] = {{"type", "simple"}, {"symbol", {{"type", "marker"}, {"color", colour}}}};
    return load(document_json({map_json("Карта", {layer}, {{"elements", {text_element("Надпись", 1, 1)}}})}));
  };
  const gis::MapView view{-1, -1, 3, 3, 400, 400};
  auto red = map_of("#FF0000");
  ASSERT_TRUE(red);
  RecordingPainter expected;
  ASSERT_TRUE(gis::DrawFocusMap(red.get(), view, expected));
  ASSERT_EQ(expected.calls.size(), 3u);

  auto drawing = std::make_unique<gis::MapViewDrawing>(red.get(), view);
  ASSERT_EQ(drawing->steps(), 2u);
  const gis::MapViewDrawing same(red.get(), view);
  EXPECT_EQ(drawing->key(0), same.key(0));
  EXPECT_EQ(drawing->key(1), same.key(1));
  EXPECT_NE(drawing->key(0), drawing->key(1));
  EXPECT_EQ(drawing->key(2), "");

  // The layer's renderer replaced (the default look): a drawing made now draws it otherwise;
  // the one made before still draws the red points, even with the document gone.
  ComPtr<IMap> map;
  ASSERT_EQ(red->get_FocusMap(map.put()), S_OK);
  ComPtr<ILayer> layer;
  ASSERT_EQ(map->get_Layer(0, layer.put()), S_OK);
  ComPtr<IFeatureRenderer> plain;
  ASSERT_EQ(CoCreateInstance(CLSID_SimpleRenderer, nullptr, CLSCTX_ALL, __uuidof(IFeatureRenderer), plain.put_void()), S_OK);
  ASSERT_EQ(win32::query<IGeoFeatureLayer>(layer.get())->putref_Renderer(plain.get()), S_OK);
  const gis::MapViewDrawing other(red.get(), view);
  EXPECT_NE(other.key(0), drawing->key(0));  // the same layer and source, another look
  EXPECT_EQ(other.key(1), drawing->key(1));  // the same graphics
  map.reset();
  layer.reset();
  plain.reset();
  red.reset();
  RecordingPainter after;
  std::vector<std::string> warnings;
  for (size_t step = 0; step < drawing->steps(); ++step) drawing->Draw(step, after, &warnings);
  EXPECT_EQ(after.calls, expected.calls);
  EXPECT_TRUE(warnings.empty());

  const std::atomic<bool> cancel{true};
  RecordingPainter cancelled;
  drawing->Draw(0, cancelled, &warnings, &cancel);
  EXPECT_TRUE(cancelled.calls.empty());
  EXPECT_TRUE(warnings.empty());  // a cancelled step tells nothing
}

// Vertices less than a pixel from the one kept before them are left out; a part keeps its
// first and last, and a line that moves on is followed.
TEST_F(RenderTest, VerticesWithinAPixelAreLeftOut) {
  Json coords = Json::array();
  for (int i = 0; i <= 1000; ++i) coords.push_back({i * 0.001, (i % 2) * 0.001});  // a zigzag 1 unit long
  coords.push_back({5.0, 5.0});
  auto doc = line_map("zigzag.geojson", coords);
  ASSERT_TRUE(doc);
  RecordingPainter coarse, fine;
  // 100 pixels a unit: the zigzag (0.1 pixel high) becomes one pixel a vertex at most.
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {0, 0, 10, 10, 1000, 1000}, coarse));
  ASSERT_EQ(coarse.calls.size(), 1u);
  EXPECT_GE(coarse.vertices, 50u);
  EXPECT_LE(coarse.vertices, 110u);
  EXPECT_EQ(coarse.calls[0].rfind("shape 1 0 0 1000 ", 0), 0u) << coarse.calls[0];  // the first vertex
  EXPECT_NE(coarse.calls[0].find(" 500 500 |"), std::string::npos) << coarse.calls[0];  // and the last
  // 100,000 pixels a unit: every vertex is pixels from the one before, and stays, up to the
  // first beyond the view's edge (x 0.011, 1,100 pixels); the rest passes beside the view.
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {0, -0.001, 0.01, 0.009, 1000, 1000}, fine));
  ASSERT_EQ(fine.calls.size(), 1u);
  EXPECT_EQ(fine.vertices, 12u);
  EXPECT_NE(fine.calls[0].find(" 1100 800 |12"), std::string::npos) << fine.calls[0];
}

// Collects the parts a drawing hands a painter, in pixels.
class PartsPainter : public gis::MapPainter {
 public:
  void Shape(const gis::Look&, int, const std::vector<double>& xy, const std::vector<int>& part_ends) override {
    int begin = 0;
    for (int end : part_ends) {
      parts.emplace_back(xy.begin() + 2 * begin, xy.begin() + 2 * end);
      begin = end;
    }
  }
  void Marker(const gis::Look&, double, double) override {}
  void Text(const gis::Look&, double, double, const std::string&) override {}
  void Image(int, int, int, int, const std::vector<std::uint32_t>&) override {}
  std::vector<std::vector<double>> parts;  // x, y pairs
};

// The pixel rows (y) from top to bottom that no segment of the part covers within
// columns [left, right]; a ring's closing segment counts.
std::vector<int> rows_missed(const std::vector<double>& part, bool ring, int top, int bottom, double left,
                             double right) {
  std::vector<int> missed;
  const size_t n = part.size() / 2;
  for (int row = top; row <= bottom; ++row) {
    bool covered = false;
    for (size_t i = 0; i + 1 < n + (ring ? 1 : 0) && !covered; ++i) {
      const size_t j = (i + 1) % n;
      const double y0 = part[2 * i + 1], y1 = part[2 * j + 1];
      const double x0 = part[2 * i], x1 = part[2 * j];
      covered = std::min(y0, y1) <= row + 0.5 && std::max(y0, y1) >= row - 0.5 && std::min(x0, x1) >= left - 1 &&
                std::max(x0, x1) <= right + 1;
    }
    if (!covered) missed.push_back(row);
  }
  return missed;
}

// Vertical and steep lines and a tall polygon thinner than a pixel, their vertices far
// closer than a pixel: simplified, they still cover every pixel row of their height (a
// vertex is near the one before only when it is near in x and in y alike).
TEST_F(RenderTest, TallShapesKeepTheirWholeHeightWhenSimplified) {
  // 100 pixels a unit over (0..10) x (0..10): map y 9 is pixel row 100, y 1 row 900.
  Json lines = Json::array(), vertical = Json::array(), steep = Json::array();
  auto up_and_down = [](Json* coords, double x0, double slope) {
    int k = 0;
    for (double y = 1; y < 9; y += 0.001, ++k) coords->push_back({x0 + slope * k, y});
    for (double y = 9; y >= 5; y -= 0.001, ++k) coords->push_back({x0 + slope * k, y});
  };
  up_and_down(&vertical, 2, 0);
  up_and_down(&steep, 4, 0.0000004);  // half a pixel across its whole run
  for (const Json& coords : {vertical, steep})
    lines.push_back({{"type", "Feature"}, {"properties", Json::object()},
                     {"geometry", {{"type", "LineString"}, {"coordinates", coords}}}});
  write_file(path("tall_lines.geojson"), Json({{"type", "FeatureCollection"}, {"features", lines}}).dump());
  Json ring = Json::array();
  for (double y = 1; y < 9; y += 0.001) ring.push_back({6.0, y});
  for (double y = 9; y > 1; y -= 0.001) ring.push_back({6.004, y});
  ring.push_back({6.0, 1.0});
  Json polygon = {{"type", "Feature"}, {"properties", Json::object()},
                  {"geometry", {{"type", "Polygon"}, {"coordinates", json_list({ring})}}}};
  write_file(path("tall_area.geojson"),
             Json({{"type", "FeatureCollection"}, {"features", json_list({polygon})}}).dump());
  auto doc = load(document_json({map_json(
      "Карта", {feature_layer("Линии", "tall_lines.geojson"), feature_layer("Полоса", "tall_area.geojson")})}));
  ASSERT_TRUE(doc);
  PartsPainter painter;
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {0, 0, 10, 10, 1000, 1000}, painter));
  // The area first (the lower layer), then the vertical and the steep line.
  ASSERT_EQ(painter.parts.size(), 3u);
  const struct {
    const char* what;
    bool ring;
    double left;
  } shapes[] = {{"the thin area", true, 600}, {"the vertical line", false, 200}, {"the steep line", false, 400}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(shapes[i].what);
    const std::vector<double>& part = painter.parts[i];
    // Simplified: far fewer vertices than the 12,000 or 16,000 given, yet every row drawn.
    EXPECT_LT(part.size() / 2, 2000u);
    const std::vector<int> missed = rows_missed(part, shapes[i].ring, 100, 900, shapes[i].left, shapes[i].left + 1);
    EXPECT_TRUE(missed.empty()) << missed.size() << " pixel rows not drawn, the first " << missed.front();
  }
}

// A path that leaves the view and comes back is drawn as the stretches that may show, each
// from the vertex before it enters to the one after it leaves.
TEST_F(RenderTest, StretchesOfAPathBesideTheViewAreLeftOut) {
  auto doc = line_map("loop.geojson", {{0, 0}, {5, 0}, {50, 0}, {50, 1}, {50, 2}, {5, 2}, {0, 2}});
  ASSERT_TRUE(doc);
  RecordingPainter painter;
  // 100 pixels a unit over (-1..9) x (-4..6): x 50 lies 5,000 pixels to the right.
  ASSERT_TRUE(gis::DrawFocusMap(doc.get(), {-1, -4, 9, 6, 1000, 1000}, painter));
  ASSERT_EQ(painter.calls.size(), 1u);
  EXPECT_EQ(painter.calls[0], "shape 1 0 100 600 600 600 5100 600 5100 400 600 400 100 400 |3 |6") << painter.calls[0];
}

}  // namespace
}  // namespace carto_test

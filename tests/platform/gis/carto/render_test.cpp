// Map pictures: what the SVG of a document shows.
#include <cmath>

#include "carto_test.h"
#include "gis/render.h"

namespace carto_test {
namespace {

class RenderTest : public CartoTest {};

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

}  // namespace
}  // namespace carto_test

// Map pictures: what the SVG of a document shows.
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

}  // namespace
}  // namespace carto_test

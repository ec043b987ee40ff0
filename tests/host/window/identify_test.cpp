// Identify: the features under a click, in every visible layer, with their fields.
#include <QAction>
#include <QDockWidget>
#include <QTest>

#include <gis/core.h>

#include "window/layers_tree.h"
#include "window_fixture.h"

namespace {

const char kSettlements[] = "Населённые пункты (WGS 84)";

QTreeWidgetItem* find_item(QTreeWidget* tree, const char* text) {
  return tree->findItems(QString::fromUtf8(text), Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

const host::FoundLayer* layer_named(const std::vector<host::FoundLayer>& found, const std::string& name) {
  for (const host::FoundLayer& layer : found)
    if (layer.name == name) return &layer;
  return nullptr;
}

// The first point of a layer in the map's system, with its fields' values.
struct Point {
  double x = 0, y = 0;
  std::vector<std::string> values;
};
Point first_point(IMxDocument* document, ILayer* layer) {
  win32::ComPtr<IMap> map;
  document->get_FocusMap(map.put());
  win32::ComPtr<ISpatialReference> system;
  map->get_SpatialReference(system.put());
  win32::ComPtr<IFeatureClass> feature_class;
  win32::query<IFeatureLayer>(layer)->get_FeatureClass(feature_class.put());
  std::vector<LONG> asked;
  for (const auto& [index, name] : host::AttributeFields(feature_class.get())) asked.push_back(index);
  Point point;
  bool taken = false;
  gis::ReadShapes(feature_class.get(), nullptr, system.get(), asked,
                  [&](const std::vector<gis::ShapeParts>& shapes, const std::vector<std::string>& values) {
                    if (taken || shapes.empty() || shapes[0].xy.size() < 2) return;
                    taken = true;
                    point = {shapes[0].xy[0], shapes[0].xy[1], values};
                  });
  EXPECT_TRUE(taken);
  return point;
}

TEST(Identify, TheFeaturesUnderAPointInEveryVisibleLayer) {
  test::WindowFixture f("identify");
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  auto mx = document.as<IMxDocument>();
  QTreeWidgetItem* item = find_item(f.window->layers(), kSettlements);
  ASSERT_NE(item, nullptr);
  const Point point = first_point(mx.get(), f.window->layers()->layer_of(item));
  const double tolerance = 1;  // map units (metres)

  std::vector<host::FoundLayer> found = host::IdentifyFeatures(mx.get(), point.x, point.y, tolerance);
  const host::FoundLayer* settlements = layer_named(found, kSettlements);
  ASSERT_NE(settlements, nullptr);
  ASSERT_EQ(settlements->features.size(), 1u);
  std::vector<std::string> values;
  for (const auto& [field, value] : settlements->features[0].fields) values.push_back(value);
  EXPECT_EQ(values, point.values);  // every field but the shape, in the class's order
  // The areas under the point are found too (the geology holds every point of its extent).
  EXPECT_GT(found.size(), 1u);

  // A point of no layer finds nothing; just beyond the tolerance of a marker, not the marker.
  EXPECT_TRUE(host::IdentifyFeatures(mx.get(), point.x + 1e9, point.y + 1e9, tolerance).empty());
  EXPECT_EQ(layer_named(host::IdentifyFeatures(mx.get(), point.x + 2 * tolerance, point.y, tolerance), kSettlements),
            nullptr);

  // A layer switched off is not asked.
  item->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(layer_named(host::IdentifyFeatures(mx.get(), point.x, point.y, tolerance), kSettlements), nullptr);
  item->setCheckState(0, Qt::Checked);

  // On the canvas: with Identify on, a click lists them in the dock; off, a click does not.
  host::MapCanvas* canvas = f.window->canvas();
  canvas->show_extent(point.x - 2000, point.y - 2000, point.x + 2000, point.y + 2000);
  const QPoint at = canvas->to_pixel(point.x, point.y).toPoint();
  QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
  EXPECT_FALSE(f.window->findChild<QDockWidget*>("identify_dock")->isVisible());
  f.window->findChild<QAction*>("identify_tool")->trigger();
  QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
  EXPECT_TRUE(f.window->findChild<QDockWidget*>("identify_dock")->isVisible());
  QTreeWidgetItem* listed = find_item(f.window->identify_panel(), kSettlements);
  ASSERT_NE(listed, nullptr);
  ASSERT_EQ(listed->childCount(), 1);
  QTreeWidgetItem* feature = listed->child(0);
  ASSERT_EQ(feature->childCount(), static_cast<int>(point.values.size()));
  for (int k = 0; k < feature->childCount(); ++k)
    EXPECT_EQ(feature->child(k)->text(1).toStdString(), point.values[static_cast<size_t>(k)]);
}

}  // namespace

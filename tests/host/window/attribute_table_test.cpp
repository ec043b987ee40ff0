// A layer's attribute table: read a chunk at a time, sorted by a column (numbers as
// numbers), read-only, its selection shown on the map and zoomed to.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

#include <fstream>

#include "window/attribute_table.h"
#include "window/identify.h"
#include "window/layers_tree.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPoints = 600;

// kPoints points around the sample's area in degrees, each with n (a permutation of
// 0..kPoints-1) and a name.
fs::path write_points(const fs::path& folder) {
  const fs::path path = folder / "точки.geojson";
  std::ofstream out(path);
  out << R"({"type":"FeatureCollection","crs":{"type":"name","properties":{"name":"EPSG:4326"}},"features":[)";
  for (int i = 0; i < kPoints; ++i) {
    const int n = (i * 7) % kPoints;
    out << (i ? "," : "") << R"({"type":"Feature","properties":{"n":)" << n << R"(,"name":"пункт )" << n
        << R"("},"geometry":{"type":"Point","coordinates":[)" << 33.0 + i * 0.0005 << "," << 55.9 + i * 0.0002 << "]}}";
  }
  out << "]}";
  return path;
}

int column_named(const QAbstractItemModel* model, const char* name) {
  for (int c = 0; c < model->columnCount(); ++c)
    if (model->headerData(c, Qt::Horizontal).toString() == name) return c;
  return -1;
}

TEST(AttributeTable, ReadAsNeededSortedSelectedOnTheMap) {
  test::WindowFixture f("attributes");
  ASSERT_TRUE(f.window->add_data(QString::fromStdString(write_points(f.folder).string())));
  host::LayersTree* tree = f.window->layers();
  QTreeWidgetItem* item = tree->findItems(QString::fromUtf8("точки"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
  ASSERT_NE(item, nullptr);
  std::unique_ptr<QMenu> menu(tree->menu_for(item));
  QAction* open = menu->findChild<QAction*>("attribute_table");
  ASSERT_NE(open, nullptr);
  open->trigger();
  auto* table = f.window->findChild<host::AttributeTable*>("attribute_table");
  ASSERT_NE(table, nullptr);
  QApplication::processEvents();
  host::AttributeModel* model = table->model();

  // Only the first chunk is read until more is asked for.
  EXPECT_LE(model->rows_read(), host::AttributeModel::kChunk);
  EXPECT_TRUE(model->canFetchMore({}));
  const int n = column_named(model, "n"), name = column_named(model, "name");
  ASSERT_GE(n, 0);
  ASSERT_GE(name, 0);
  EXPECT_FALSE(model->flags(model->index(0, n)) & Qt::ItemIsEditable);

  // Sorting reads the rest: 0, 1, 2, … 10 (numbers, not texts: "10" after "9").
  table->view()->sortByColumn(n, Qt::AscendingOrder);
  ASSERT_EQ(model->rows_read(), kPoints);
  EXPECT_FALSE(model->canFetchMore({}));
  for (int row = 0; row < kPoints; ++row)
    ASSERT_EQ(model->index(row, n).data().toString().toStdString(), std::to_string(row)) << row;
  EXPECT_EQ(model->index(9, name).data().toString().toStdString(), "пункт 9");
  table->view()->sortByColumn(n, Qt::DescendingOrder);
  EXPECT_EQ(model->index(0, n).data().toString().toStdString(), std::to_string(kPoints - 1));

  // Two rows selected: two points on the map, in the map's system (identify finds them
  // there), and the view zoomed to them holds both.
  table->view()->selectRow(0);
  table->view()->selectionModel()->select(model->index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const std::vector<gis::ShapeParts> selected = table->selected_shapes();
  ASSERT_EQ(selected.size(), 2u);
  EXPECT_EQ(f.window->canvas()->selection().size(), 2u);
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  for (const gis::ShapeParts& point : selected) {
    ASSERT_EQ(point.xy.size(), 2u);
    bool found = false;
    for (const host::FoundLayer& layer : host::IdentifyFeatures(document.as<IMxDocument>().get(), point.xy[0], point.xy[1], 0.5))
      found |= layer.name == "точки";
    EXPECT_TRUE(found);
  }
  ASSERT_TRUE(table->zoom_to_selection());
  const gis::MapView v = f.window->canvas()->view();
  for (const gis::ShapeParts& point : selected) {
    EXPECT_GT(point.xy[0], v.xmin);
    EXPECT_LT(point.xy[0], v.xmax);
    EXPECT_GT(point.xy[1], v.ymin);
    EXPECT_LT(point.xy[1], v.ymax);
  }
  EXPECT_LT(v.xmax - v.xmin, 1e5);  // not the whole map

  // Closed, it takes its selection from the map; another document closes the tables.
  table->close();
  QApplication::processEvents();
  EXPECT_TRUE(f.window->canvas()->selection().empty());
  auto* again = f.window->open_attribute_table(tree->layer_of(item));
  QPointer<host::AttributeTable> watched(again);
  test::QtDriver driver;
  driver.when("the question", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
              [] { qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Discard)->click(); });
  f.window->new_document();  // the added layer is a change: asked about
  EXPECT_TRUE(driver.done()) << driver.pending();
  QApplication::processEvents();
  EXPECT_TRUE(watched.isNull() || !watched->isVisible());
}

}  // namespace

// The main window on the sample map: what it shows (layers, the map, the toolbar), how a
// person moves the map, and the File menu.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include <gis/document.h>

#include "window/command_bar.h"
#include "window/layers_tree.h"
#include "window/map_canvas.h"
#include "window/map_painter.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

using test::bytes_of;

QTreeWidgetItem* find_item(QTreeWidget* tree, const char* text) {
  auto found = tree->findItems(QString::fromUtf8(text), Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found.front();
}

// Pixels that differ between two pictures of the same size.
int changed_pixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return a.width() * a.height();
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

TEST(MapWindow, ShowsTheLayersTheMapAndTheExtensionsToolbar) {
  test::WindowFixture f("shows");
  host::LayersTree* tree = f.window->layers();
  ASSERT_NE(find_item(tree, "Геологическая карта"), nullptr);
  EXPECT_TRUE(find_item(tree, "Геологическая карта")->font(0).bold());  // the focus map
  QTreeWidgetItem* geology = find_item(tree, "Геология");
  ASSERT_NE(geology, nullptr);
  EXPECT_GT(geology->childCount(), 0);  // a group with its layers
  EXPECT_EQ(find_item(tree, "Реки")->checkState(0), Qt::Checked);
  EXPECT_NE(f.window->windowTitle().indexOf("map.mxd"), -1);

  // The map is drawn; switching a layer off draws it again without the layer.
  const QImage drawn = f.window->canvas()->picture();
  QImage blank(drawn.size(), drawn.format());
  blank.fill(Qt::white);
  EXPECT_GT(changed_pixels(drawn, blank), drawn.width() * drawn.height() / 50);
  find_item(tree, "Реки")->setCheckState(0, Qt::Unchecked);
  EXPECT_GT(changed_pixels(drawn, f.window->canvas()->picture()), 0);
  find_item(tree, "Реки")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(changed_pixels(drawn, f.window->canvas()->picture()), 0);

  // The toolbar found through the registry: the command's bitmap, caption, tooltip, state.
  host::CommandBar* bar = f.window->commands();
  EXPECT_EQ(bar->error(), "");
  ASSERT_EQ(bar->count(), 1);
  QAction* command = bar->action(0);
  EXPECT_FALSE(command->icon().isNull());
  EXPECT_EQ(command->icon().pixmap(16, 16).toImage().size(), QSize(16, 16));
  EXPECT_FALSE(command->text().isEmpty());
  EXPECT_FALSE(command->toolTip().isEmpty());
  EXPECT_TRUE(command->isEnabled());
}

TEST(MapWindow, WheelZoomsAboutTheCursorDragPansWholeMapShowsAll) {
  test::WindowFixture f("moves");
  host::MapCanvas* canvas = f.window->canvas();
  const gis::MapView whole = canvas->view();
  const QPoint at(canvas->width() / 4, canvas->height() / 3);
  const QPointF under = canvas->to_map(at);

  QWheelEvent wheel(at, canvas->mapToGlobal(at), {}, QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                    false);
  QApplication::sendEvent(canvas, &wheel);
  const gis::MapView zoomed = canvas->view();
  EXPECT_LT(zoomed.xmax - zoomed.xmin, (whole.xmax - whole.xmin) * 0.7);
  EXPECT_NEAR(canvas->to_map(at).x(), under.x(), (whole.xmax - whole.xmin) * 1e-6);
  EXPECT_NEAR(canvas->to_map(at).y(), under.y(), (whole.xmax - whole.xmin) * 1e-6);

  // A drag of 100 pixels to the right shows what lay 100 pixels to the left.
  const QPointF left_point = canvas->to_map(at - QPoint(100, 0));
  QTest::mousePress(canvas, Qt::LeftButton, {}, at - QPoint(100, 0));
  QTest::mouseMove(canvas, at);
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, at);
  EXPECT_NEAR(canvas->to_map(at).x(), left_point.x(), (whole.xmax - whole.xmin) * 1e-6);

  // The status bar follows the cursor in map units.
  const QPointF cursor = canvas->to_map(at);
  auto labels = f.window->statusBar()->findChildren<QLabel*>();
  bool shown = false;
  for (QLabel* label : labels) shown |= label->text().contains(QString::number(cursor.x(), 'f', 2));
  EXPECT_TRUE(shown);

  // Whole map: every feature and graphic of the map in view again.
  f.window->findChild<QAction*>("whole_map")->trigger();
  gis::MapView data;
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  ASSERT_TRUE(gis::FocusMapBounds(document.as<IMxDocument>().get(), &data));
  const gis::MapView all = canvas->view();
  EXPECT_LT(all.xmin, data.xmin);
  EXPECT_LT(all.ymin, data.ymin);
  EXPECT_GT(all.xmax, data.xmax);
  EXPECT_GT(all.ymax, data.ymax);
}

// The status bar shows the map's scale; Shift and the left button draw a box the view
// zooms to; View → Previous view goes back through the views one at a time.
TEST(MapWindow, TheScaleAZoomBoxAndThePreviousView) {
  test::WindowFixture f("zoom_box");
  host::MapCanvas* canvas = f.window->canvas();
  auto views_equal = [](const gis::MapView& a, const gis::MapView& b) {
    return a.xmin == b.xmin && a.ymin == b.ymin && a.xmax == b.xmax && a.ymax == b.ymax;
  };
  // The sample map is in metres (UTM); 96 pixels an inch.
  const gis::MapView first = canvas->view();
  const double denominator = (first.xmax - first.xmin) / first.width * 96 / 0.0254;
  EXPECT_NEAR(canvas->scale_denominator(), denominator, denominator * 1e-9);
  auto* scale = f.window->findChild<QLineEdit*>("scale");
  ASSERT_NE(scale, nullptr);
  EXPECT_EQ(scale->text().remove(' ').toStdString(), "1:" + std::to_string(std::llround(denominator)));

  // A box a few pixels wide is a slip: nothing changes.
  QTest::mousePress(canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::ShiftModifier, QPoint(102, 130));
  EXPECT_TRUE(views_equal(canvas->view(), first));

  const QPoint a(120, 90), b(320, 190);
  const QPointF top_left = canvas->to_map(a), bottom_right = canvas->to_map(b);
  QTest::mousePress(canvas, Qt::LeftButton, Qt::ShiftModifier, a);
  QTest::mouseMove(canvas, b);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::ShiftModifier, b);
  const gis::MapView boxed = canvas->view();
  const double tolerance = (first.xmax - first.xmin) * 1e-9;
  EXPECT_LE(boxed.xmin, top_left.x() + tolerance);
  EXPECT_GE(boxed.xmax, bottom_right.x() - tolerance);
  EXPECT_LE(boxed.ymin, bottom_right.y() + tolerance);
  EXPECT_GE(boxed.ymax, top_left.y() - tolerance);
  EXPECT_TRUE(std::abs((boxed.xmax - boxed.xmin) - (bottom_right.x() - top_left.x())) < tolerance * 10 ||
              std::abs((boxed.ymax - boxed.ymin) - (top_left.y() - bottom_right.y())) < tolerance * 10);
  EXPECT_LT(canvas->scale_denominator(), denominator / 2);

  const QPoint middle(canvas->width() / 2, canvas->height() / 2);
  QTest::mousePress(canvas, Qt::LeftButton, {}, middle);
  QTest::mouseMove(canvas, middle + QPoint(50, 0));
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, middle + QPoint(50, 0));
  const gis::MapView panned = canvas->view();
  QWheelEvent wheel(middle, canvas->mapToGlobal(middle), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(canvas, &wheel);
  EXPECT_FALSE(views_equal(canvas->view(), panned));

  QAction* previous = f.window->findChild<QAction*>("previous_view");
  ASSERT_NE(previous, nullptr);
  previous->trigger();
  EXPECT_TRUE(views_equal(canvas->view(), panned));
  previous->trigger();
  EXPECT_TRUE(views_equal(canvas->view(), boxed));
  previous->trigger();
  EXPECT_TRUE(views_equal(canvas->view(), first));
  EXPECT_EQ(scale->text().remove(' ').toStdString(), "1:" + std::to_string(std::llround(denominator)));
  EXPECT_FALSE(canvas->previous_view());
}

// A map in degrees: its scale counts a degree of longitude at the view's middle latitude.
TEST(MapWindow, TheScaleOfAMapInDegrees) {
  test::qt_application();
  std::string error;
  auto document = gis::NewMapDocument("Карта", "EPSG:4326", &error);
  ASSERT_TRUE(document) << error;
  host::MapCanvas canvas;
  canvas.resize(400, 300);
  canvas.set_document(document.get());
  canvas.show_extent(29, 59, 31, 61);  // 2 degrees across 400 pixels, at 60° N
  const gis::MapView v = canvas.view();
  const double expected = 111319.49 * 0.5 * (v.xmax - v.xmin) / v.width * 96 / 0.0254;
  EXPECT_NEAR(canvas.scale_denominator(), expected, expected * 1e-6);
  // No system: no scale.
  auto unknown = gis::NewMapDocument("Карта", "", &error);
  ASSERT_TRUE(unknown) << error;
  canvas.set_document(unknown.get());
  EXPECT_EQ(canvas.scale_denominator(), 0);
}

// The canvas draws its layers at the same time, each on an image of its own, and lays them
// over each other in the map's order: the picture is the one the layers drawn one after
// another on one painter give (antialiased edges may round differently by a step or two).
TEST(MapWindow, LayersDrawnAtTheSameTimeMakeThePictureDrawnInOrder) {
  test::WindowFixture f("layers_at_once");
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  auto mx = document.as<IMxDocument>();
  gis::MapView view = f.window->canvas()->view();
  view.width = 600, view.height = 400;
  // More layers than two cores draw ahead of the one laid on next.
  ASSERT_GT(gis::MapViewDrawing(mx.get(), view).steps(), 4u);

  QImage in_order(600, 400, QImage::Format_RGB32);
  in_order.fill(Qt::white);
  {
    QPainter painter(&in_order);
    host::QtMapPainter map_painter(painter);
    ASSERT_TRUE(gis::DrawFocusMap(mx.get(), view, map_painter));
  }
  QImage at_once(600, 400, QImage::Format_RGB32);
  at_once.fill(Qt::white);
  std::vector<std::string> warnings;
  host::DrawMapView(mx.get(), view, at_once, &warnings);
  EXPECT_TRUE(warnings.empty());

  int differ = 0, most = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 600; ++x) {
      const QRgb a = in_order.pixel(x, y), b = at_once.pixel(x, y);
      if (a == b) continue;
      ++differ;
      most = std::max({most, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
    }
  EXPECT_LT(differ, 600 * 400 / 25);
  EXPECT_LE(most, 8);
  QImage blank(600, 400, QImage::Format_RGB32);
  blank.fill(Qt::white);
  EXPECT_GT(changed_pixels(at_once, blank), 600 * 400 / 50);
}

// A rectangle shown (the whole map, a bookmark's zoom) stays whole and centred when the
// window is resized; once the person has moved the view, a resize keeps its scale instead.
TEST(MapWindow, AShownRectangleStaysWholeWhenTheWindowIsResized) {
  test::WindowFixture f("resized");
  host::MapCanvas* canvas = f.window->canvas();
  const gis::MapView before = canvas->view();
  const double w = before.xmax - before.xmin, h = before.ymax - before.ymin;
  const double e[4] = {before.xmin + w / 4, before.ymin + h / 4, before.xmax - w / 4, before.ymax - h / 4};
  canvas->show_extent(e[0], e[1], e[2], e[3]);
  for (QSize size : {QSize(1400, 500), QSize(600, 900)}) {
    f.window->resize(size);
    QApplication::processEvents();
    const gis::MapView v = canvas->view();
    const double tolerance = w * 1e-9;
    EXPECT_LE(v.xmin, e[0] + tolerance);
    EXPECT_LE(v.ymin, e[1] + tolerance);
    EXPECT_GE(v.xmax, e[2] - tolerance);
    EXPECT_GE(v.ymax, e[3] - tolerance);
    // Filling the canvas one way.
    EXPECT_TRUE(std::abs((v.xmax - v.xmin) - (e[2] - e[0])) < w * 1e-6 ||
                std::abs((v.ymax - v.ymin) - (e[3] - e[1])) < h * 1e-6);
    EXPECT_NEAR((v.xmin + v.xmax) / 2, (e[0] + e[2]) / 2, w * 1e-6);
    EXPECT_EQ(canvas->picture().size(), canvas->size());
  }
  const QPoint at(canvas->width() / 2, canvas->height() / 2);
  QWheelEvent wheel(at, canvas->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                    false);
  QApplication::sendEvent(canvas, &wheel);
  const gis::MapView zoomed = canvas->view();
  const double units_a_pixel = (zoomed.xmax - zoomed.xmin) / zoomed.width;
  f.window->resize(1000, 700);
  QApplication::processEvents();
  const gis::MapView after = canvas->view();
  EXPECT_NEAR((after.xmax - after.xmin) / after.width, units_a_pixel, units_a_pixel * 1e-9);
}

// What the map cannot draw is told in the status bar (a layer whose source is gone), and the
// message goes when the map draws whole again.
TEST(MapWindow, TheStatusBarTellsWhatTheMapCannotDraw) {
  const fs::path folder = test::temp_folder("cannot_draw");
  const std::string rivers = std::string(AREACLIP_SOURCE_DIR) + "/examples/data/rivers.shp";
  std::ofstream(folder / "gone.mxd")
      << R"({"format": "areaclip-map", "version": 1, "focus_map": 0, "maps": [{"name": "Карта",
            "spatial_reference": "EPSG:32636", "layers": [
              {"type": "feature", "name": "Пропавший", "visible": true, "source": {"path": "nowhere.shp", "layer": null}},
              {"type": "feature", "name": "Реки", "visible": true, "source": {"path": ")"
      << rivers << R"(", "layer": null}}], "graphics": {}}]})";
  {
    test::WindowFixture f("cannot_draw_window", (folder / "gone.mxd").string());
    f.window->canvas()->picture();
    const QString message = f.window->statusBar()->currentMessage();
    EXPECT_NE(message.indexOf(QString::fromUtf8("\"Пропавший\" is not drawn")), -1) << message.toStdString();
    find_item(f.window->layers(), "Пропавший")->setCheckState(0, Qt::Unchecked);
    f.window->canvas()->picture();
    EXPECT_EQ(f.window->statusBar()->currentMessage(), QString());
  }
  fs::remove_all(folder);
}

TEST(MapWindow, FileMenuNewOpenAddDataSaveAs) {
  test::WindowFixture f("files");
  const std::string original = bytes_of(test::sample_map());

  // A file that is no map document: a clear message, the shown document stays.
  const fs::path junk = f.folder / "junk.mxd";
  std::ofstream(junk) << "not a map";
  test::QtDriver driver;
  QString message;
  driver.when("the message", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
              [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                message = box->text();
                box->accept();
              });
  EXPECT_FALSE(f.window->open_document(QString::fromStdString(junk.string())));
  EXPECT_TRUE(message.contains("junk.mxd")) << message.toStdString();
  EXPECT_NE(f.window->windowTitle().indexOf("map.mxd"), -1);

  // New: the first template's empty map.
  f.window->new_document();
  EXPECT_NE(f.window->windowTitle().indexOf("Untitled"), -1);
  EXPECT_EQ(find_item(f.window->layers(), "Реки"), nullptr);

  // Add data: a layer for the data set; Save As writes the new document only.
  ASSERT_TRUE(f.window->add_data(QString::fromStdString(std::string(AREACLIP_SOURCE_DIR) + "/examples/data/rivers.shp")));
  ASSERT_EQ(f.window->layers()->topLevelItem(0)->childCount(), 1);
  const fs::path saved = f.folder / "mine.mxd";
  ASSERT_TRUE(f.window->save_document(QString::fromStdString(saved.string())));
  EXPECT_TRUE(fs::exists(saved));
  EXPECT_NE(f.window->windowTitle().indexOf("mine.mxd"), -1);

  // Open brings the sample back, which was never written.
  ASSERT_TRUE(f.window->open_document(QString::fromStdString(test::sample_map())));
  EXPECT_NE(find_item(f.window->layers(), "Реки"), nullptr);
  EXPECT_EQ(bytes_of(test::sample_map()), original);
}

}  // namespace

// Pixels of an icon's 24 x 16 picture that are drawn (not transparent).
int drawn_pixels(const QIcon& icon) {
  const QImage picture = icon.pixmap(24, 16).toImage();
  int n = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) n += picture.pixelColor(x, y).alpha() > 0;
  return n;
}

// The table of contents shows each layer's legend: the symbol of a one-symbol layer beside
// its name, the classes of a classified layer under it, drawn as the map draws them.
TEST(MapWindow, LayersShowTheirLegend) {
  test::WindowFixture f("legend");
  host::LayersTree* tree = f.window->layers();
  QTreeWidgetItem* wells = find_item(tree, "Скважины");  // class breaks on DEPTH, 3 classes
  ASSERT_NE(wells, nullptr);
  ASSERT_EQ(wells->childCount(), 3);
  for (int i = 0; i < 3; ++i) {
    QTreeWidgetItem* entry = wells->child(i);
    EXPECT_FALSE(entry->text(0).isEmpty());
    EXPECT_GT(drawn_pixels(entry->icon(0)), 10) << "class " << i << " has no symbol drawn";
    EXPECT_FALSE(entry->flags() & Qt::ItemIsUserCheckable);  // no visibility box of its own
  }

  QTreeWidgetItem* rivers = find_item(tree, "Реки");  // one line symbol, #2060D0
  ASSERT_NE(rivers, nullptr);
  EXPECT_EQ(rivers->childCount(), 0);
  const QImage swatch = rivers->icon(0).pixmap(24, 16).toImage();
  bool river_blue = false;
  for (int y = 0; y < swatch.height(); ++y)
    for (int x = 0; x < swatch.width(); ++x) {
      const QColor c = swatch.pixelColor(x, y);
      river_blue |= c.alpha() > 200 && std::abs(c.red() - 0x20) < 24 && std::abs(c.green() - 0x60) < 24 &&
                    std::abs(c.blue() - 0xD0) < 24;
    }
  EXPECT_TRUE(river_blue) << "the rivers' swatch is not drawn in their colour";
  // A group has no legend of its own: its children are its layers.
  QTreeWidgetItem* geology = find_item(tree, "Геология");
  ASSERT_NE(geology, nullptr);
  EXPECT_TRUE(geology->icon(0).isNull());
}

// What the display draws on the canvas is drawn in the looks the map draws the same symbol
// in: a polygon's fill inside it and its outline, as wide as the map draws it, on its edge.
TEST(MapWindow, TheDisplayDrawsOnTheCanvasInTheMapsLooks) {
  test::WindowFixture f("display_looks");
  host::MapCanvas* canvas = f.window->canvas();
  canvas->picture();  // the map drawn
  win32::ComPtr<IAppDisplay> display;
  ASSERT_EQ(win32::query<IMxApplication>(f.application.get())->get_Display(display.put()), S_OK);

  auto color = [](LONG rgb) {
    win32::ComPtr<IColor> c;
    EXPECT_EQ(CoCreateInstance(CLSID_RgbColor, nullptr, CLSCTX_ALL, IID_IColor, c.put_void()), S_OK);
    c->put_RGB(rgb);
    return c;
  };
  win32::ComPtr<ISimpleLineSymbol> outline;
  ASSERT_EQ(CoCreateInstance(CLSID_SimpleLineSymbol, nullptr, CLSCTX_ALL, IID_ISimpleLineSymbol, outline.put_void()), S_OK);
  outline->put_Color(color(0x0000FF).get());  // red
  outline->put_Width(6);                        // points: 8 pixels
  win32::ComPtr<ISimpleFillSymbol> fill;
  ASSERT_EQ(CoCreateInstance(CLSID_SimpleFillSymbol, nullptr, CLSCTX_ALL, IID_ISimpleFillSymbol, fill.put_void()), S_OK);
  fill->put_Color(color(0x00FF00).get());  // green
  fill->put_Outline(outline.as<ILineSymbol>().get());

  // A square of 120 pixels in the middle of the view.
  const gis::MapView v = canvas->view();
  const double unit = (v.xmax - v.xmin) / canvas->width(), cx = (v.xmin + v.xmax) / 2, cy = (v.ymin + v.ymax) / 2;
  const double h = 60 * unit;
  char wkt[512];
  std::snprintf(wkt, sizeof wkt, "POLYGON ((%.6f %.6f, %.6f %.6f, %.6f %.6f, %.6f %.6f, %.6f %.6f))", cx - h, cy - h, cx + h,
                cy - h, cx + h, cy + h, cx - h, cy + h, cx - h, cy - h);
  std::string error;
  win32::ComPtr<IGeometry> square = gis::GeometryFromWkt(wkt, nullptr, &error);
  ASSERT_TRUE(square) << error;

  ASSERT_EQ(display->StartDrawing(0, -1), S_OK);
  ASSERT_EQ(display->SetSymbol(fill.as<ISymbol>().get()), S_OK);
  ASSERT_EQ(display->DrawPolygon(square.get()), S_OK);
  ASSERT_EQ(display->FinishDrawing(), S_OK);
  const gis::DrawnSymbol drawn = gis::DisplayCalls(display.get())[1].symbol;
  const gis::Look look = gis::SymbolLook(drawn, 2);
  ASSERT_TRUE(look.has_fill && look.has_stroke);

  const QImage picture = canvas->picture();
  const QPoint middle = canvas->to_pixel(cx, cy).toPoint(), left_edge = canvas->to_pixel(cx - h, cy).toPoint();
  EXPECT_EQ(picture.pixelColor(middle), host::MapColor(look.fill));
  EXPECT_EQ(picture.pixelColor(middle), QColor(0, 255, 0));
  // The outline's colour across its width (8 pixels), the fill's just inside it, the map's
  // just outside it.
  const int half = static_cast<int>(look.stroke_width * gis::kPixelsPerPoint / 2);
  EXPECT_EQ(half, 4);
  for (int dx = -half + 1; dx < half; ++dx) EXPECT_EQ(picture.pixelColor(left_edge + QPoint(dx, 0)), QColor(255, 0, 0)) << dx;
  EXPECT_EQ(picture.pixelColor(left_edge + QPoint(half + 2, 0)), QColor(0, 255, 0));
  EXPECT_NE(picture.pixelColor(left_edge - QPoint(half + 2, 0)), QColor(255, 0, 0));
}

// A raster layer is a step of the canvas's drawing: the sample's relief (one band, no colour
// table) fills the view in greys.
TEST(MapWindow, TheCanvasDrawsARasterLayer) {
  const fs::path folder = test::temp_folder("raster_document");
  const std::string relief = std::string(AREACLIP_SOURCE_DIR) + "/examples/data/relief.asc";
  const std::string document = (folder / "relief.mxd").string();
  std::ofstream(document) << R"({"format": "areaclip-map", "version": 1, "focus_map": 0, "maps": [{"name": "Рельеф",
    "spatial_reference": null, "layers": [{"type": "raster", "name": "Рельеф", "visible": true,
    "source": {"path": ")" << relief << R"("}}], "graphics": {}}]})";
  test::WindowFixture f("raster_layer", document);
  const QImage picture = f.window->canvas()->picture();
  std::set<int> greys;
  for (int y = picture.height() / 4; y < picture.height() * 3 / 4; y += 7)
    for (int x = picture.width() / 4; x < picture.width() * 3 / 4; x += 7) {
      const QColor c = picture.pixelColor(x, y);
      EXPECT_TRUE(c.red() == c.green() && c.green() == c.blue()) << x << "," << y;
      greys.insert(c.red());
    }
  EXPECT_GT(greys.size(), 10u);
  fs::remove_all(folder);
}

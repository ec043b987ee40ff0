// Moving about the map: the scale typed in the status bar, the scale bar, Previous and Next
// view, the keys, zoom to a layer from the table of contents.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTest>

#include <cmath>

#include <gis/document.h>
#include <gis/render.h>

#include "window/command_bar.h"
#include "window/layers_tree.h"
#include "window_fixture.h"

namespace {

bool same(const gis::MapView& a, const gis::MapView& b) {
  const double tolerance = std::max(a.xmax - a.xmin, 1e-9) * 1e-9;
  return std::abs(a.xmin - b.xmin) < tolerance && std::abs(a.ymin - b.ymin) < tolerance &&
         std::abs(a.xmax - b.xmax) < tolerance && std::abs(a.ymax - b.ymax) < tolerance;
}

QPointF centre(const gis::MapView& v) { return {(v.xmin + v.xmax) / 2, (v.ymin + v.ymax) / 2}; }

TEST(Navigation, ScalesAsPeopleTypeThem) {
  const struct {
    const char* text;
    double denominator;
  } cases[] = {
      {"1:50 000", 50000}, {"1:50000", 50000},   {"50000", 50000},      {" 1:25 000 ", 25000},
      {"1:50,000", 50000}, {"1:1 000 000", 1e6}, {"1:2500.5", 2500.5},  {"50\u00A0000", 50000},
      {"", 0},             {"1:", 0},            {"abc", 0},            {"1:0", 0},
      {"-5000", 0},        {"1:-5000", 0},       {"1:50 000 x", 0},     {"2:50000", 0},
      {"inf", 0},          {"nan", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(host::MapCanvas::parse_scale(QString::fromUtf8(c.text)), c.denominator) << c.text;
}

TEST(Navigation, TheScaleBarIsARoundLengthThatFits) {
  const struct {
    double metres_per_pixel, max_pixels;
    double metres;
    const char* text;
  } cases[] = {
      {1, 120, 100, "100 m"},   {10, 120, 1000, "1 km"},  {0.5, 120, 50, "50 m"},  {30, 120, 2000, "2 km"},
      {40, 120, 2000, "2 km"},  {41.7, 120, 5000, "5 km"}, {0.001, 120, 0.1, "10 cm"},
      {1, 100, 100, "100 m"},   // exactly the room there is
      {0, 120, 0, ""},          {-1, 120, 0, ""},
  };
  for (const auto& c : cases) {
    const auto bar = host::MapCanvas::scale_bar(c.metres_per_pixel, c.max_pixels);
    EXPECT_NEAR(bar.metres, c.metres, c.metres * 1e-9) << c.metres_per_pixel;
    EXPECT_EQ(bar.text.toStdString(), c.text) << c.metres_per_pixel;
    EXPECT_LE(bar.pixels, c.max_pixels + 1e-9);
    if (c.metres > 0) {
      EXPECT_GT(bar.pixels, c.max_pixels / 2.5 - 1e-9) << c.metres_per_pixel;  // the longest that fits
    }
  }
}

// The bar shows on the canvas of a map in metres, and not on one of unknown units.
TEST(Navigation, TheCanvasShowsTheScaleBarWhenItsUnitsAreKnown) {
  test::qt_application();
  for (const char* crs : {"EPSG:32636", ""}) {
    SCOPED_TRACE(crs);
    std::string error;
    auto document = gis::NewMapDocument("Карта", crs, &error);
    ASSERT_TRUE(document) << error;
    host::MapCanvas canvas;
    canvas.resize(400, 300);
    canvas.set_document(document.get());
    canvas.show_extent(500000, 6000000, 510000, 6010000);
    const QImage shown = canvas.grab().toImage();
    // The bar's filled half at the lower left.
    const QColor pixel = shown.pixelColor(14, canvas.height() - 17);
    EXPECT_EQ(pixel == QColor(Qt::black), *crs != 0) << pixel.name().toStdString();
  }
}

// The scale typed in the status bar is shown about the view's centre; what is no scale
// changes nothing and says why.
TEST(Navigation, TheScaleTypedInTheStatusBar) {
  test::WindowFixture f("typed_scale");
  host::MapCanvas* canvas = f.window->canvas();
  auto* scale = f.window->findChild<QLineEdit*>("scale");
  ASSERT_NE(scale, nullptr);
  const gis::MapView before = canvas->view();
  scale->setFocus();
  scale->selectAll();
  QTest::keyClicks(scale, "1:50 000");
  QTest::keyClick(scale, Qt::Key_Return);
  EXPECT_NEAR(canvas->scale_denominator(), 50000, 1e-6);
  const gis::MapView at = canvas->view();
  EXPECT_NEAR(centre(at).x(), centre(before).x(), 1e-6);
  EXPECT_NEAR(centre(at).y(), centre(before).y(), 1e-6);
  EXPECT_EQ(scale->text().toStdString(), "1:50 000");
  // Previous view goes back to the view before the scale was typed.
  EXPECT_TRUE(canvas->previous_view());
  EXPECT_TRUE(same(canvas->view(), before));

  for (const char* bad : {"1:0", "fifty", ""}) {
    SCOPED_TRACE(bad);
    const gis::MapView now = canvas->view();
    scale->setFocus();
    EXPECT_FALSE(f.window->set_scale(bad));
    EXPECT_TRUE(same(canvas->view(), now));
    EXPECT_TRUE(f.window->statusBar()->currentMessage().startsWith("Not a scale")) << f.window->statusBar()->currentMessage().toStdString();
    EXPECT_TRUE(scale->text().startsWith("1:"));  // the scale shown again
  }
  // A map of unknown units has no scale to type.
  f.window->new_document();
  EXPECT_FALSE(scale->isEnabled());
  EXPECT_FALSE(f.window->set_scale("1:50 000"));
}

// Previous view and Next view go back and forward; a change of the view forgets the views ahead.
TEST(Navigation, PreviousAndNextView) {
  test::WindowFixture f("next_view");
  host::MapCanvas* canvas = f.window->canvas();
  QAction* previous = f.window->findChild<QAction*>("previous_view");
  QAction* next = f.window->findChild<QAction*>("next_view");
  ASSERT_NE(next, nullptr);
  const gis::MapView first = canvas->view();
  next->trigger();  // nothing ahead
  EXPECT_TRUE(same(canvas->view(), first));
  canvas->zoom(2);
  const gis::MapView second = canvas->view();
  canvas->pan(0.25, 0);
  const gis::MapView third = canvas->view();
  previous->trigger();
  previous->trigger();
  EXPECT_TRUE(same(canvas->view(), first));
  next->trigger();
  EXPECT_TRUE(same(canvas->view(), second));
  next->trigger();
  EXPECT_TRUE(same(canvas->view(), third));
  EXPECT_FALSE(canvas->next_view());
  previous->trigger();
  EXPECT_TRUE(same(canvas->view(), second));
  canvas->zoom(2);  // another way from here
  EXPECT_FALSE(canvas->next_view());
  EXPECT_TRUE(canvas->previous_view());
  EXPECT_TRUE(same(canvas->view(), second));
}

// +, -, the arrows and Home on the canvas, which has the focus when the window opens.
TEST(Navigation, TheKeysZoomAndPan) {
  test::WindowFixture f("keys");
  host::MapCanvas* canvas = f.window->canvas();
  QApplication::setActiveWindow(f.window.get());
  EXPECT_EQ(f.window->focusWidget(), canvas);
  canvas->zoom(4);
  const gis::MapView start = canvas->view();
  const double w = start.xmax - start.xmin, h = start.ymax - start.ymin;
  const struct {
    Qt::Key key;
    double zoom, dx, dy;  // the view's size divided by zoom; its centre moved by dx, dy of it
  } cases[] = {
      {Qt::Key_Plus, 1.25, 0, 0},  {Qt::Key_Equal, 1.25, 0, 0}, {Qt::Key_Minus, 1 / 1.25, 0, 0},
      {Qt::Key_Left, 1, -0.25, 0}, {Qt::Key_Right, 1, 0.25, 0}, {Qt::Key_Up, 1, 0, 0.25},
      {Qt::Key_Down, 1, 0, -0.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    canvas->show_extent(start.xmin, start.ymin, start.xmax, start.ymax);
    QTest::keyClick(canvas, c.key);
    const gis::MapView v = canvas->view();
    EXPECT_NEAR(v.xmax - v.xmin, w / c.zoom, w * 1e-9);
    EXPECT_NEAR(centre(v).x(), centre(start).x() + c.dx * w, w * 1e-9);
    EXPECT_NEAR(centre(v).y(), centre(start).y() + c.dy * h, h * 1e-9);
  }
  canvas->whole_map();
  const gis::MapView whole = canvas->view();
  canvas->zoom(3);
  QTest::keyClick(canvas, Qt::Key_Home);
  EXPECT_TRUE(same(canvas->view(), whole));
}

// A layer's context menu zooms to its data; maps and legend entries have no menu.
TEST(Navigation, ZoomToALayer) {
  test::WindowFixture f("zoom_layer");
  host::LayersTree* tree = f.window->layers();
  QTreeWidgetItem* rivers = tree->findItems(QString::fromUtf8("Реки"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
  ASSERT_NE(rivers, nullptr);
  EXPECT_EQ(tree->menu_for(tree->topLevelItem(0)), nullptr);
  EXPECT_EQ(tree->menu_for(nullptr), nullptr);
  // Switched off, it is zoomed to all the same.
  rivers->setCheckState(0, Qt::Unchecked);
  std::unique_ptr<QMenu> menu(tree->menu_for(rivers));
  ASSERT_NE(menu, nullptr);
  QAction* zoom = menu->findChild<QAction*>("zoom_to_layer");
  ASSERT_NE(zoom, nullptr);
  zoom->trigger();
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  gis::MapView bounds, whole;
  ASSERT_TRUE(gis::LayerBounds(document.as<IMxDocument>().get(), tree->layer_of(rivers), &bounds));
  ASSERT_TRUE(gis::FocusMapBounds(document.as<IMxDocument>().get(), &whole));
  EXPECT_LT(bounds.xmax - bounds.xmin, whole.xmax - whole.xmin);  // a layer, not the map
  const gis::MapView v = f.window->canvas()->view();
  EXPECT_LT(v.xmin, bounds.xmin);
  EXPECT_LT(v.ymin, bounds.ymin);
  EXPECT_GT(v.xmax, bounds.xmax);
  EXPECT_GT(v.ymax, bounds.ymax);
  // Fitted: the layer fills the view across or up and down, with its margin.
  EXPECT_TRUE(std::abs((v.xmax - v.xmin) - (bounds.xmax - bounds.xmin) * 1.08) < (v.xmax - v.xmin) * 1e-6 ||
              std::abs((v.ymax - v.ymin) - (bounds.ymax - bounds.ymin) * 1.08) < (v.ymax - v.ymin) * 1e-6);
}

}  // namespace

namespace {

// The extension's commands are in a menu named after their category too, with their
// captions: the toolbar's own actions (one click, one enabled state).
TEST(Keyboard, TheExtensionsCommandsInAMenu) {
  test::WindowFixture f("extension_menu");
  auto* menu = f.window->findChild<QMenu*>("extension_menu");
  ASSERT_NE(menu, nullptr);
  ASSERT_GT(f.window->commands()->count(), 0);
  EXPECT_EQ(menu->title(), f.window->commands()->windowTitle());
  ASSERT_EQ(menu->actions().size(), f.window->commands()->count());
  for (int i = 0; i < f.window->commands()->count(); ++i) {
    EXPECT_EQ(menu->actions()[i], f.window->commands()->action(i));
    EXPECT_FALSE(menu->actions()[i]->text().isEmpty());
  }
}

}  // namespace

// Map sheets in the window: the grid of a scale over the view, and a sheet found by name.
#include <QMessageBox>
#include <QStatusBar>

#include <gis/sheets.h>

#include "support/qt_driver.h"
#include "window/sheet_grid.h"
#include "window_fixture.h"

namespace {

win32::ComPtr<IMap> focus_map(test::WindowFixture& f) {
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  win32::ComPtr<IMap> map;
  document.as<IMxDocument>()->get_FocusMap(map.put());
  return map;
}

bool holds(const gis::MapView& outer, const gis::MapView& inner) {
  return outer.xmin <= inner.xmin && outer.ymin <= inner.ymin && outer.xmax >= inner.xmax && outer.ymax >= inner.ymax;
}

TEST(SheetGrid, GoToASheetByItsName) {
  test::WindowFixture f("go_to_sheet");
  gis::MapView sheet;
  std::string why;
  ASSERT_TRUE(host::SheetBounds(focus_map(f).get(), "M-36-1-Б", &sheet, &why)) << why;
  EXPECT_TRUE(f.window->go_to_sheet(QString::fromUtf8("M-36-1-Б")));
  const gis::MapView shown = f.window->canvas()->view();
  EXPECT_TRUE(holds(shown, sheet));
  EXPECT_LT(shown.xmax - shown.xmin, (sheet.xmax - sheet.xmin) * 3);  // the sheet fills the view
  // Latin look-alikes are read as the Cyrillic letters: the same sheet.
  gis::MapView cyrillic, latin;
  ASSERT_TRUE(host::SheetBounds(focus_map(f).get(), "M-36-1-А", &cyrillic, &why)) << why;
  ASSERT_TRUE(host::SheetBounds(focus_map(f).get(), "M-36-1-A", &latin, &why)) << why;
  EXPECT_EQ(latin.xmin, cyrillic.xmin);
  EXPECT_EQ(latin.ymax, cyrillic.ymax);

  // A name that is no sheet: the reason, and the view stays.
  test::QtDriver driver;
  QString told;
  driver.when("the reason", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
              [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                told = box->text();
                box->accept();
              });
  EXPECT_FALSE(f.window->go_to_sheet("W-36"));
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_TRUE(told.startsWith("No sheet W-36: ")) << told.toStdString();
  EXPECT_EQ(f.window->canvas()->view().xmin, shown.xmin);
}

TEST(SheetGrid, TheFramesOfAScaleOverTheView) {
  test::WindowFixture f("sheet_grid");
  host::MapCanvas* canvas = f.window->canvas();
  canvas->whole_map();
  f.window->show_sheet_grid(gis::SheetScale::k50000);
  ASSERT_FALSE(canvas->frames().empty());
  bool named = false;
  const gis::MapView v = canvas->view();
  for (const host::MapCanvas::Frame& frame : canvas->frames()) {
    named |= frame.name == QString::fromUtf8("M-36-1-Б");
    gis::MapView b;
    ASSERT_TRUE(host::MapCanvas::bounds_of(frame.shapes, &b));
    EXPECT_TRUE(b.xmax > v.xmin && b.xmin < v.xmax && b.ymax > v.ymin && b.ymin < v.ymax) << frame.name.toStdString();
  }
  EXPECT_TRUE(named);
  QApplication::processEvents();
  test::window_picture("window_sheet_grid", f.window.get());
  // The grid follows the view: zoomed to one sheet, fewer frames.
  const size_t whole = canvas->frames().size();
  ASSERT_TRUE(f.window->go_to_sheet(QString::fromUtf8("M-36-1-Б")));
  canvas->zoom(4);
  EXPECT_LT(canvas->frames().size(), whole);
  EXPECT_GE(canvas->frames().size(), 1u);

  // Too many sheets to read: none, and why.
  canvas->whole_map();
  f.window->show_sheet_grid(gis::SheetScale::k2000);
  EXPECT_TRUE(canvas->frames().empty());
  EXPECT_TRUE(f.window->statusBar()->currentMessage().startsWith("No sheet grid: ")) << f.window->statusBar()->currentMessage().toStdString();
  f.window->show_sheet_grid(std::nullopt);
  EXPECT_TRUE(canvas->frames().empty());
}

}  // namespace

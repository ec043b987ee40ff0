// Cutting by map sheets in the window: a sheet picked on the grid is cut through the
// extension's dialog with its frame chosen, writing what `areaclip cut --sheet` writes; a
// dialog closed without a run takes the frame out of the map again; every sheet of the
// grid's scale is cut in the background, and a cancelled series keeps the sheets it
// finished whole and cuts no more.
#include <algorithm>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <map>
#include <sstream>

#include <gis/document.h>
#include <toolkit/vcl.h>

#include "window/layers_tree.h"
#include "window/map_canvas.h"
#include "window/sheet_series.h"
#include "cut_driver.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;
using test::control;
using test::modal;

using test::bytes_of;
using test::data_files;

long layer_count(test::WindowFixture& f) {
  win32::ComPtr<IDocument> document;
  f.application->get_Document(document.put());
  win32::ComPtr<IMap> map;
  document.as<IMxDocument>()->get_FocusMap(map.put());
  LONG count = 0;
  map->get_LayerCount(&count);
  return count;
}

// The pixel of the canvas at the middle of the grid's frame of `sheet`.
QPoint middle_of(host::MapCanvas* canvas, const char* sheet) {
  for (const host::MapCanvas::Frame& frame : canvas->frames())
    if (frame.name == QString::fromUtf8(sheet)) {
      gis::MapView b;
      host::MapCanvas::bounds_of(frame.shapes, &b);
      return canvas->to_pixel((b.xmin + b.xmax) / 2, (b.ymin + b.ymax) / 2).toPoint();
    }
  ADD_FAILURE() << "no frame " << sheet << " in the grid";
  return {};
}

TEST(SheetCutInWindow, ASheetPickedOnTheGridIsCutAsCutSheetCutsIt) {
  test::WindowFixture f("pick_sheet");
  toolkit_qt::TScreenAgent& agent = *f.agent;
  host::MapCanvas* canvas = f.window->canvas();
  canvas->whole_map();
  f.window->show_sheet_grid(gis::SheetScale::k50000);
  const QPoint pixel = middle_of(canvas, test::kSheet);
  const QPointF point = canvas->to_map(pixel);
  EXPECT_EQ(f.window->sheet_at(point.x(), point.y()), QString::fromUtf8(test::kSheet));
  EXPECT_EQ(f.window->sheet_at(-1e9, -1e9), "");  // outside every frame
  const long layers_before = layer_count(f);

  const fs::path result = f.folder / "лист";
  fs::create_directories(result);
  auto widget = [&](const char* name) { return agent.PeerOf(control(modal(nullptr), name)); };
  test::QtDriver driver;
  QString layer_shown, feature_shown;
  long layers_during = 0;
  driver.when("the cut dialog with the sheet's frame chosen",
              [&] {
                auto* features = qobject_cast<QComboBox*>(widget("f_objects_combo"));
                return modal(test::kCutDialog) && features && features->currentText() == QString::fromUtf8(test::kSheet) &&
                       Application->PendingMessages() == 0;
              },
              [&] {
                layer_shown = qobject_cast<QComboBox*>(widget("f_layers_combo"))->currentText();
                feature_shown = qobject_cast<QComboBox*>(widget("f_objects_combo"))->currentText();
                layers_during = layer_count(f);
              });
  test::drive_folder_and_apply(driver, agent, result);

  // A click on the sheet with "Pick a sheet to cut" on.
  auto* pick = f.window->findChild<QAction*>("pick_sheet");
  ASSERT_NE(pick, nullptr);
  pick->setChecked(true);
  QTest::mouseClick(canvas, Qt::LeftButton, {}, pixel);
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_EQ(Application->ModalForm(), nullptr);
  // The frame was a layer of the map named by the sheet, chosen with its one feature.
  EXPECT_EQ(layer_shown, QString::fromUtf8(test::kSheet));
  EXPECT_EQ(feature_shown, QString::fromUtf8(test::kSheet));
  EXPECT_EQ(layers_during, layers_before + 1);

  // The result is open in the window, and its files are those of `cut --sheet`.
  ASSERT_TRUE(fs::exists(result / "cross.mxd"));
  EXPECT_NE(f.window->windowTitle().indexOf("cross.mxd"), -1) << f.window->windowTitle().toStdString();
  EXPECT_TRUE(f.window->cut_summary_text().startsWith("Cut into " + QString::fromStdString(result.string())))
      << f.window->cut_summary_text().toStdString();
  const fs::path by_command = f.folder / "by_command";
  const std::string command = std::string(AREACLIP_BIN_DIR) + "/areaclip cut '" + test::sample_map() + "' --sheet '" +
                              test::kSheet + "' --folder '" + by_command.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const auto mine = data_files(result), theirs = data_files(by_command);
  EXPECT_EQ(mine.size(), theirs.size());
  EXPECT_TRUE(mine.count(std::string(test::kSheet) + ".shp")) << "the frame is a layer of the result";
  for (const auto& [name, bytes] : theirs) {
    auto it = mine.find(name);
    ASSERT_NE(it, mine.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " differs";
  }
}

TEST(SheetCutInWindow, ADialogClosedWithoutARunTakesTheFrameOutAgain) {
  test::WindowFixture f("pick_sheet_closed");
  const long layers_before = layer_count(f);
  auto widget = [&](const char* name) { return f.agent->PeerOf(control(modal(nullptr), name)); };
  {  // the dialog closed after the sheet was chosen
    test::QtDriver driver;
    driver.when("the sheet chosen",
                [&] {
                  auto* features = qobject_cast<QComboBox*>(widget("f_objects_combo"));
                  return modal(test::kCutDialog) && features && features->currentText() == "M-36-2-А" &&
                         Application->PendingMessages() == 0;
                },
                [&] { QTest::mouseClick(widget("f_close_button"), Qt::LeftButton); });
    // Latin look-alike letters name the same sheet, as on the command line.
    EXPECT_TRUE(f.window->cut_sheet("M-36-2-A"));
    EXPECT_TRUE(driver.done()) << driver.pending();
    EXPECT_EQ(layer_count(f), layers_before);
    EXPECT_FALSE(f.window->isWindowModified());
    EXPECT_EQ(f.window->windowTitle().indexOf("cross.mxd"), -1);
  }

  // A name that is no sheet: the reason, and no dialog.
  test::QtDriver refusal;
  QString told;
  refusal.when("the reason", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
               [&] {
                 auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                 told = box->text();
                 box->accept();
               });
  EXPECT_FALSE(f.window->cut_sheet("M-36-1-Ж"));
  EXPECT_TRUE(refusal.done()) << refusal.pending();
  EXPECT_TRUE(told.startsWith(QString::fromUtf8("No sheet M-36-1-Ж: "))) << told.toStdString();
  EXPECT_EQ(layer_count(f), layers_before);
}

TEST(SheetCutInWindow, ACancelledSeriesKeepsTheSheetsItFinishedWhole) {
  test::WindowFixture f("every_sheet");
  f.window->set_program(QString(AREACLIP_BIN_DIR) + "/areaclip");
  const fs::path folder = f.folder / "листы";
  // No grid: nothing to cut, and why.
  {
    test::QtDriver refusal;
    refusal.when("the reason", [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
                 [] { qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->accept(); });
    EXPECT_EQ(f.window->cut_every_sheet(QString::fromStdString(folder.string())), nullptr);
    EXPECT_TRUE(refusal.done());
  }
  f.window->show_sheet_grid(gis::SheetScale::k50000);
  host::SheetSeries* series = f.window->cut_every_sheet(QString::fromStdString(folder.string()));
  ASSERT_NE(series, nullptr);
  // The window's own event loop runs while the sheets are cut: the progress is seen here.
  std::vector<QString> seen;
  const bool second = QTest::qWaitFor(
      [&] {
        const QString text = series->progress_text();
        if (seen.empty() || seen.back() != text) seen.push_back(text);
        return series->sheet_number() >= 2 || series->finished();
      },
      120000);
  ASSERT_TRUE(second);
  ASSERT_FALSE(series->finished()) << "the run ended before it could be cancelled";
  EXPECT_EQ(series->sheet_count(), 20);
  // The sheets are cut in several processes, each reported as it finishes.
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const QString& text) { return text.startsWith("Sheet ") && text.contains(" of 20: "); }))
      << seen.back().toStdString();
  series->cancel();
  series->cancel();  // once only: a second SIGINT would end the program half way
  ASSERT_TRUE(QTest::qWaitFor([&] { return series->finished(); }, 120000));
  EXPECT_EQ(series->exit_status(), 130) << series->messages().toStdString();
  ASSERT_EQ(series->rows().size(), 20u);
  int whole = 0, left = 0;
  for (const host::SheetSeries::Row& row : series->rows()) {
    SCOPED_TRACE(row.sheet.toStdString() + ": " + row.result.toStdString());
    const fs::path into = folder / row.sheet.toStdString();
    if (row.result == "cut now") {
      ++whole;
      // Finished: its result document, which a cut writes last, reads back with the frame.
      std::string error;
      win32::ComPtr<IMxDocument> document = gis::LoadDocument((into / "cross.mxd").string(), &error);
      ASSERT_TRUE(document) << error;
      EXPECT_TRUE(fs::exists(into / (row.sheet.toStdString() + ".shp")));
      EXPECT_GT(row.features, 0);
    } else {
      ++left;
      EXPECT_TRUE(row.result == "cancelled" || row.result == "not cut");
      EXPECT_FALSE(fs::exists(into)) << "a sheet not cut leaves nothing";
    }
  }
  EXPECT_GE(whole, 1);
  EXPECT_GE(left, 15);
  EXPECT_TRUE(series->headline().startsWith(QString("20 sheets: %1 cut now").arg(whole))) << series->headline().toStdString();
  // The table shows a row per sheet.
  auto* table = series->findChild<QTableWidget*>("sheets_table");
  ASSERT_NE(table, nullptr);
  EXPECT_TRUE(table->isVisible());
  EXPECT_EQ(table->rowCount(), 20);
  for (int r = 0; r < table->rowCount(); ++r) EXPECT_EQ(table->item(r, 1)->text(), series->rows()[r].result) << r;
  EXPECT_EQ(series->findChild<QPushButton*>("cancel_button")->text(), "Close");
  test::window_picture("window_every_sheet", f.window.get(), series);
}

}  // namespace

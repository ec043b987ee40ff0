// A person cuts the sample map in the window: clicks the command on the toolbar, presses
// Apply with nothing chosen (refused with both boxes), picks the sheet in the dialog,
// highlights it and zooms to it on the canvas, tries the folder dialog and cancels it,
// chooses the folder, applies, presses the close box while the run goes on, and gets the
// result map on screen; the files are those `areaclip cut` writes.
#include <chrono>
#include <optional>
#include <thread>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gis/display.h>
#include <gis/document.h>
#include <toolkit/vcl.h>

#include "window/command_bar.h"
#include "window/layers_tree.h"
#include "window/map_canvas.h"
#include "cut_driver.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

using test::choose;
using test::control;
using test::modal;
using test::walk_to;
const char* const kDialog = test::kCutDialog;
const char* const kLayer = test::kSheetsLayer;
const char* const kSheet = test::kSheet;

using test::bytes_of;
using test::data_files;

// The application's clock, a millisecond slower at every look: the sample's few features
// are cut over more of the screen's updates (every 2 ms of the clock), so that the bar is
// seen moving and the dialog can be closed while the run goes on, however fast the cut.
class UnhurriedClock : public TClock {
 public:
  explicit UnhurriedClock(TClock* inner) : inner_(inner) {}
  int64_t NowMs() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return inner_->NowMs();
  }
  void WaitMs(int64_t ms) override { inner_->WaitMs(ms); }

 private:
  TClock* inner_;
};

TEST(CutInWindow, APersonCutsTheSampleToASheet) {
  test::WindowFixture f("cut");
  toolkit_qt::TScreenAgent& agent = *f.agent;
  host::MapCanvas* canvas = f.window->canvas();
  const fs::path result = f.folder / "результат";
  fs::create_directories(result);
  auto widget = [&](const char* name, TForm* form = nullptr) {
    return agent.PeerOf(control(form ? form : modal(nullptr), name));
  };
  auto shown = [&](const char* name) {
    TForm* form = modal(name);
    return form && agent.PeerOf(form) && agent.PeerOf(form)->isVisible();
  };

  test::QtDriver driver;
  // Highlight: the canvas after each drawing call of the display.
  QImage before_flash;
  std::vector<QImage> flashes;
  QPoint inside;  // a pixel inside the sheet
  double sheet[4] = {0, 0, 0, 0};  // its envelope in map units
  // Progress seen on screen during the run, on an unhurried clock from Apply on.
  std::vector<int> progress;
  std::optional<UnhurriedClock> unhurried;
  std::optional<TScopedClock> unhurried_in_use;
  bool closed_during_run = false;
  std::vector<std::string> refusals;  // the boxes of a refused Apply
  driver.watch([&] {
    TForm* dialog = modal(kDialog);
    auto* bar = qobject_cast<QProgressBar*>(dialog ? widget("f_progress_bar", dialog) : nullptr);
    if (bar && bar->isVisible() && (progress.empty() || progress.back() != bar->value())) progress.push_back(bar->value());
  });

  driver
      .when("the cut dialog", [&] { return shown(kDialog) && widget("f_layers_combo"); },
            [&] {
              test::window_picture("window_main", f.window.get());
              EXPECT_TRUE(agent.PeerOf(modal(kDialog))->isModal());
              // Apply with nothing chosen is refused with both boxes, one after the other.
              QTest::mouseClick(widget("f_apply_button"), Qt::LeftButton);
            })
      .when("the first refusal", [&] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
            [&] {
              auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
              refusals.push_back(box->text().toStdString());
              box->button(QMessageBox::Ok)->click();
            })
      .when("the second refusal",
            [&] {
              auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
              return box && box->text().toStdString() != refusals.front();
            },
            [&] {
              auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
              refusals.push_back(box->text().toStdString());
              box->button(QMessageBox::Ok)->click();
            })
      .when("the dialog again", [&] { return QApplication::activeModalWidget() == nullptr || !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
            [&] {
              EXPECT_EQ(refusals, (std::vector<std::string>{"Не задан полигон для вырезания.", "Ошибка при задании параметров."}));
              choose(qobject_cast<QComboBox*>(widget("f_layers_combo")), QString::fromUtf8(kLayer));
            })
      .when("the sheets listed in the feature picker",
            [&] { return qobject_cast<QComboBox*>(widget("f_objects_combo"))->findText(kSheet) >= 0; },
            [&] {
              // Choosing the layer filled the feature picker with its features.
              auto* features = qobject_cast<QComboBox*>(widget("f_objects_combo"));
              EXPECT_GE(features->count(), 6);
              choose(features, kSheet);
            })
      .when("highlight enabled", [&] { return widget("f_highlight_button")->isEnabled(); },
            [&] {
              before_flash = canvas->picture();
              canvas->on_display_drawn = [&] {
                flashes.push_back(canvas->picture());
                if (flashes.size() == 1) test::window_picture("window_highlight", f.window.get(), agent.PeerOf(modal(kDialog)));
              };
              QTest::mouseClick(widget("f_highlight_button"), Qt::LeftButton);
            })
      .when("the flashes drawn", [&] { return flashes.size() >= 2 && modal(kDialog) && Application->PendingMessages() == 0; },
            [&] {
              canvas->on_display_drawn = nullptr;
              // The feature's envelope, from what the display was asked to draw.
              std::vector<gis::DisplayCall> calls;
              win32::ComPtr<IMxApplication> mx = win32::query<IMxApplication>(f.application.get());
              win32::ComPtr<IAppDisplay> display;
              mx->get_Display(display.put());
              for (const auto& call : gis::DisplayCalls(display.get()))
                if (call.kind == gis::DisplayCall::DrawPolygon) calls.push_back(call);
              ASSERT_FALSE(calls.empty());
              sheet[0] = calls[0].xmin, sheet[1] = calls[0].ymin, sheet[2] = calls[0].xmax, sheet[3] = calls[0].ymax;
              inside = canvas->to_pixel((calls[0].xmin + calls[0].xmax) / 2, (calls[0].ymin + calls[0].ymax) / 2).toPoint();
              ASSERT_TRUE(before_flash.rect().contains(inside));
              // Odd drawings show the sheet in XOR over the map, even ones put the map back.
              EXPECT_NE(flashes[0].pixel(inside), before_flash.pixel(inside));
              EXPECT_EQ(flashes[1].pixel(inside), before_flash.pixel(inside));
              EXPECT_TRUE(flashes.back() == before_flash) << "the highlight left pixels changed";
              gis::ClearDisplayCalls(display.get());
              QTest::mouseClick(widget("f_focus_button"), Qt::LeftButton);
            })
      .when("the canvas zoomed to the sheet",
            [&] { return canvas->view().xmax - canvas->view().xmin < 2 * (sheet[2] - sheet[0]); },
            [&] {
              // The sheet lies wholly inside the canvas and fills it in one direction.
              const gis::MapView v = canvas->view();
              const double tolerance = (sheet[2] - sheet[0]) * 1e-6;
              EXPECT_LE(v.xmin, sheet[0] + tolerance);
              EXPECT_LE(v.ymin, sheet[1] + tolerance);
              EXPECT_GE(v.xmax, sheet[2] - tolerance);
              EXPECT_GE(v.ymax, sheet[3] - tolerance);
              const bool fills_width = std::abs((v.xmax - v.xmin) - (sheet[2] - sheet[0])) < tolerance * 10;
              const bool fills_height = std::abs((v.ymax - v.ymin) - (sheet[3] - sheet[1])) < tolerance * 10;
              EXPECT_TRUE(fills_width || fills_height);
              EXPECT_FALSE(canvas->picture() == before_flash);
              QTest::mouseClick(widget("f_choose_button"), Qt::LeftButton);
            })
      .when("the folder dialog", [&] { return modal(nullptr) && modal(nullptr)->Name != kDialog && widget("f_directory_list") && agent.PeerOf(modal(nullptr))->isVisible(); },
            [&] { QTest::mouseClick(widget("f_cancel_button"), Qt::LeftButton); })
      .when("back in the cut dialog", [&] { return shown(kDialog); },
            [&] {
              EXPECT_EQ(qobject_cast<QLineEdit*>(widget("f_path_edit"))->text(), "");  // Cancel kept the path
              QTest::mouseClick(widget("f_choose_button"), Qt::LeftButton);
            })
      .when("the folder dialog again", [&] { return modal(nullptr) && modal(nullptr)->Name != kDialog && widget("f_directory_list") && agent.PeerOf(modal(nullptr))->isVisible(); },
            [&] {
              test::window_picture("window_folder_dialog", f.window.get(), agent.PeerOf(modal(nullptr)));
              test::choose_root(qobject_cast<QComboBox*>(widget("f_drive_combo")));
            });
  walk_to(driver, agent, result);
  driver
      .when("the result folder opened",
            [&] {
              auto* dir = dynamic_cast<TDirectoryListBox*>(control(modal(nullptr), "f_directory_list"));
              return dir && win32::ansi_to_utf8(dir->Directory()) == result.string();
            },
            [&] { QTest::mouseClick(widget("f_ok_button"), Qt::LeftButton); })
      .when("the folder in the dialog",
            [&] { return shown(kDialog) && qobject_cast<QLineEdit*>(widget("f_path_edit"))->text().toStdString() == result.string(); },
            [&] {
              unhurried.emplace(Application->Clock());
              unhurried_in_use.emplace(&*unhurried);
              QTest::mouseClick(widget("f_apply_button"), Qt::LeftButton);
            })
      .when("the run under way", [&] { return progress.size() >= 2 && progress.back() > 0; },
            [&] {
              EXPECT_FALSE(widget("f_apply_button")->isEnabled());
              test::window_picture("window_run", f.window.get(), agent.PeerOf(modal(kDialog)));
              closed_during_run = true;
              agent.PeerOf(modal(kDialog))->close();
            });

  f.window->commands()->action(0)->trigger();
  unhurried_in_use.reset();
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_TRUE(closed_during_run);
  EXPECT_EQ(Application->ModalForm(), nullptr);

  // The bar was seen rising.
  ASSERT_GE(progress.size(), 3u);
  int rises = 0;
  for (size_t i = 1; i < progress.size(); ++i) rises += progress[i] > progress[i - 1];
  EXPECT_GE(rises, 2);

  // The window shows the result document.
  f.window->follow_application();
  EXPECT_NE(f.window->windowTitle().indexOf("cross.mxd"), -1) << f.window->windowTitle().toStdString();
  ASSERT_TRUE(fs::exists(result / "cross.mxd"));
  QApplication::processEvents();
  test::window_picture("window_result", f.window.get());

  // The files are those of `areaclip cut` with the same choices.
  const fs::path by_command = f.folder / "by_command";
  const std::string command = std::string(AREACLIP_BIN_DIR) + "/areaclip cut '" + test::sample_map() + "' --layer '" +
                              kLayer + "' --feature '" + kSheet + "' --folder '" + by_command.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const auto mine = data_files(result), theirs = data_files(by_command);
  ASSERT_FALSE(mine.empty());
  EXPECT_EQ(mine.size(), theirs.size());
  for (const auto& [name, bytes] : theirs) {
    auto it = mine.find(name);
    ASSERT_NE(it, mine.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " differs";
  }
}

// A QGIS project open in the window: its cut writes the result project beside cross.mxd,
// as `areaclip cut` of the project does.
TEST(CutInWindow, TheCutOfAQgisProjectWritesItsResultProject) {
  const fs::path source = test::temp_folder("cut-qgis-source");
  const fs::path project = source / "project.qgs";
  const std::string convert = std::string(AREACLIP_BIN_DIR) + "/areaclip convert '" + test::sample_map() + "' '" +
                              project.string() + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
  test::WindowFixture f("cut-qgis", project.string());
  toolkit_qt::TScreenAgent& agent = *f.agent;
  const fs::path result = f.folder / "результат";
  fs::create_directories(result);
  test::QtDriver driver;
  test::drive_cut(driver, agent, result);

  f.window->commands()->action(0)->trigger();
  EXPECT_TRUE(driver.done()) << driver.pending();
  EXPECT_EQ(Application->ModalForm(), nullptr);
  ASSERT_TRUE(fs::exists(result / "cross.mxd"));
  ASSERT_TRUE(fs::exists(result / "cross.qgs"));
  std::string error;
  ASSERT_TRUE(gis::LoadDocument((result / "cross.qgs").string(), &error)) << error;
  EXPECT_NE(bytes_of(result / "cross.qgs").find("<datasource>./sheets.shp|layername=sheets</datasource>"), std::string::npos);
  fs::remove_all(source);
}

}  // namespace

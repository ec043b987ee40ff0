// What the window remembers from one run to the next: its size and the splitter between the
// table of contents and the map, and the folders chosen last; all in the settings folder
// the fixture gives it, never the user's.
#include <QDockWidget>

#include "window/window_settings.h"
#include "window_fixture.h"

namespace {

namespace fs = std::filesystem;

TEST(WindowSettings, TheWindowComesBackAsItWasLeft) {
  test::WindowFixture f("settings");
  f.window->resize(820, 540);
  auto* dock = f.window->findChild<QDockWidget*>("layers_dock");
  ASSERT_NE(dock, nullptr);
  f.window->resizeDocks({dock}, {330}, Qt::Horizontal);
  QApplication::processEvents();
  const int dock_width = dock->width();
  EXPECT_TRUE(f.window->close());
  EXPECT_TRUE(fs::exists(f.folder / "settings" / "areaclip" / "window.ini"));

  f.window.reset();
  f.window = std::make_unique<host::MapWindow>(f.application.get(), test::module_path());
  f.window->show();
  QApplication::processEvents();
  EXPECT_EQ(f.window->size(), QSize(820, 540));
  EXPECT_EQ(f.window->findChild<QDockWidget*>("layers_dock")->width(), dock_width);
}

TEST(WindowSettings, TheFoldersChosenLastWhileTheyExist) {
  test::WindowFixture f("settings_folders");
  EXPECT_EQ(host::last_folder(host::LastFolder::kResult), "");
  const fs::path result = f.folder / "результат", sheets = f.folder / "листы";
  fs::create_directories(result);
  fs::create_directories(sheets);
  host::remember_folder(host::LastFolder::kResult, QString::fromStdString(result.string()));
  host::remember_folder(host::LastFolder::kSheets, QString::fromStdString(sheets.string()));
  EXPECT_EQ(host::last_folder(host::LastFolder::kResult).toStdString(), result.string());
  EXPECT_EQ(host::last_folder(host::LastFolder::kSheets).toStdString(), sheets.string());
  EXPECT_EQ(host::last_folder(host::LastFolder::kDocument), "");
  fs::remove_all(result);  // gone: not offered any more
  EXPECT_EQ(host::last_folder(host::LastFolder::kResult), "");
}

}  // namespace

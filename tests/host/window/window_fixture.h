// The application window on the sample map, for the window's tests: a temporary registry,
// template folder and settings folder, the application with examples/map.mxd open, the screen agent and the
// window shown (offscreen).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <string>

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSettings>

#include <gis/application.h>
#include <toolkit_qt/screen_agent.h>
#include <win32/text.h>

#include "support/qt_driver.h"
#include "window/map_canvas.h"
#include "window/map_window.h"

namespace test {

// A file's bytes ("" when it cannot be read).
inline std::string bytes_of(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The data files of a result folder (its documents left out), by their path inside it.
inline std::map<std::string, std::string> data_files(const std::filesystem::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() != ".mxd")
      out[std::filesystem::relative(entry.path(), folder).string()] = bytes_of(entry.path());
  return out;
}

inline std::filesystem::path temp_folder(const std::string& name) {
  auto path = std::filesystem::temp_directory_path() / ("areaclip-window-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(path);
  std::filesystem::create_directories(path);
  return path;
}

inline std::string sample_map() { return std::string(AREACLIP_SOURCE_DIR) + "/examples/map.mxd"; }
inline std::string module_path() { return std::string(AREACLIP_BIN_DIR) + "/vot_arcmap_areaclip.so"; }

// With AREACLIP_WINDOW_PICTURES set to a folder (scripts/window-pictures.sh sets it), the
// window as shown, with `over` (a dialog) drawn at its lower left corner, is written there
// as NAME.png.
// Inside a display's drawing the canvas is taken as it is drawn so far.
inline void window_picture(const char* name, host::MapWindow* window, QWidget* over = nullptr) {
  const char* folder = std::getenv("AREACLIP_WINDOW_PICTURES");
  if (!folder || !*folder) return;
  QPixmap picture = window->grab();
  QPainter painter(&picture);
  window->canvas()->picture();  // finished, then shown as the canvas paints it (with its scale bar)
  painter.drawPixmap(window->canvas()->mapTo(window, QPoint(0, 0)), window->canvas()->grab());
  if (over) {
    const QPixmap dialog = over->grab();
    const QPoint at(8, picture.height() - dialog.height() - 28);
    painter.fillRect(QRect(at - QPoint(1, 1), dialog.size() + QSize(2, 2)), Qt::darkGray);
    painter.drawPixmap(at, dialog);
  }
  picture.save(QString::fromUtf8(folder) + "/" + name + ".png");
}

struct WindowFixture {
  std::filesystem::path folder;
  win32::ComPtr<IApplication> application;
  std::unique_ptr<toolkit_qt::TScreenAgent> agent;
  std::unique_ptr<host::MapWindow> window;

  explicit WindowFixture(const std::string& name, const std::string& document = sample_map()) {
    qt_application();
    folder = temp_folder(name);
    setenv("AREACLIP_TEMPLATES", (folder / "templates").c_str(), 1);
    // What the window remembers goes to the test's folder, never the user's settings.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString((folder / "settings").string()));
    application = gis::CreateApplication();
    if (!document.empty()) {
      win32::Bstr path = win32::Bstr::from_utf8(document);
      EXPECT_EQ(application->OpenDocument(path.get()), S_OK);
    }
    agent = std::make_unique<toolkit_qt::TScreenAgent>();
    window = std::make_unique<host::MapWindow>(application.get(), module_path());
    window->resize(1000, 700);
    window->show();
    QApplication::processEvents();
  }
  ~WindowFixture() {
    window.reset();
    agent.reset();
    application.reset();
    std::filesystem::remove_all(folder);
  }
};

}  // namespace test

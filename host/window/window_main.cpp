// The window's entry point, loaded by `areaclip open` from beside the program so that the
// program's other commands never load the window system.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include <toolkit/application.h>
#include <toolkit_qt/screen_agent.h>
#include <gis/application.h>
#include <gis/gis.h>
#include <win32/text.h>

#include "../extension.h"
#include "map_window.h"

// The document to open ("" for a new one) and the file to write the window's picture to
// ("" for none), as `areaclip open` read them. Returns the exit code.
extern "C" __attribute__((visibility("default"))) int areaclip_window_main(const char* document_path,
                                                                            const char* screenshot_path,
                                                                            const char* module_path) {
  const std::string document = document_path, screenshot = screenshot_path;
  int code = 0;
  gis::RegisterClasses();
  win32::ComPtr<IApplication> application = gis::CreateApplication();
  if (!document.empty()) {
    win32::Bstr path = win32::Bstr::from_utf8(std::filesystem::absolute(document).string());
    if (FAILED(application->OpenDocument(path.get()))) {
      const std::string why = host::take_error_description();
      std::fprintf(stderr, "areaclip: cannot open %s%s%s\n", document.c_str(), why.empty() ? "" : ": ", why.c_str());
      return 2;
    }
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if ((!platform || !*platform) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "areaclip: open needs a display (DISPLAY or WAYLAND_DISPLAY is not set; "
                         "QT_QPA_PLATFORM=offscreen draws without one)\n");
    return 2;
  }
  int qt_argc = 1;
  char name[] = "areaclip";
  char* qt_argv[] = {name, nullptr};
  QApplication qt(qt_argc, qt_argv);
  QApplication::setApplicationName("areaclip");
  {
    Application->Title = "areaclip";
    toolkit_qt::TScreenAgent agent;
    host::MapWindow window(application.get(), module_path);
    window.show();
    if (!screenshot.empty()) {
      // The window as the window system shows it, once it has been drawn; then the program ends.
      QTimer::singleShot(500, [&] {
        QImage picture = window.screen()->grabWindow(window.winId()).toImage();
        if (picture.isNull() || picture.width() <= 1) picture = window.grab().toImage();
        if (!picture.save(QString::fromStdString(screenshot))) {
          std::fprintf(stderr, "areaclip: cannot write %s\n", screenshot.c_str());
          code = 1;
        }
        std::printf("window: %s\n", window.windowTitle().toStdString().c_str());
        std::fflush(stdout);
        QApplication::quit();
      });
    }
    const int result = qt.exec();
    if (code == 0) code = result;
  }
  application.reset();
  return code;
}

// Times how soon the application window answers while its canvas draws a large map:
// window_answer DOC [--events N] [--interval MS] [--size WxH] [--module PATH]. The real
// window (host::MapWindow, offscreen) shows the document; its canvas draws the whole map
// again as soon as a drawing ends, so that a drawing is always under way. Meanwhile another
// thread posts mouse moves over the canvas at the interval, as the window system would; each
// is timed from its posting to the end of the window's handling of it (the cursor's map
// coordinates shown in the status bar). Prints one line of JSON: the delay of each event in
// seconds, how many were handled while a drawing was under way, and how many drawings ran.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <QApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTimer>

#include <gis/application.h>
#include <gis/gis.h>
#include <toolkit_qt/screen_agent.h>
#include <win32/text.h>

#include "window/map_canvas.h"
#include "window/map_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes when each posted mouse move is handled by the canvas, and whether a drawing was
// under way then.
class Stopwatch : public QObject {
 public:
  explicit Stopwatch(host::MapCanvas* canvas) : canvas_(canvas) {}

  void posted(QEvent* event, Clock::time_point at) {
    std::lock_guard<std::mutex> hold(lock_);
    pending_[event] = at;
  }
  std::vector<double> delays;
  int while_drawing = 0;

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    if (target != canvas_ || event->type() != QEvent::MouseMove) return false;
    Clock::time_point at;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = pending_.find(event);
      if (it == pending_.end()) return false;
      at = it->second;
      pending_.erase(it);
    }
    const bool drawing = canvas_->drawing();
    static_cast<QObject*>(canvas_)->event(event);  // the canvas's own handling, timed to its end
    delays.push_back(std::chrono::duration<double>(Clock::now() - at).count());
    if (drawing) ++while_drawing;
    return true;
  }

 private:
  host::MapCanvas* canvas_;
  std::mutex lock_;
  std::unordered_map<QEvent*, Clock::time_point> pending_;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string doc, module;
  int events = 30, interval_ms = 80, width = 1200, height = 900;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--events" && more) {
      events = std::atoi(argv[++i]);
    } else if (a == "--interval" && more) {
      interval_ms = std::atoi(argv[++i]);
    } else if (a == "--size" && more) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) return 2;
    } else if (a == "--module" && more) {
      module = argv[++i];
    } else if (doc.empty() && a[0] != '-') {
      doc = a;
    } else {
      std::fprintf(stderr, "usage: window_answer DOC [--events N] [--interval MS] [--size WxH] [--module PATH]\n");
      return 2;
    }
  }
  QApplication qt(argc, argv);
  gis::RegisterClasses();
  win32::ComPtr<IApplication> application = gis::CreateApplication();
  win32::Bstr path = win32::Bstr::from_utf8(std::filesystem::absolute(doc).string());
  if (FAILED(application->OpenDocument(path.get()))) {
    std::fprintf(stderr, "window_answer: cannot open %s\n", doc.c_str());
    return 1;
  }
  int drawings = 0;
  Stopwatch* watch = nullptr;
  {
    toolkit_qt::TScreenAgent agent;
    host::MapWindow window(application.get(), module);
    window.resize(width, height);
    window.show();
    host::MapCanvas* canvas = window.canvas();
    watch = new Stopwatch(canvas);
    canvas->installEventFilter(watch);
    // Each finished drawing starts the next (the layers' kept pictures forgotten).
    auto drawn = canvas->on_map_drawn;
    canvas->on_map_drawn = [&, drawn](const std::vector<std::string>& warnings) {
      if (drawn) drawn(warnings);
      ++drawings;
      QTimer::singleShot(0, canvas, [canvas] { canvas->reload(); });
    };

    std::atomic<bool> stop{false};
    std::thread poster([&] {
      // The first drawing starts once the window is idle; give it that moment.
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      for (int i = 0; i < events && !stop; ++i) {
        const QPointF at(100 + 10 * (i % 50), 100 + 7 * (i % 40));
        auto* move = new QMouseEvent(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier,
                                     QPointingDevice::primaryPointingDevice());
        watch->posted(move, Clock::now());
        QCoreApplication::postEvent(canvas, move);
        std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
      }
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (static_cast<int>(watch->delays.size()) >= events) QApplication::quit();
    });
    check.start(20);
    qt.exec();
    stop = true;
    poster.join();
    canvas->removeEventFilter(watch);
  }
  std::printf("{\"seconds\": [");
  for (size_t i = 0; i < watch->delays.size(); ++i) std::printf("%s%.5f", i ? ", " : "", watch->delays[i]);
  std::printf("], \"while_drawing\": %d, \"drawings\": %d}\n", watch->while_drawing, drawings);
  delete watch;
  application.reset();
  return 0;
}

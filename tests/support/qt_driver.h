// Driving real Qt widgets from inside the toolkit's modal loops (which run the Qt event loop
// through the screen agent): steps run in order, each once its condition holds, from a timer
// of whatever Qt event loop is running (a modal form's wait, message processing during a
// run, a message box). A step that never becomes ready fails the test and cancels the modal
// form, so a broken window ends the test instead of hanging it; so does a message box shown
// after the last step.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <toolkit/application.h>
#include <toolkit/form.h>

namespace test {

// The one QApplication of a test program, on Qt's offscreen platform unless the environment
// names another one (the tests' environment names it too; a test run by hand needs no display).
inline QApplication& qt_application() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "areaclip-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class QtDriver {
 public:
  QtDriver() {
    qt_application();
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start();
  }

  // `act` runs once `ready` holds and every earlier step has run.
  QtDriver& when(std::string what, std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(what), std::move(ready), std::move(act)});
    return *this;
  }
  QtDriver& then(std::string what, std::function<void()> act) {
    return when(std::move(what), [] { return true; }, std::move(act));
  }
  // Runs at every tick, before the steps (for watching a value change).
  void watch(std::function<void()> watcher) { watcher_ = std::move(watcher); }
  bool done() const { return steps_.empty(); }
  const std::string& pending() const {
    static const std::string none = "(none)";
    return steps_.empty() ? none : steps_.front().what;
  }

 private:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };
  void tick() {
    if (running_) return;
    running_ = true;
    if (watcher_) watcher_();
    if (steps_.empty()) {
      // A message box nobody expected would wait for a person for ever.
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
        box->reject();
      }
    } else {
      if (steps_.front().ready()) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        waited_ = 0;
        step.act();
      } else if (++waited_ > kGiveUpTicks) {
        ADD_FAILURE() << "the window never got to: " << steps_.front().what;
        steps_.clear();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
        if (TForm* modal = Application->ModalForm()) modal->ModalResult = mrCancel;
      }
    }
    running_ = false;
  }

  static constexpr int kGiveUpTicks = 4000;
  QTimer timer_;
  std::deque<Step> steps_;
  std::function<void()> watcher_;
  int waited_ = 0;
  bool running_ = false;
};

}  // namespace test

#include "toolkit_qt/screen_agent.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "peers.h"
#include "toolkit/application.h"
#include "toolkit/form.h"

namespace toolkit_qt {

namespace {

// How often message processing during a run pumps the window system (a run processes
// messages after each change of its progress, so every change gets on screen).
constexpr int64_t kPumpEveryMs = 2;

int64_t steady_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// The steady clock, pumping the window system when message processing asks it the time.
class TScreenAgent::PumpingClock : public TClock {
 public:
  explicit PumpingClock(TScreenAgent* agent) : agent_(agent) {}
  int64_t NowMs() override {
    const int64_t now = steady_ms();
    if (now - pumped_ >= kPumpEveryMs) {
      pumped_ = now;
      agent_->Pump();
    }
    return now;
  }
  void WaitMs(int64_t ms) override {
    const int64_t until = steady_ms() + ms;
    for (int64_t now = steady_ms(); now < until; now = steady_ms()) {
      agent_->Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(until - now, 5)));
    }
  }

 private:
  TScreenAgent* agent_;
  int64_t pumped_ = 0;
};

TScreenAgent::TScreenAgent()
    : peers_(std::make_unique<Peers>()),
      clock_(std::make_unique<PumpingClock>(this)),
      soon_(std::make_unique<QTimer>()),
      ticks_(std::make_unique<QTimer>()) {
  previous_agent_ = Application->SetUserAgent(this);
  previous_clock_ = Application->SetClock(clock_.get());
  soon_->setSingleShot(true);
  ticks_->setSingleShot(true);
  QObject::connect(soon_.get(), &QTimer::timeout, [this] { catch_up(); });
  QObject::connect(ticks_.get(), &QTimer::timeout, [this] { catch_up(); });
  listener_ = Application->AddChangeListener([this] { changed(); });
  changed();
}

TScreenAgent::~TScreenAgent() {
  if (Application) {
    Application->RemoveChangeListener(listener_);
    Application->SetClock(previous_clock_);
    Application->SetUserAgent(previous_agent_);
  }
}

void TScreenAgent::changed() {
  if (!soon_->isActive()) soon_->start(0);
  // A modal form waiting for input goes on once there is something for it.
  if (waiting_ && Application) {
    TForm* modal = Application->ModalForm();
    if (Application->PendingMessages() > 0 || (modal && modal->ModalResult != mrNone)) waiting_->quit();
  }
}

void TScreenAgent::catch_up() {
  if (!Application) return;
  // Outside the toolkit's loops its messages and timers are handled here; inside them, by
  // the loops themselves (pumping_: this runs from within one).
  if (!pumping_ && !Application->ModalForm()) {
    pumping_ = true;
    Application->ProcessMessages();
    pumping_ = false;
  }
  Update();
  const int64_t due = Application->NextTimerDue();
  if (due < 0)
    ticks_->stop();
  else
    ticks_->start(static_cast<int>(std::clamp<int64_t>(due - Application->Now(), 0, 1 << 30)));
}

void TScreenAgent::Update() { peers_->update(); }

void TScreenAgent::Pump() {
  if (pumping_) return;
  pumping_ = true;
  Update();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  pumping_ = false;
}

QWidget* TScreenAgent::PeerOf(const TControl* control) const { return peers_->find(control); }

TUserAction TScreenAgent::NextAction(TForm& form) {
  Update();
  TUserAction wait;
  wait.kind = TUserAction::Wait;
  wait.wait_ms = 0;
  if (Application->PendingMessages() > 0 || form.ModalResult != mrNone) return wait;
  // The person's input is posted to the toolkit's queue as it comes (changed() ends the
  // wait); a timer of the toolkit ends it when it is due.
  QEventLoop loop;
  QTimer due;
  due.setSingleShot(true);
  QObject::connect(&due, &QTimer::timeout, &loop, &QEventLoop::quit);
  if (const int64_t at = Application->NextTimerDue(); at >= 0)
    due.start(static_cast<int>(std::clamp<int64_t>(at - Application->Now(), 0, 1 << 30)));
  QEventLoop* outer = waiting_;
  const bool was_pumping = pumping_;
  waiting_ = &loop;
  pumping_ = true;
  loop.exec();
  pumping_ = was_pumping;
  waiting_ = outer;
  return wait;
}

void TScreenAgent::Refused(const TUserAction&, const Exception&) {}

TScreenAgent::BoxWatcher TScreenAgent::WatchBoxes(BoxWatcher watcher) {
  std::swap(box_watcher_, watcher);
  return watcher;
}

int TScreenAgent::AnswerMessageBox(const TMessageBoxInfo& box) {
  if (box_watcher_) box_watcher_(box);
  Update();
  QWidget* parent = QApplication::activeWindow();
  const int answer = ShowMessageBox(box, parent);
  boxes_.push_back({box.CaptionUtf8(), box.TextUtf8(), answer});
  return answer;
}

}  // namespace toolkit_qt

#include "toolkit_qt/screen_agent.h"

#include <chrono>
#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "peers.h"
#include "toolkit/application.h"
#include "toolkit/form.h"

namespace toolkit_qt {

namespace {

// How long a waiting modal loop leaves the window system alone before it lets the toolkit's
// timers tick; how often message processing during a run pumps the window system (a run
// processes messages after each change of its progress, so every change gets on screen);
// how often the widgets follow their controls outside the toolkit's loops.
constexpr int kWaitSliceMs = 20;
constexpr int64_t kPumpEveryMs = 2;
constexpr int kUpdateEveryMs = 15;

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
    : peers_(std::make_unique<Peers>()), clock_(std::make_unique<PumpingClock>(this)), updates_(std::make_unique<QTimer>()) {
  previous_agent_ = Application->SetUserAgent(this);
  previous_clock_ = Application->SetClock(clock_.get());
  // Outside the toolkit's loops (the host's own window loop) the toolkit's messages are
  // processed here, and forms shown or hidden by code appear or go.
  QObject::connect(updates_.get(), &QTimer::timeout, [this] {
    if (pumping_ || !Application) return;
    pumping_ = true;
    if (!Application->ModalForm()) Application->ProcessMessages();
    pumping_ = false;
    Update();
  });
  updates_->start(kUpdateEveryMs);
}

TScreenAgent::~TScreenAgent() {
  if (Application) {
    Application->SetClock(previous_clock_);
    Application->SetUserAgent(previous_agent_);
  }
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

TUserAction TScreenAgent::NextAction(TForm&) {
  Update();
  // The person's input is posted to the toolkit's queue as it comes; the loop comes back to
  // the toolkit with it, or after a slice of time for the timers.
  QEventLoop loop;
  QTimer slice;
  slice.setSingleShot(true);
  QObject::connect(&slice, &QTimer::timeout, &loop, &QEventLoop::quit);
  slice.start(kWaitSliceMs);
  QTimer input;
  QObject::connect(&input, &QTimer::timeout, [&loop] {
    if (Application && Application->PendingMessages() > 0) loop.quit();
  });
  input.start(1);
  pumping_ = true;
  loop.exec();
  pumping_ = false;
  TUserAction wait;
  wait.kind = TUserAction::Wait;
  wait.wait_ms = 0;
  return wait;
}

void TScreenAgent::Refused(const TUserAction&, const Exception&) {}

int TScreenAgent::AnswerMessageBox(const TMessageBoxInfo& box) {
  Update();
  QWidget* parent = QApplication::activeWindow();
  const int answer = ShowMessageBox(box, parent);
  boxes_.push_back({box.CaptionUtf8(), box.TextUtf8(), answer});
  return answer;
}

}  // namespace toolkit_qt

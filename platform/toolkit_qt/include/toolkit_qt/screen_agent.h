// TScreenAgent: the toolkit on screen. While installed, every shown form has a Qt widget per
// control (see peers.h) placed at the rectangle the toolkit's layout computed, and a person
// is the user: clicks, combo choices, typing, opening folders and the close box are posted
// to the toolkit as the user agent's actions are (TApplication::PostClick, PostChoose, …),
// message boxes are QMessageBox with the system's texts and buttons. On a form's window Tab
// follows the controls' TabOrder and its first control has the focus when it shows; Enter
// and Escape press its Default and Cancel buttons (toolkit::KeyButton).
//
// The toolkit tells the agent when it has something to do (TApplication's change
// listeners), and the agent never asks it on a clock: the widgets are brought up to date,
// and outside the toolkit's loops (the host's own Qt event loop) the toolkit's messages are
// processed, once the Qt event loop is idle after a change; a timer of the toolkit ticks
// from a Qt timer set for when it is due.
//
// Modal loops: when a modal form waits, the agent brings the widgets up to date and runs the
// Qt event loop until the person's input is posted, a modal result is set, or a timer of the
// toolkit is due. Message processing during a run (ProcessMessages) asks the toolkit's clock
// for the time; the agent's clock pumps the window system there (at most every few
// milliseconds), so the window repaints, the progress bar moves and the close box is taken
// as a close request, which the toolkit defers until the running handler returns.
//
// Needs a QApplication. Installs itself as the application's user agent and clock for its
// lifetime and puts the previous ones back. Peers never own the controls; a control
// destroyed takes its widget with it at the next update.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/user_agent.h"

class QEventLoop;
class QTimer;
class QWidget;
class TClock;
class TControl;
class TForm;

namespace toolkit_qt {

class Peers;

class TScreenAgent : public TUserAgent {
 public:
  TScreenAgent();
  ~TScreenAgent() override;
  TScreenAgent(const TScreenAgent&) = delete;
  TScreenAgent& operator=(const TScreenAgent&) = delete;

  int AnswerMessageBox(const TMessageBoxInfo& box) override;
  TUserAction NextAction(TForm& form) override;
  // A refused action is dropped: the person tries again.
  void Refused(const TUserAction& action, const Exception& error) override;

  // Brings the widgets of every shown form up to date with their controls.
  void Update();
  // Update, then handles the window system's pending events.
  void Pump();
  // The widget showing `control` (after the last Update), or null.
  QWidget* PeerOf(const TControl* control) const;

  // The message boxes shown, in UTF-8 (for the host's log and tests).
  struct ShownBox {
    std::string caption, text;
    int answer = 0;
  };
  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  // Called as each message box is raised, before it shows: the host notes it while the
  // failure that raised it is still at hand. Returns the watcher it replaces.
  using BoxWatcher = std::function<void(const TMessageBoxInfo& box)>;
  BoxWatcher WatchBoxes(BoxWatcher watcher);

 private:
  class PumpingClock;
  // The toolkit changed: its work is done once the Qt event loop is idle.
  void changed();
  // Processes the toolkit's messages and due timers outside its loops, updates the widgets
  // and sets the timer for the next tick.
  void catch_up();
  std::unique_ptr<Peers> peers_;
  std::unique_ptr<PumpingClock> clock_;
  std::unique_ptr<QTimer> soon_;    // once the event loop is idle after a change
  std::unique_ptr<QTimer> ticks_;   // when the toolkit's next timer is due
  QEventLoop* waiting_ = nullptr;   // a modal form's wait for input
  int listener_ = 0;
  std::vector<ShownBox> boxes_;
  BoxWatcher box_watcher_;
  TUserAgent* previous_agent_ = nullptr;
  TClock* previous_clock_ = nullptr;
  bool pumping_ = false;
};

// The message box as a person sees it: a QMessageBox with the caption and text in UTF-8,
// the box's icon and buttons (the default one focused). Returns the button pressed (IDOK,
// IDNO, …); closing the box answers IDCANCEL when there is such a button, else the default.
int ShowMessageBox(const TMessageBoxInfo& box, QWidget* parent);

}  // namespace toolkit_qt

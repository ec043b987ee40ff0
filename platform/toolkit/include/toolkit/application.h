// TApplication and the global `Application`: the message queue of the (single) user
// interface thread, timers, modal loops, exceptions shown to the user, help requests and
// the user agent.
//
// Messages are what the user does (clicks, combo choices, typing, folder choices, close
// requests), posted by the user agent or by code, plus releases of forms and timer ticks.
// They are dispatched only inside ProcessMessages, HandleMessage and modal loops, one at a
// time and in order; timer ticks are made when the queue is empty and a timer is due.
// Input to a control that is hidden or disabled (or sits on a disabled parent or form) by
// the time it is dispatched is dropped. A close request dispatched while an event handler
// of its form is still running (the handler processes messages itself) waits until the
// outermost such handler has returned. An exception escaping a dispatched handler is shown
// with ShowException and message processing goes on.
//
// Whoever shows the toolkit on a screen is told when it has something to do instead of
// asking (AddChangeListener): a message posted or dispatched, a form shown, hidden or given
// a modal result, a timer set or ticked.
//
// When a modal loop finds nothing to dispatch it asks the user agent to act (see
// toolkit/user_agent.h); without one it uses a terminal agent if standard input and
// standard error are terminals, and otherwise fails with an Exception instead of waiting.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Before MessageBox below: where <windows.h> maps MessageBox to MessageBoxA, it does so for
// every user of this header alike.
#include <windows.h>

#include "toolkit/component.h"
#include "toolkit/user_agent.h"

namespace win32 {
struct MessageBoxRequest;
}

class TForm;
class TTimer;
class TControl;

// The time source for timers: milliseconds on a monotonic clock, and a way to let time pass.
class TClock {
 public:
  virtual ~TClock();
  virtual int64_t NowMs() = 0;
  virtual void WaitMs(int64_t ms) = 0;
};

// A clock that moves only when told (tests): WaitMs advances it.
class TManualClock : public TClock {
 public:
  int64_t NowMs() override { return now_; }
  void WaitMs(int64_t ms) override { now_ += ms; }
  void Advance(int64_t ms) { now_ += ms; }

 private:
  int64_t now_ = 0;
};

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;

  std::string Title = "areaclip";
  // Called by HelpContext; without it there is no help system and HelpContext is false.
  std::function<bool(int context)> OnHelp;

  void ProcessMessages();
  // Dispatches one pending message or due timer tick; false when there was none.
  bool ProcessMessage();
  // One step of a modal loop for `modal_form`: a message, or else the user agent's action.
  void HandleMessage(TForm* modal_form);
  bool Terminated() const { return terminated_; }
  void Terminate() { terminated_ = true; }
  int PendingMessages() const { return static_cast<int>(queue_.size()); }

  // A message box through MessageBoxA (and so through the user agent when one is set).
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
  // Shows an exception's message (Exception::Message, or what()) in a box titled Title,
  // a full stop added when the text does not end with one.
  void ShowException(const std::exception& e);
  // Asks the help system for topic `context`; returns what it answers.
  bool HelpContext(int context);

  // Posting input as the user gives it.
  void PostClick(TControl* control);
  void PostChoose(TControl* combo, int index);
  void PostType(TControl* edit, const std::string& text);
  void PostOpenFolder(TControl* directory_list, const std::string& folder);
  void PostCloseRequest(TForm* form);
  // Posts any message addressed to `target` (dropped if the target is destroyed first).
  void Post(TComponent* target, std::function<void()> message);
  // Carries out a user action on a form: finds its control, checks that it can take the
  // input, and posts the input. Throws Exception when the action is impossible.
  void Perform(TForm& form, const TUserAction& action);

  // Timers use this clock (a steady clock unless replaced); returns the previous one.
  int64_t Now() const;
  TClock* SetClock(TClock* clock);
  TClock* Clock() const { return clock_; }

  // Installs the user agent (null: none) and returns the previous one. While an agent is
  // installed every message box goes to it.
  TUserAgent* SetUserAgent(TUserAgent* agent);
  TUserAgent* UserAgent() const { return agent_; }

  int FormCount() const { return static_cast<int>(forms_.size()); }
  // Shown forms, front-most last.
  TForm* Forms(int index) const { return forms_.at(static_cast<size_t>(index)); }
  // The innermost form shown modally, or null.
  TForm* ModalForm() const { return modal_stack_.empty() ? nullptr : modal_stack_.back(); }

  // Listeners are called on the toolkit's thread, inside the change: they note that there
  // is something to do and do it later, from their own loop. Returns an id for
  // RemoveChangeListener.
  int AddChangeListener(std::function<void()> listener);
  void RemoveChangeListener(int id);
  // Tells the listeners (the toolkit's own classes call it).
  void Changed();
  // When the next timer tick is due, on the application's clock; -1 when no timer runs.
  int64_t NextTimerDue() const;

  // Bookkeeping used by the toolkit's own classes.
  void AddTimer(TTimer* timer);
  void RemoveTimer(TTimer* timer);
  void RemoveMessagesFor(TComponent* target);
  void PostRelease(TForm* form);
  void CancelRelease(TForm* form);
  void FormShown(TForm* form);
  void FormHidden(TForm* form);
  void PushModal(TForm* form);
  void PopModal(TForm* form);

 private:
  struct Message {
    TComponent* target;
    std::function<void()> run;
    bool close_request = false;
    bool release = false;
  };
  void dispatch(Message m);
  TForm* form_of(TComponent* c) const;
  void post_input(TControl* control, std::function<void()> run);

  std::deque<Message> queue_;
  std::vector<TTimer*> timers_;
  std::vector<TForm*> forms_;
  std::vector<TForm*> modal_stack_;
  std::unique_ptr<TClock> steady_clock_;
  TClock* clock_ = nullptr;
  TUserAgent* agent_ = nullptr;
  std::unique_ptr<TUserAgent> terminal_agent_;
  // The message-box handler of the Windows stand-in that was there before (win32::MessageBoxHandler).
  std::function<int(const win32::MessageBoxRequest&)> saved_box_handler_;
  bool box_handler_installed_ = false;
  bool terminated_ = false;
  std::vector<std::pair<int, std::function<void()>>> listeners_;
  int next_listener_ = 0;

  friend class TForm;
};

extern TApplication* Application;

// Installs a user agent for its lifetime, then puts the previous one back.
class TScopedUserAgent {
 public:
  explicit TScopedUserAgent(TUserAgent* agent) : previous_(Application->SetUserAgent(agent)) {}
  ~TScopedUserAgent() { Application->SetUserAgent(previous_); }
  TScopedUserAgent(const TScopedUserAgent&) = delete;
  TScopedUserAgent& operator=(const TScopedUserAgent&) = delete;

 private:
  TUserAgent* previous_;
};

// Uses a clock for its lifetime, then puts the previous one back.
class TScopedClock {
 public:
  explicit TScopedClock(TClock* clock) : previous_(Application->SetClock(clock)) {}
  ~TScopedClock() { Application->SetClock(previous_); }
  TScopedClock(const TScopedClock&) = delete;
  TScopedClock& operator=(const TScopedClock&) = delete;

 private:
  TClock* previous_;
};

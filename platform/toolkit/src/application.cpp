#include "toolkit/application.h"

#include <win32/message_box.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <set>
#include <thread>

#include <windows.h>
#include <win32/text_conversions.h>

#include "toolkit/combo_box.h"
#include "toolkit/control.h"
#include "toolkit/edit.h"
#include "toolkit/exception.h"
#include "toolkit/file_controls.h"
#include "toolkit/form.h"
#include "toolkit/terminal_agent.h"
#include "toolkit/timer.h"

namespace {

class SteadyClock : public TClock {
 public:
  int64_t NowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void WaitMs(int64_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

TApplication g_application;

std::string form_label(const TForm& form) {
  return "'" + (form.Name.empty() ? win32::ansi_to_utf8(form.Caption()) : form.Name) + "'";
}

}  // namespace

TApplication* Application = &g_application;

TClock::~TClock() = default;

TApplication::TApplication() : TComponent(nullptr), steady_clock_(std::make_unique<SteadyClock>()) {
  clock_ = steady_clock_.get();
}

TApplication::~TApplication() {
  listeners_.clear();
  BeginDestroy();
  if (box_handler_installed_) win32::SetMessageBoxHandler(std::move(saved_box_handler_));
  box_handler_installed_ = false;
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  queue_.clear();
  if (Application == this) Application = nullptr;
}

int64_t TApplication::Now() const { return clock_->NowMs(); }

TClock* TApplication::SetClock(TClock* clock) {
  TClock* previous = clock_ == steady_clock_.get() ? nullptr : clock_;
  clock_ = clock ? clock : steady_clock_.get();
  return previous;
}

TUserAgent* TApplication::SetUserAgent(TUserAgent* agent) {
  TUserAgent* previous = agent_;
  agent_ = agent;
  if (agent && !box_handler_installed_) {
    saved_box_handler_ = win32::SetMessageBoxHandler([this](const win32::MessageBoxRequest& request) {
      TMessageBoxInfo box;
      box.owner = request.owner;
      box.caption = request.caption;
      box.text = request.text;
      box.type = request.type;
      box.buttons = win32::MessageBoxButtons(request.type);
      box.default_button = win32::MessageBoxDefaultButton(request.type);
      box.icon = request.type & MB_ICONMASK;
      box.modality = request.type & MB_MODEMASK;
      if (!agent_) return box.default_button;
      int answer = agent_->AnswerMessageBox(box);
      return std::find(box.buttons.begin(), box.buttons.end(), answer) == box.buttons.end() ? box.default_button
                                                                                            : answer;
    });
    box_handler_installed_ = true;
  } else if (!agent && box_handler_installed_) {
    win32::SetMessageBoxHandler(std::move(saved_box_handler_));
    saved_box_handler_ = nullptr;
    box_handler_installed_ = false;
  }
  return previous;
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), flags);
}

void TApplication::ShowException(const std::exception& e) {
  const auto* ex = dynamic_cast<const Exception*>(&e);
  std::string text = ex ? ex->Message : e.what();
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  MessageBox(text, Title, MB_OK | MB_ICONERROR);
}

bool TApplication::HelpContext(int context) { return OnHelp ? OnHelp(context) : false; }

void TApplication::Post(TComponent* target, std::function<void()> message) {
  queue_.push_back(Message{target, std::move(message)});
  Changed();
}

void TApplication::post_input(TControl* control, std::function<void()> run) {
  queue_.push_back(Message{control, [control, run = std::move(run)] {
                             if (control->Showing() && control->IsEnabledForInput()) run();
                           }});
  Changed();
}

int TApplication::AddChangeListener(std::function<void()> listener) {
  listeners_.emplace_back(++next_listener_, std::move(listener));
  return next_listener_;
}

void TApplication::RemoveChangeListener(int id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void TApplication::Changed() {
  // A copy: a listener may remove itself.
  const auto listeners = listeners_;
  for (const auto& [id, listener] : listeners) listener();
}

int64_t TApplication::NextTimerDue() const {
  int64_t due = -1;
  for (TTimer* timer : timers_)
    if (timer->Enabled && timer->Interval > 0 && timer->OnTimer && (due < 0 || timer->NextDue() < due))
      due = timer->NextDue();
  return due;
}

void TApplication::PostClick(TControl* control) {
  post_input(control, [control] { control->Click(); });
}

void TApplication::PostChoose(TControl* combo, int index) {
  auto* box = dynamic_cast<TComboBox*>(combo);
  if (!box) throw Exception("'" + combo->Name + "' is not a combo box");
  post_input(combo, [box, index] { box->UserChoose(index); });
}

void TApplication::PostType(TControl* edit, const std::string& text) {
  auto* box = dynamic_cast<TEdit*>(edit);
  if (!box) throw Exception("'" + edit->Name + "' is not an edit");
  post_input(edit, [box, text] { box->UserType(text); });
}

void TApplication::PostOpenFolder(TControl* directory_list, const std::string& folder) {
  auto* list = dynamic_cast<TDirectoryListBox*>(directory_list);
  if (!list) throw Exception("'" + directory_list->Name + "' is not a directory list");
  post_input(directory_list, [list, folder] { list->UserOpen(folder); });
}

void TApplication::PostCloseRequest(TForm* form) {
  Message m{form, [form] {
              if (form->IsEnabledForInput()) form->Close();
            }};
  m.close_request = true;
  queue_.push_back(std::move(m));
  Changed();
}

void TApplication::PostRelease(TForm* form) {
  Message m{form, [form] { delete form; }};
  m.release = true;
  queue_.push_back(std::move(m));
  Changed();
}

void TApplication::CancelRelease(TForm* form) {
  std::erase_if(queue_, [form](const Message& m) { return m.release && m.target == form; });
}

void TApplication::RemoveMessagesFor(TComponent* target) {
  std::erase_if(queue_, [target](const Message& m) { return m.target == target; });
}

TForm* TApplication::form_of(TComponent* c) const {
  if (auto* control = dynamic_cast<TControl*>(c)) return control->ParentForm();
  for (TComponent* o = c; o; o = o->Owner())
    if (auto* f = dynamic_cast<TForm*>(o)) return f;
  return nullptr;
}

void TApplication::dispatch(Message m) {
  // Whatever the message did, the screen has it to show.
  struct Tell {
    TApplication* application;
    ~Tell() { application->Changed(); }
  } tell{this};
  if (m.release) {
    m.run();
    return;
  }
  TForm* form = form_of(m.target);
  if (m.close_request && form && form->handler_depth_ > 0) {
    form->deferred_close_ = true;
    return;
  }
  std::weak_ptr<void> alive = form ? form->Liveness() : std::weak_ptr<void>();
  if (form) ++form->handler_depth_;
  try {
    m.run();
  } catch (const std::exception& e) {
    ShowException(e);
  }
  if (!form || alive.expired()) return;
  if (--form->handler_depth_ == 0 && form->deferred_close_) {
    form->deferred_close_ = false;
    // A result decided by the handler stands; the request only closes a form still open.
    if (!form->modal_ || form->ModalResult == mrNone) {
      try {
        form->Close();
      } catch (const std::exception& e) {
        ShowException(e);
      }
    }
  }
}

bool TApplication::ProcessMessage() {
  if (!queue_.empty()) {
    Message m = std::move(queue_.front());
    queue_.pop_front();
    dispatch(std::move(m));
    return true;
  }
  const int64_t now = Now();
  for (TTimer* timer : timers_) {
    if (!timer->Due(now)) continue;
    dispatch(Message{timer, [timer, now] { timer->Tick(now); }});
    return true;
  }
  return false;
}

void TApplication::ProcessMessages() {
  std::set<TTimer*> ticked;  // each timer ticks at most once per call
  for (;;) {
    if (!queue_.empty()) {
      ProcessMessage();
      continue;
    }
    const int64_t now = Now();
    TTimer* due = nullptr;
    for (TTimer* timer : timers_)
      if (!ticked.count(timer) && timer->Due(now)) {
        due = timer;
        break;
      }
    if (!due) return;
    ticked.insert(due);
    dispatch(Message{due, [due, now] { due->Tick(now); }});
  }
}

void TApplication::HandleMessage(TForm* modal_form) {
  if (ProcessMessage() || !modal_form) return;
  TUserAgent* agent = agent_;
  if (!agent) {
    if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO))
      throw Exception("The form " + form_label(*modal_form) +
                      " waits for the user, but no user agent is installed and there is no terminal");
    if (!terminal_agent_) terminal_agent_ = std::make_unique<TTerminalAgent>(std::cin, std::cerr);
    agent = terminal_agent_.get();
  }
  const TUserAction action = agent->NextAction(*modal_form);
  try {
    Perform(*modal_form, action);
  } catch (const Exception& e) {
    agent->Refused(action, e);
  }
}

void TApplication::Perform(TForm& form, const TUserAction& action) {
  if (!action.form.empty() && action.form != form.Name)
    throw Exception("The user meant to " + action.Describe() + " in form '" + action.form + "', but form " +
                    form_label(form) + " is waiting");
  if (action.kind == TUserAction::Close) {
    PostCloseRequest(&form);
    return;
  }
  if (action.kind == TUserAction::Wait) {
    clock_->WaitMs(action.wait_ms);
    return;
  }
  TControl* control = toolkit::FindControl(&form, action.target);
  const std::string what = action.Describe() + " in form " + form_label(form);
  if (!control) throw Exception("Cannot " + what + ": there is no such control");
  if (!control->Showing()) throw Exception("Cannot " + what + ": the control is hidden");
  if (!control->IsEnabledForInput()) throw Exception("Cannot " + what + ": the control is disabled");
  switch (action.kind) {
    case TUserAction::Click: PostClick(control); break;
    case TUserAction::Choose: {
      auto* combo = dynamic_cast<TComboBox*>(control);
      if (!combo) throw Exception("Cannot " + what + ": it is not a combo box");
      int index = action.value.empty() ? action.index : combo->Items->IndexOf(action.value);
      if (index < 0 || index >= combo->Items->Count()) {
        std::string entries;
        for (const std::string& item : combo->Items->List())
          entries += (entries.empty() ? "'" : ", '") + win32::ansi_to_utf8(item) + "'";
        throw Exception("Cannot " + what + ": no such entry; the entries are " +
                        (entries.empty() ? std::string("none") : entries));
      }
      PostChoose(combo, index);
      break;
    }
    case TUserAction::Type: {
      auto* edit = dynamic_cast<TEdit*>(control);
      if (!edit) throw Exception("Cannot " + what + ": it is not an edit");
      if (edit->ReadOnly) throw Exception("Cannot " + what + ": the edit is read-only");
      PostType(edit, action.value);
      break;
    }
    case TUserAction::OpenFolder: PostOpenFolder(control, action.value); break;
    default: break;
  }
}

void TApplication::AddTimer(TTimer* timer) { timers_.push_back(timer); }
void TApplication::RemoveTimer(TTimer* timer) { std::erase(timers_, timer); }

void TApplication::FormShown(TForm* form) {
  std::erase(forms_, form);
  forms_.push_back(form);
  Changed();
}

void TApplication::FormHidden(TForm* form) {
  std::erase(forms_, form);
  Changed();
}

void TApplication::PushModal(TForm* form) {
  modal_stack_.push_back(form);
  Changed();
}

void TApplication::PopModal(TForm* form) {
  std::erase(modal_stack_, form);
  Changed();
}

#include "toolkit/user_agent.h"

#include <win32/text_conversions.h>

#include "toolkit/exception.h"
#include "toolkit/form.h"
#include "toolkit/scripted_agent.h"

TUserAgent::~TUserAgent() = default;

void TUserAgent::Refused(const TUserAction&, const Exception& error) { throw error; }

std::string TMessageBoxInfo::CaptionUtf8() const { return win32::ansi_to_utf8(caption); }
std::string TMessageBoxInfo::TextUtf8() const { return win32::ansi_to_utf8(text); }

std::string TUserAction::Describe() const {
  const std::string t = "'" + win32::ansi_to_utf8(target) + "'";
  const std::string v = "'" + win32::ansi_to_utf8(value) + "'";
  switch (kind) {
    case Click: return "click " + t;
    case Choose: return "choose " + (value.empty() ? "entry " + std::to_string(index) : v) + " in " + t;
    case Type: return "type " + v + " into " + t;
    case OpenFolder: return "open folder " + v + " in " + t;
    case Close: return "close the form";
    case Wait: return "wait " + std::to_string(wait_ms) + " ms";
  }
  return "act";
}

namespace {
TUserAction make_action(TUserAction::Kind kind, const std::string& target = {}, const std::string& value = {},
                        int index = -1) {
  TUserAction a;
  a.kind = kind;
  a.target = target;
  a.value = value;
  a.index = index;
  return a;
}
}  // namespace

TScriptedAgent& TScriptedAgent::Act(TUserAction action) {
  steps_.push_back(Step{std::move(action), nullptr});
  return *this;
}

TScriptedAgent& TScriptedAgent::Click(const std::string& target) {
  return Act(make_action(TUserAction::Click, target));
}

TScriptedAgent& TScriptedAgent::Choose(const std::string& target, const std::string& entry) {
  return Act(make_action(TUserAction::Choose, target, entry));
}

TScriptedAgent& TScriptedAgent::ChooseIndex(const std::string& target, int index) {
  return Act(make_action(TUserAction::Choose, target, "", index));
}

TScriptedAgent& TScriptedAgent::Type(const std::string& target, const std::string& text) {
  return Act(make_action(TUserAction::Type, target, text));
}

TScriptedAgent& TScriptedAgent::OpenFolder(const std::string& target, const std::string& folder) {
  return Act(make_action(TUserAction::OpenFolder, target, folder));
}

TScriptedAgent& TScriptedAgent::Close() { return Act(make_action(TUserAction::Close)); }

TScriptedAgent& TScriptedAgent::Wait(int64_t ms) {
  TUserAction a = make_action(TUserAction::Wait);
  a.wait_ms = ms;
  return Act(a);
}

TScriptedAgent& TScriptedAgent::Call(std::function<void(TForm&)> step) {
  steps_.push_back(Step{TUserAction(), std::move(step)});
  return *this;
}

TScriptedAgent& TScriptedAgent::Answer(int button) {
  answers_.push_back(button);
  return *this;
}

int TScriptedAgent::AnswerMessageBox(const TMessageBoxInfo& box) {
  int answer = box.default_button;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  boxes_.push_back(ShownBox{box.caption, box.text, box.CaptionUtf8(), box.TextUtf8(), box.type, answer});
  return answer;
}

TUserAction TScriptedAgent::NextAction(TForm& form) {
  while (!steps_.empty()) {
    Step step = std::move(steps_.front());
    steps_.pop_front();
    if (!step.call) return step.action;
    step.call(form);
  }
  throw Exception("The scripted user has nothing left to do, but form '" +
                  (form.Name.empty() ? win32::ansi_to_utf8(form.Caption()) : form.Name) + "' waits for input");
}

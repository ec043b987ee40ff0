// A user agent that follows a script: actions in order, one each time a modal form waits,
// and answers to message boxes in order (a box without a scripted answer gets its default
// button). Every box shown is recorded. A form that waits after the script has run out is
// an Exception, so a wrong script fails instead of hanging.
//
//   TScriptedAgent user;
//   user.OpenFolder("f_directory_list", "data").Click("f_ok_button").Answer(IDOK);
//   TScopedUserAgent use(&user);
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/user_agent.h"

class TScriptedAgent : public TUserAgent {
 public:
  struct ShownBox {
    std::string caption;  // ANSI
    std::string text;     // ANSI
    std::string caption_utf8;
    std::string text_utf8;
    UINT type;
    int answer;
  };

  TScriptedAgent& Click(const std::string& target);
  TScriptedAgent& Choose(const std::string& target, const std::string& entry);
  TScriptedAgent& ChooseIndex(const std::string& target, int index);
  TScriptedAgent& Type(const std::string& target, const std::string& text);
  TScriptedAgent& OpenFolder(const std::string& target, const std::string& folder);
  TScriptedAgent& Close();
  TScriptedAgent& Wait(int64_t ms);
  TScriptedAgent& Act(TUserAction action);
  // Runs `step` on the waiting form when its turn comes (to look at the form, or to do
  // something a user action cannot); the next step follows at once.
  TScriptedAgent& Call(std::function<void(TForm&)> step);
  // The answer to the next message box not answered yet.
  TScriptedAgent& Answer(int button);

  const std::vector<ShownBox>& Boxes() const { return boxes_; }
  int PendingSteps() const { return static_cast<int>(steps_.size()); }
  int PendingAnswers() const { return static_cast<int>(answers_.size()); }

  int AnswerMessageBox(const TMessageBoxInfo& box) override;
  TUserAction NextAction(TForm& form) override;

 private:
  struct Step {
    TUserAction action;
    std::function<void(TForm&)> call;
  };
  std::deque<Step> steps_;
  std::deque<int> answers_;
  std::vector<ShownBox> boxes_;
};

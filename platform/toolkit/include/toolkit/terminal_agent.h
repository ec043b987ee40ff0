// A user agent for a person at a terminal: it prints the waiting form (its controls with
// their names, texts, entries and states, in UTF-8) and reads commands, one a line:
//
//   click TARGET            choose TARGET ENTRY       type TARGET TEXT
//   open TARGET FOLDER      close                     wait MS
//   show                    (print the form again)
//
// TARGET is a control's name or caption; a word with spaces is written in double quotes;
// the rest of the line is the entry, text or folder. Message boxes are printed and answered
// by the first letter of a button, Enter taking the default. Input is UTF-8 and converted
// to the ANSI code page. The end of input ends the modal loop with an Exception (boxes then
// get their default button).
#pragma once

#include <istream>
#include <ostream>

#include "toolkit/user_agent.h"

class TTerminalAgent : public TUserAgent {
 public:
  TTerminalAgent(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  int AnswerMessageBox(const TMessageBoxInfo& box) override;
  TUserAction NextAction(TForm& form) override;
  // Prints why and asks again.
  void Refused(const TUserAction& action, const Exception& error) override;

 private:
  std::istream& in_;
  std::ostream& out_;
};

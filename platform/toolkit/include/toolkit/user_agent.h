// The user agent: whoever plays the user of the dialogs. It answers every message box and,
// when a modal form waits for input, says what the user does next. Tests script it
// (toolkit/scripted_agent.h), a person answers through a terminal
// (toolkit/terminal_agent.h), the host builds one from its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>

#include "toolkit/exception.h"

class TForm;

// A message box as shown: texts are ANSI (the process code page).
struct TMessageBoxInfo {
  HWND owner = nullptr;
  std::string caption;
  std::string text;
  UINT type = 0;                // the MB_ flags
  std::vector<int> buttons;     // IDOK, IDCANCEL, ... in display order
  int default_button = 0;       // the one Enter presses
  UINT icon = 0;                // MB_ICONxxx or 0
  UINT modality = 0;            // MB_APPLMODAL, MB_SYSTEMMODAL or MB_TASKMODAL
  std::string CaptionUtf8() const;
  std::string TextUtf8() const;
};

// One thing the user does on the waiting form. Controls are named by their Name or, when
// no control has that name, by their caption (ANSI text).
struct TUserAction {
  enum Kind {
    Click,       // click the control
    Choose,      // choose an entry of a combo box: by its text (value) or by index
    Type,        // replace the text of an edit by value
    OpenFolder,  // in a directory list: open the subfolder value, ".." or the full path value
    Close,       // the form's close box
    Wait,        // let wait_ms milliseconds pass (timers may become due)
  };
  Kind kind = Click;
  std::string target;
  std::string value;
  int index = -1;
  int64_t wait_ms = 0;
  // When set, the action is meant for the form of this Name; another waiting form is an error.
  std::string form;

  // A short UTF-8 description for messages ("click 'f_apply_button'").
  std::string Describe() const;
};

class TUserAgent {
 public:
  virtual ~TUserAgent();
  // The button (IDOK, IDYES, ...) the user presses; it must be one of box.buttons.
  virtual int AnswerMessageBox(const TMessageBoxInfo& box) = 0;
  // What the user does next on `form`, a modal form with nothing left to process. Throwing
  // ends the modal loop with that exception.
  virtual TUserAction NextAction(TForm& form) = 0;
  // The action could not be carried out (no such control, disabled, no such entry...).
  // By default this ends the modal loop with `error`; an agent may instead carry on.
  virtual void Refused(const TUserAction& action, const Exception& error);
};

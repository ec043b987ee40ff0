// TEdit: a one-line text field. OnChange follows every change of Text, by the user or
// by the program (as VCL's edit does); a read-only edit refuses the user's typing.
#pragma once

#include "toolkit/control.h"

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* AOwner);

  bool ReadOnly = false;
  int MaxLength = 0;
  TNotifyEvent OnChange;

  // The user replaces the text (refused for a read-only or disabled edit).
  void UserType(const std::string& text);

 protected:
  void TextChanged() override;
};

// TButton: a push button. A click performs OnClick; a button with a ModalResult also
// sets its form's ModalResult, which ends the form's modal display.
#pragma once

#include "toolkit/control.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);

  TModalResult ModalResult = mrNone;
  // Enter on the form presses its Default button, Escape its Cancel button (KeyButton).
  bool Default = false;
  bool Cancel = false;

  void Click() override;
};

namespace toolkit {
// The button Enter (enter) or Escape (!enter) presses on `form`: its first showing, enabled
// Default (or Cancel) button in tab order; null when it declares none.
TButton* KeyButton(TWinControl* form, bool enter);
}  // namespace toolkit

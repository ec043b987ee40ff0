// TButton: a push button. A click performs OnClick; a button with a ModalResult also
// sets its form's ModalResult, which ends the form's modal display.
#pragma once

#include "toolkit/control.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);

  TModalResult ModalResult = mrNone;
  bool Default = false;
  bool Cancel = false;

  void Click() override;
};

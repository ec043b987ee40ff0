#include "toolkit/button.h"

#include "toolkit/form.h"

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* form = ParentForm()) form->ModalResult = ModalResult;
  TWinControl::Click();
}

namespace toolkit {

TButton* KeyButton(TWinControl* form, bool enter) {
  for (TWinControl* control : TabOrdered(form))
    if (auto* button = dynamic_cast<TButton*>(control);
        button && (enter ? button->Default : button->Cancel) && button->Showing() && button->Enabled)
      return button;
  return nullptr;
}

}  // namespace toolkit

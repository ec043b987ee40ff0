#include "toolkit/button.h"

#include "toolkit/form.h"

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
  if (ModalResult != mrNone)
    if (TForm* form = ParentForm()) form->ModalResult = ModalResult;
  TWinControl::Click();
}

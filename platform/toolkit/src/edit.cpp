#include "toolkit/edit.h"

#include "toolkit/exception.h"

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 21);
  Color = clWindow;
}

void TEdit::UserType(const std::string& text) {
  if (ReadOnly) throw Exception("The edit '" + Name + "' is read-only");
  Text = MaxLength > 0 && static_cast<int>(text.size()) > MaxLength ? text.substr(0, MaxLength) : text;
}

void TEdit::TextChanged() {
  if (OnChange && !Destroying()) OnChange(this);
}

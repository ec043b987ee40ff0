#include "toolkit/combo_box.h"

#include "toolkit/exception.h"

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 145, 21);
  Color = clWindow;
  items_.OnChange = [this] {
    if (item_index_ >= items_.Count()) item_index_ = -1;
  };
}

void TComboBox::SetItemIndex(int v) {
  if (v < -1 || v >= items_.Count())
    throw Exception("Combo box '" + Name + "': item index " + std::to_string(v) + " out of bounds");
  item_index_ = v;
  tell_screen();
}

void TComboBox::UserChoose(int index) {
  SetItemIndex(index);
  Change();
}

void TComboBox::Change() {
  if (OnChange) OnChange(this);
}

std::string TComboBox::GetText() const {
  if (item_index_ >= 0) return items_.Strings(item_index_);
  return style_ == csDropDownList ? std::string() : text_;
}

void TComboBox::SetText(std::string value) {
  int index = items_.IndexOf(value);
  if (index >= 0) {
    item_index_ = index;
  } else {
    item_index_ = -1;
    if (style_ != csDropDownList) text_ = std::move(value);
  }
}

// TComboBox: a list of texts of which one is shown. With the csDropDownList style only
// listed entries can be chosen and Text is the chosen entry. OnChange fires only when the
// user chooses an entry, never when the program sets ItemIndex or changes Items.
#pragma once

#include "toolkit/control.h"
#include "toolkit/strings.h"

class TComboBox : public TWinControl {
 public:
  explicit TComboBox(TComponent* AOwner);

  toolkit::Property<TComboBox, TComboBoxStyle> Style{this, &TComboBox::GetStyle, &TComboBox::SetStyle};
  TStrings* const Items = &items_;
  // The chosen entry, -1 for none. Clearing Items resets it to -1.
  toolkit::Property<TComboBox, int> ItemIndex{this, &TComboBox::GetItemIndex, &TComboBox::SetItemIndex};
  bool Sorted = false;
  int DropDownCount = 8;
  TNotifyEvent OnChange;

  // The user chooses entry `index`: ItemIndex changes, then OnChange.
  void UserChoose(int index);

 protected:
  // The user changed the choice: fires OnChange.
  virtual void Change();
  std::string GetText() const override;
  void SetText(std::string value) override;

 private:
  TComboBoxStyle GetStyle() const { return style_; }
  void SetStyle(TComboBoxStyle v) { style_ = v; }
  int GetItemIndex() const { return item_index_; }
  void SetItemIndex(int v);

  TComboBoxStyle style_ = csDropDown;
  TStrings items_;
  int item_index_ = -1;
};

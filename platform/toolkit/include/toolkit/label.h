// TLabel: a line of text. With AutoSize (the default) it takes the size of its text,
// in the dimensions its alignment leaves free.
#pragma once

#include "toolkit/control.h"

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* AOwner);

  toolkit::Property<TLabel, bool> AutoSize{this, &TLabel::GetAutoSize, &TLabel::SetAutoSize};
  bool WordWrap = false;
  bool Transparent = false;

 protected:
  void TextChanged() override;

 private:
  bool GetAutoSize() const { return auto_size_; }
  void SetAutoSize(bool v);
  bool auto_size_ = true;
};

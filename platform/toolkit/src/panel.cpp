#include "toolkit/panel.h"

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 41);
  Alignment = taCenter;
}

void TPanel::SetBevelOuter(TBevelCut v) {
  bevel_outer_ = v;
  Realign();
}
void TPanel::SetBevelInner(TBevelCut v) {
  bevel_inner_ = v;
  Realign();
}
void TPanel::SetBevelWidth(int v) {
  bevel_width_ = v;
  Realign();
}
void TPanel::SetBorderWidth(int v) {
  border_width_ = v;
  Realign();
}

TRect TPanel::AlignRect() const {
  TRect r = ClientRect();
  int inset = border_width_;
  if (bevel_outer_ != bvNone) inset += bevel_width_;
  if (bevel_inner_ != bvNone) inset += bevel_width_;
  return Rect(r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset);
}

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 105); }

TRect TGroupBox::AlignRect() const {
  TRect r = ClientRect();
  r.Top += EffectiveFont().TextHeight();
  return Rect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2);
}

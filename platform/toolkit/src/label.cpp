#include "toolkit/label.h"

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner) { SetBounds(0, 0, 65, 13); }

void TLabel::SetAutoSize(bool v) {
  auto_size_ = v;
  if (v) TextChanged();
}

void TLabel::TextChanged() {
  if (!auto_size_ || WordWrap || Destroying()) return;
  const TFont& font = EffectiveFont();
  int w = font.TextWidth(Caption()), h = font.TextHeight();
  const TAlign align = Align;
  if (align == alTop || align == alBottom || align == alClient) w = Width;
  if (align == alLeft || align == alRight || align == alClient) h = Height;
  if (w != Width || h != Height) SetBounds(Left, Top, w, h);
}

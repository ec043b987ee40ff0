#include "toolkit/progress_bar.h"

#include <algorithm>

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 150, 16); }

void TProgressBar::SetMin(int v) {
  min_ = v;
  if (max_ < min_) max_ = min_;
  position_ = std::clamp(position_, min_, max_);
}

void TProgressBar::SetMax(int v) {
  max_ = v;
  if (min_ > max_) min_ = max_;
  position_ = std::clamp(position_, min_, max_);
}

void TProgressBar::SetPosition(int v) {
  position_ = std::clamp(v, min_, max_);
  tell_screen();
}

// TProgressBar: shows Position within Min..Max (Position is kept inside the range).
#pragma once

#include "toolkit/control.h"

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* AOwner);

  toolkit::Property<TProgressBar, int> Min{this, &TProgressBar::GetMin, &TProgressBar::SetMin};
  toolkit::Property<TProgressBar, int> Max{this, &TProgressBar::GetMax, &TProgressBar::SetMax};
  toolkit::Property<TProgressBar, int> Position{this, &TProgressBar::GetPosition, &TProgressBar::SetPosition};
  int Step = 10;
  bool Smooth = false;

  void StepIt() { Position = position_ + Step; }

 private:
  int GetMin() const { return min_; }
  void SetMin(int v);
  int GetMax() const { return max_; }
  void SetMax(int v);
  int GetPosition() const { return position_; }
  void SetPosition(int v);

  int min_ = 0, max_ = 100, position_ = 0;
};

// Containers: TPanel (bevelled area, caption centred by default) and TGroupBox (framed
// area with a caption on its top edge).
#pragma once

#include "toolkit/control.h"

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* AOwner);

  toolkit::Property<TPanel, TBevelCut> BevelOuter{this, &TPanel::GetBevelOuter, &TPanel::SetBevelOuter};
  toolkit::Property<TPanel, TBevelCut> BevelInner{this, &TPanel::GetBevelInner, &TPanel::SetBevelInner};
  toolkit::Property<TPanel, int> BevelWidth{this, &TPanel::GetBevelWidth, &TPanel::SetBevelWidth};
  toolkit::Property<TPanel, int> BorderWidth{this, &TPanel::GetBorderWidth, &TPanel::SetBorderWidth};

  // The client rectangle less the border and the width of each bevel.
  TRect AlignRect() const override;

 private:
  TBevelCut GetBevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut v);
  TBevelCut GetBevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut v);
  int GetBevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int v);
  int GetBorderWidth() const { return border_width_; }
  void SetBorderWidth(int v);

  TBevelCut bevel_outer_ = bvRaised;
  TBevelCut bevel_inner_ = bvNone;
  int bevel_width_ = 1;
  int border_width_ = 0;
};

class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* AOwner);
  // Below the caption line, inside the frame.
  TRect AlignRect() const override;
};

// TControl and TWinControl: the visual component tree and its layout.
//
// Ownership: a TWinControl destroys the controls whose Parent it is (as a TComponent
// destroys what it owns); a control destroyed earlier leaves both its owner and its
// parent, so every control is destroyed exactly once, whichever relation reaches it first.
//
// Layout (TWinControl::Realign): one pass per parent over its visible children, in the
// order they were put into the parent: first every alTop control stacks downwards from the
// top, then every alBottom control upwards from the bottom, then alLeft controls from the
// left and alRight controls from the right of what is left, and alClient takes the rest.
// With AlignWithMargins a control keeps its Margins (default 3 on each side) free around
// it. Hidden controls take no space. Controls with Align = alNone keep their bounds, moved
// or stretched by their Anchors when the parent's client size changes: akRight keeps the
// distance to the right edge, akLeft + akRight keeps both (the control stretches), neither
// keeps the centre proportional; the same vertically. Unlike VCL, which sorts aligned
// controls by their current position, the order is always the order of insertion.
#pragma once

#include <string>
#include <vector>

#include "toolkit/component.h"
#include "toolkit/graphics.h"
#include "toolkit/property.h"
#include "toolkit/types.h"

class TControl;
class TWinControl;
class TForm;

// Free space kept around a control aligned with AlignWithMargins.
class TMargins {
 public:
  explicit TMargins(TControl* control) : control_(control) {}
  TMargins(const TMargins&) = delete;
  TMargins& operator=(const TMargins&) = delete;

  toolkit::Property<TMargins, int> Left{this, &TMargins::GetLeft, &TMargins::SetLeft};
  toolkit::Property<TMargins, int> Top{this, &TMargins::GetTop, &TMargins::SetTop};
  toolkit::Property<TMargins, int> Right{this, &TMargins::GetRight, &TMargins::SetRight};
  toolkit::Property<TMargins, int> Bottom{this, &TMargins::GetBottom, &TMargins::SetBottom};
  void SetBounds(int ALeft, int ATop, int ARight, int ABottom);

 private:
  int GetLeft() const { return left_; }
  int GetTop() const { return top_; }
  int GetRight() const { return right_; }
  int GetBottom() const { return bottom_; }
  void SetLeft(int v) { SetBounds(v, top_, right_, bottom_); }
  void SetTop(int v) { SetBounds(left_, v, right_, bottom_); }
  void SetRight(int v) { SetBounds(left_, top_, v, bottom_); }
  void SetBottom(int v) { SetBounds(left_, top_, right_, v); }
  friend class TWinControl;

  TControl* control_;
  int left_ = 3, top_ = 3, right_ = 3, bottom_ = 3;
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // The control that shows this one (and destroys it, see above); null for none.
  toolkit::Property<TControl, TWinControl*> Parent{this, &TControl::GetParent, &TControl::SetParent};
  toolkit::Property<TControl, int> Left{this, &TControl::GetLeft, &TControl::SetLeft};
  toolkit::Property<TControl, int> Top{this, &TControl::GetTop, &TControl::SetTop};
  toolkit::Property<TControl, int> Width{this, &TControl::GetWidth, &TControl::SetWidth};
  toolkit::Property<TControl, int> Height{this, &TControl::GetHeight, &TControl::SetHeight};
  toolkit::Property<TControl, int> ClientWidth{this, &TControl::GetClientWidth, &TControl::SetClientWidth};
  toolkit::Property<TControl, int> ClientHeight{this, &TControl::GetClientHeight, &TControl::SetClientHeight};
  toolkit::Property<TControl, TAlign> Align{this, &TControl::GetAlign, &TControl::SetAlign};
  toolkit::Property<TControl, bool> AlignWithMargins{this, &TControl::GetAlignWithMargins,
                                                     &TControl::SetAlignWithMargins};
  toolkit::Property<TControl, TAnchors> Anchors{this, &TControl::GetAnchors, &TControl::SetAnchors};
  // Caption and Text are the same text (ANSI): a button's caption, an edit's contents.
  toolkit::Property<TControl, std::string> Caption{this, &TControl::GetText, &TControl::SetText};
  toolkit::Property<TControl, std::string> Text{this, &TControl::GetText, &TControl::SetText};
  // Horizontal placement of the text (labels, panels, edits).
  toolkit::Property<TControl, TAlignment> Alignment{this, &TControl::GetAlignment, &TControl::SetAlignment};
  toolkit::Property<TControl, bool> Visible{this, &TControl::GetVisible, &TControl::SetVisible};
  // A disabled control takes no input; nor do the children of a disabled control.
  toolkit::Property<TControl, bool> Enabled{this, &TControl::GetEnabled, &TControl::SetEnabled};
  // While true the control draws with its parent's font; changing Font sets it to false.
  toolkit::Property<TControl, bool> ParentFont{this, &TControl::GetParentFont, &TControl::SetParentFont};
  toolkit::Property<TControl, TColor> Color{this, &TControl::GetColor, &TControl::SetColor};
  TMargins* const Margins = &margins_;
  TFont* const Font = &font_;
  int HelpContext = 0;
  std::string Hint;

  TNotifyEvent OnClick;

  // Sets all four bounds at once (explicit placement: the anchors measure from here).
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  TRect ClientRect() const { return Rect(0, 0, GetClientWidth(), GetClientHeight()); }
  // The bounds in the client coordinates of the form the control sits on.
  TRect FormRect() const;
  // The font the control draws with (its own, or its parent's while ParentFont is set).
  const TFont& EffectiveFont() const;

  void Show() { Visible = true; }
  void Hide() { Visible = false; }
  // The control and every parent up to its form are visible.
  bool Showing() const;
  // The control and every parent up to its form are enabled: it can take input.
  bool IsEnabledForInput() const;
  // The form the control sits on (itself for a form), or null.
  TForm* ParentForm() const;

  // Performs a click: OnClick (buttons also set their form's ModalResult first).
  virtual void Click();
  // How many times TControl's SetText changed the control's text (a label's caption; a combo
  // box keeps its text apart): a watcher polling it reads the text again only when this moved.
  unsigned long TextChanges() const { return text_changes_; }

 protected:
  virtual std::string GetText() const { return text_; }
  virtual void SetText(std::string value);
  virtual void SetVisible(bool value);
  virtual void SetEnabled(bool value);
  virtual int GetClientWidth() const { return width_; }
  virtual int GetClientHeight() const { return height_; }
  virtual void SetClientWidth(int value) { Width = value; }
  virtual void SetClientHeight(int value) { Height = value; }
  // The text changed (labels resize to it).
  virtual void TextChanged() {}
  // Placement by the parent's layout: does not move the anchor origin.
  void SetLayoutBounds(const TRect& r);
  // Re-lays out the parent (alignment and anchors of this control's siblings).
  void RequestAlign();
  // Remembers the current bounds and the parent's client size as the anchor origin.
  void UpdateAnchorRules();
  // Tells whoever shows the toolkit that what the control shows changed (TApplication's
  // change listeners). Plain fields (Hint, a label's WordWrap, …) show with the next change
  // told.
  void tell_screen();

  std::string text_;

 private:
  friend class TWinControl;
  unsigned long text_changes_ = 0;
  friend class TMargins;

  TWinControl* GetParent() const { return parent_; }
  void SetParent(TWinControl* value);
  int GetLeft() const { return left_; }
  int GetTop() const { return top_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TAlign GetAlign() const { return align_; }
  void SetAlign(TAlign v);
  bool GetAlignWithMargins() const { return align_with_margins_; }
  void SetAlignWithMargins(bool v);
  TAnchors GetAnchors() const { return anchors_; }
  void SetAnchors(TAnchors v);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { alignment_ = v; }
  bool GetVisible() const { return visible_; }
  bool GetEnabled() const { return enabled_; }
  bool GetParentFont() const { return parent_font_; }
  void SetParentFont(bool v) { parent_font_ = v; }
  TColor GetColor() const { return color_; }
  void SetColor(TColor v) { color_ = v; }

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  bool align_with_margins_ = false;
  TAnchors anchors_{akLeft, akTop};
  TAlignment alignment_ = taLeftJustify;
  bool visible_ = true;
  bool enabled_ = true;
  bool parent_font_ = true;
  TColor color_ = clBtnFace;
  TMargins margins_{this};
  TFont font_;
  // Anchor origin: bounds and parent client size at the last explicit placement.
  TRect anchor_bounds_;
  int anchor_parent_width_ = 0, anchor_parent_height_ = 0;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
  // Position among the focusable siblings; setting it moves the control in that order.
  toolkit::Property<TWinControl, int> TabOrder{this, &TWinControl::GetTabOrder, &TWinControl::SetTabOrder};
  bool TabStop = true;

  // The focusable children in their TabOrder.
  const std::vector<TWinControl*>& TabList() const { return tab_list_; }

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  // Suspends layout until the matching EnableAlign, which lays out once if needed.
  void DisableAlign();
  void EnableAlign();
  // Lays out the children (and theirs) now.
  void Realign();
  // The area the aligned children share: the client rectangle, less bevels, borders and
  // a group box's caption.
  virtual TRect AlignRect() const { return ClientRect(); }

 private:
  friend class TControl;
  int GetTabOrder() const;
  void SetTabOrder(int value);
  void place_aligned(TControl* c, TAlign kind, TRect& r);
  void place_anchored(TControl* c);

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tab_list_;
  int align_lock_ = 0;
  bool align_pending_ = false;
};

namespace toolkit {
// The control under `root` (not `root` itself) named `name`; failing that, the one whose
// caption is `name`, a showing one before a hidden one. Null when there is none.
TControl* FindControl(TControl* root, const std::string& name);
// The controls under `root` in the order Tab moves through them: each container's children
// in their TabOrder, a container before the controls inside it (TabStop, and whether they
// show and are enabled, is the caller's to ask when the focus moves).
std::vector<TWinControl*> TabOrdered(TWinControl* root);
}  // namespace toolkit

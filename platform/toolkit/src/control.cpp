#include "toolkit/control.h"

#include <algorithm>

#include "toolkit/application.h"
#include "toolkit/exception.h"
#include "toolkit/form.h"

void TMargins::SetBounds(int ALeft, int ATop, int ARight, int ABottom) {
  left_ = ALeft;
  top_ = ATop;
  right_ = ARight;
  bottom_ = ABottom;
  if (control_->align_with_margins_) control_->RequestAlign();
}

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  font_.OnChange = [this] { parent_font_ = false; TextChanged(); };
}

TControl::~TControl() {
  BeginDestroy();
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* value) {
  if (value == parent_) return;
  if (value == this) throw Exception("A control cannot be its own parent");
  for (TWinControl* p = value; p; p = p->parent_)
    if (p == this) throw Exception("A control cannot be a parent of its own parent");
  if (parent_) parent_->RemoveControl(this);
  if (value) {
    value->InsertControl(this);
    UpdateAnchorRules();
    RequestAlign();
  }
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  tell_screen();
  left_ = ALeft;
  top_ = ATop;
  width_ = std::max(0, AWidth);
  height_ = std::max(0, AHeight);
  UpdateAnchorRules();
  if (parent_)
    RequestAlign();
  else if (auto* self = dynamic_cast<TWinControl*>(this))
    self->Realign();
}

void TControl::SetLayoutBounds(const TRect& r) {
  tell_screen();
  left_ = r.Left;
  top_ = r.Top;
  width_ = std::max(0, r.Width());
  height_ = std::max(0, r.Height());
}

void TControl::RequestAlign() {
  if (parent_ && !Destroying()) parent_->Realign();
}

void TControl::UpdateAnchorRules() {
  anchor_bounds_ = BoundsRect();
  if (parent_) {
    anchor_parent_width_ = parent_->GetClientWidth();
    anchor_parent_height_ = parent_->GetClientHeight();
  }
}

void TControl::SetAlign(TAlign v) {
  if (v == align_) return;
  align_ = v;
  if (v == alNone) UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAlignWithMargins(bool v) {
  if (v == align_with_margins_) return;
  align_with_margins_ = v;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors v) {
  anchors_ = v;
  UpdateAnchorRules();
}

void TControl::SetText(std::string value) {
  if (value == text_) return;
  text_ = std::move(value);
  ++text_changes_;
  TextChanged();
  tell_screen();
}

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  RequestAlign();
  tell_screen();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  tell_screen();
}

void TControl::tell_screen() {
  if (Application) Application->Changed();
}

TRect TControl::FormRect() const {
  TRect r = BoundsRect();
  if (dynamic_cast<const TForm*>(this)) return Rect(0, 0, GetClientWidth(), GetClientHeight());
  for (const TWinControl* p = parent_; p && !dynamic_cast<const TForm*>(p); p = p->parent_) {
    r.Left = toolkit::Saturate(static_cast<long long>(r.Left) + p->left_);
    r.Right = toolkit::Saturate(static_cast<long long>(r.Right) + p->left_);
    r.Top = toolkit::Saturate(static_cast<long long>(r.Top) + p->top_);
    r.Bottom = toolkit::Saturate(static_cast<long long>(r.Bottom) + p->top_);
  }
  return r;
}

const TFont& TControl::EffectiveFont() const {
  const TControl* c = this;
  while (c->parent_font_ && c->parent_) c = c->parent_;
  return c->font_;
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

bool TControl::IsEnabledForInput() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

TForm* TControl::ParentForm() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (auto* f = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(f);
  return nullptr;
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  BeginDestroy();
  while (!controls_.empty()) delete controls_.back();  // each leaves controls_ itself
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) tab_list_.push_back(w);
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  controls_.erase(it);
  std::erase(tab_list_, control);
  control->parent_ = nullptr;
  Realign();
}

int TWinControl::GetTabOrder() const {
  if (!parent_) return 0;
  const auto& list = parent_->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int value) {
  if (!parent_) return;
  auto& list = parent_->tab_list_;
  std::erase(list, this);
  size_t at = value < 0 ? list.size() : std::min(list.size(), static_cast<size_t>(value));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
}

void TWinControl::DisableAlign() { ++align_lock_; }

void TWinControl::EnableAlign() {
  if (align_lock_ > 0 && --align_lock_ == 0 && align_pending_) Realign();
}

void TWinControl::Realign() {
  if (Destroying()) return;
  if (align_lock_ > 0) {
    align_pending_ = true;
    return;
  }
  align_pending_ = false;
  TRect r = AlignRect();
  for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient})
    for (TControl* c : controls_)
      if (c->visible_ && c->align_ == kind) place_aligned(c, kind, r);
  for (TControl* c : controls_)
    if (c->align_ == alNone && !(c->anchors_ == TAnchors{akLeft, akTop})) place_anchored(c);
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->Realign();
}

void TWinControl::place_aligned(TControl* c, TAlign kind, TRect& r) {
  using toolkit::Saturate;
  long long ml = 0, mt = 0, mr = 0, mb = 0;
  if (c->align_with_margins_) {
    ml = c->margins_.left_;
    mt = c->margins_.top_;
    mr = c->margins_.right_;
    mb = c->margins_.bottom_;
  }
  const long long w = c->width_, h = c->height_;
  const long long left = r.Left, top = r.Top, right = r.Right, bottom = r.Bottom;
  const long long width = right - left, height = bottom - top;
  TRect b;
  switch (kind) {
    case alTop:
      b = Bounds(left + ml, top + mt, width - ml - mr, h);
      r.Top = Saturate(top + h + mt + mb);
      break;
    case alBottom:
      b = Bounds(left + ml, bottom - mb - h, width - ml - mr, h);
      r.Bottom = Saturate(bottom - (h + mt + mb));
      break;
    case alLeft:
      b = Bounds(left + ml, top + mt, w, height - mt - mb);
      r.Left = Saturate(left + w + ml + mr);
      break;
    case alRight:
      b = Bounds(right - mr - w, top + mt, w, height - mt - mb);
      r.Right = Saturate(right - (w + ml + mr));
      break;
    default:
      b = Bounds(left + ml, top + mt, width - ml - mr, height - mt - mb);
      break;
  }
  c->SetLayoutBounds(b);
}

void TWinControl::place_anchored(TControl* c) {
  const TRect o = c->anchor_bounds_;
  const long long pw0 = c->anchor_parent_width_, ph0 = c->anchor_parent_height_;
  const long long pw = GetClientWidth(), ph = GetClientHeight();
  auto axis = [](bool near_edge, bool far_edge, long long pos0, long long size0, long long parent0, long long parent,
                 long long& pos, long long& size) {
    pos = pos0;
    size = size0;
    if (far_edge && near_edge) {
      size = std::max(0LL, size0 + parent - parent0);
    } else if (far_edge) {
      pos = pos0 + parent - parent0;
    } else if (!near_edge && parent0 > 0) {
      pos = (pos0 + size0 / 2) * parent / parent0 - size0 / 2;
    }
  };
  long long l, t, w, h;
  axis(c->anchors_.Contains(akLeft), c->anchors_.Contains(akRight), o.Left, o.Width(), pw0, pw, l, w);
  axis(c->anchors_.Contains(akTop), c->anchors_.Contains(akBottom), o.Top, o.Height(), ph0, ph, t, h);
  c->SetLayoutBounds(Bounds(l, t, w, h));
}

namespace toolkit {

TControl* FindControl(TControl* root, const std::string& name) {
  std::vector<TControl*> all;
  std::vector<TControl*> stack{root};
  while (!stack.empty()) {
    TControl* c = stack.back();
    stack.pop_back();
    all.push_back(c);
    if (auto* w = dynamic_cast<TWinControl*>(c))
      for (int i = w->ControlCount() - 1; i >= 0; --i) stack.push_back(w->Controls(i));
  }
  for (TControl* c : all)
    if (c != root && c->Name == name) return c;
  TControl* hidden = nullptr;
  for (TControl* c : all) {
    if (c == root || c->Caption() != name) continue;
    if (c->Showing()) return c;
    if (!hidden) hidden = c;
  }
  return hidden;
}

}  // namespace toolkit

namespace toolkit {

namespace {

void tab_walk(const TWinControl* container, std::vector<TWinControl*>& out) {
  for (TWinControl* child : container->TabList()) {
    out.push_back(child);
    tab_walk(child, out);
  }
}

}  // namespace

std::vector<TWinControl*> TabOrdered(TWinControl* root) {
  std::vector<TWinControl*> out;
  if (root) tab_walk(root, out);
  return out;
}

}  // namespace toolkit

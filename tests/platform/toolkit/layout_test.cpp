#include <gtest/gtest.h>

#include <toolkit/vcl.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

namespace {

// A panel that counts its destruction.
class CountedPanel : public TPanel {
 public:
  CountedPanel(TComponent* owner, int* destroyed) : TPanel(owner), destroyed_(destroyed) {}
  ~CountedPanel() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

TPanel* panel(TForm* form, TWinControl* parent, const char* name, TAlign align, int w, int h,
              bool margins = false) {
  auto* p = new TPanel(form);
  p->Name = name;
  p->Parent = parent;
  p->Width = w;
  p->Height = h;
  p->BevelOuter = bvNone;
  p->AlignWithMargins = margins;
  p->Align = align;
  return p;
}

struct Expected {
  const char* name;
  TRect rect;  // left, top, right, bottom in the parent's client coordinates
};

void expect_rects(TForm& form, const std::vector<Expected>& cases) {
  for (const Expected& e : cases) {
    auto* c = dynamic_cast<TControl*>(form.FindComponent(e.name));
    ASSERT_NE(c, nullptr) << e.name;
    EXPECT_EQ(c->BoundsRect(), e.rect) << e.name;
  }
}

TEST(Layout, NestedAlignmentInCreationOrderWithMarginsSkippingHiddenControls) {
  TForm form(nullptr);
  form.BorderStyle = bsNone;
  form.ClientWidth = 400;
  form.ClientHeight = 300;
  panel(&form, &form, "top1", alTop, 10, 30);
  panel(&form, &form, "top2", alTop, 10, 20, true);
  panel(&form, &form, "bottom1", alBottom, 10, 40);
  panel(&form, &form, "bottom2", alBottom, 10, 10)->Visible = false;
  panel(&form, &form, "left1", alLeft, 50, 10);
  panel(&form, &form, "right1", alRight, 60, 10, true);
  panel(&form, &form, "right2", alRight, 30, 10);
  TPanel* client = panel(&form, &form, "client", alClient, 10, 10);
  // Inside the client area: a bevelled container, its children inset by the bevel.
  TPanel* inner = panel(&form, client, "inner", alClient, 10, 10);
  inner->BevelOuter = bvRaised;
  inner->BevelInner = bvLowered;
  panel(&form, inner, "inner_top", alTop, 10, 15);
  panel(&form, inner, "inner_free", alNone, 10, 10)->SetBounds(5, 6, 7, 8);

  expect_rects(form, {
                         {"top1", Rect(0, 0, 400, 30)},
                         {"top2", Rect(3, 33, 397, 53)},
                         {"bottom1", Rect(0, 260, 400, 300)},
                         {"left1", Rect(0, 56, 50, 260)},
                         {"right1", Rect(337, 59, 397, 257)},
                         {"right2", Rect(304, 56, 334, 260)},
                         {"client", Rect(50, 56, 304, 260)},
                         {"inner", Rect(0, 0, 254, 204)},
                         {"inner_top", Rect(2, 2, 252, 17)},
                         {"inner_free", Rect(5, 6, 12, 14)},
                     });

  // Showing the hidden bottom panel pushes everything above it up; margins are per side.
  dynamic_cast<TControl*>(form.FindComponent("bottom2"))->Visible = true;
  auto* top2 = dynamic_cast<TControl*>(form.FindComponent("top2"));
  top2->Margins->SetBounds(1, 2, 4, 8);
  expect_rects(form, {
                         {"top2", Rect(1, 32, 396, 52)},
                         {"bottom1", Rect(0, 260, 400, 300)},
                         {"bottom2", Rect(0, 250, 400, 260)},
                         {"left1", Rect(0, 60, 50, 250)},
                         {"client", Rect(50, 60, 304, 250)},
                     });

  // A size change lays out again.
  form.ClientWidth = 500;
  expect_rects(form, {{"top1", Rect(0, 0, 500, 30)}, {"client", Rect(50, 60, 404, 250)}});
}

TEST(Layout, GroupBoxKeepsItsCaptionLineFree) {
  TForm form(nullptr);
  form.BorderStyle = bsNone;
  form.ClientWidth = 200;
  form.ClientHeight = 100;
  auto* box = new TGroupBox(&form);
  box->Parent = &form;
  box->Align = alClient;
  box->Caption = "Group";
  auto* child = new TPanel(&form);
  child->Parent = box;
  child->Align = alTop;
  child->Height = 20;
  const int caption = box->Font->TextHeight();
  EXPECT_EQ(child->BoundsRect(), Rect(2, caption + 2, 198, caption + 22));
}

struct AnchorCase {
  TAnchors anchors;
  TRect after;  // placed at (100, 50, 40 × 20) in a 400 × 300 parent that grows to 500 × 360
};

TEST(Layout, AnchorsKeepDistancesWhenTheParentResizes) {
  const std::vector<AnchorCase> cases = {
      {{akLeft, akTop}, Bounds(100, 50, 40, 20)},
      {{akTop, akRight}, Bounds(200, 50, 40, 20)},
      {{akLeft, akTop, akRight}, Bounds(100, 50, 140, 20)},
      {{akLeft, akBottom}, Bounds(100, 110, 40, 20)},
      {{akLeft, akTop, akRight, akBottom}, Bounds(100, 50, 140, 80)},
      {{akTop}, Bounds(130, 50, 40, 20)},  // neither left nor right: the centre moves in proportion
  };
  for (const AnchorCase& c : cases) {
    TForm form(nullptr);
    form.BorderStyle = bsNone;
    form.ClientWidth = 400;
    form.ClientHeight = 300;
    auto* host = new TPanel(&form);
    host->Parent = &form;
    host->Align = alClient;
    auto* button = new TButton(&form);
    button->Parent = host;
    button->SetBounds(100, 50, 40, 20);
    button->Anchors = c.anchors;
    form.ClientWidth = 500;
    form.ClientHeight = 360;
    EXPECT_EQ(button->BoundsRect(), c.after) << c.anchors;
    form.ClientWidth = 400;
    form.ClientHeight = 300;
    EXPECT_EQ(button->BoundsRect(), Bounds(100, 50, 40, 20)) << c.anchors;
  }
}

// Coordinates whose exact values lie past the limits of int saturate at those limits instead
// of wrapping round.
TEST(Layout, AFormTextWhoseSumsPassTheLimitsOfIntSaturates) {
  // Every value in range: one label, sized by its caption to just under INT_MAX, behind a
  // 32767-pixel margin.
  const std::string caption(119156, 'x');
  TForm form(nullptr, "object f: TForm\n  BorderStyle = bsNone\n  ClientWidth = 100\n  ClientHeight = 50\n"
                      "  object l: TLabel\n    Align = alLeft\n    AlignWithMargins = True\n"
                      "    Margins.Left = 32767\n    Margins.Top = 0\n    Margins.Right = 32767\n"
                      "    Margins.Bottom = 0\n    Font.Height = -32768\n    AutoSize = True\n"
                      "    Caption = '" + caption + "'\n  end\n"
                      "  object q: TPanel\n    Align = alClient\n  end\nend\n",
             "wide-label.dfm");
  auto* label = dynamic_cast<TLabel*>(form.FindComponent("l"));
  ASSERT_NE(label, nullptr);
  ASSERT_EQ(label->Font->TextWidth(caption), 2147477094);
  EXPECT_EQ(label->BoundsRect(), Rect(32767, 0, INT_MAX, 50));
  expect_rects(form, {{"q", Rect(INT_MAX, 0, INT_MAX, 50)}});  // pushed out, nothing left for it
  EXPECT_EQ(label->FormRect(), Rect(32767, 0, INT_MAX, 50));
}

// The rectangle at exact coordinates, each held to the range of int.
TRect clamped_bounds(long long left, long long top, long long width, long long height) {
  auto clamp = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); };
  return TRect{clamp(left), clamp(top), clamp(left + width), clamp(top + height)};
}

TEST(Layout, PanelsStackedPastTheLimitsOfIntSaturate) {
  // Along each side, panels a billion pixels long with a 32767-pixel margin before and after
  // each: the third ends past the limit, the fourth begins past it.
  struct Case {
    TAlign align;
    bool vertical;
    bool from_far_side;
  };
  const int count = 4;
  const long long length = 1000000000, margin = 32767, step = length + 2 * margin;
  for (const Case& c : {Case{alTop, true, false}, Case{alBottom, true, true}, Case{alLeft, false, false},
                        Case{alRight, false, true}}) {
    SCOPED_TRACE(c.align);
    TForm form(nullptr);
    form.BorderStyle = bsNone;
    form.ClientWidth = 400;
    form.ClientHeight = 300;
    for (int i = 0; i < count; ++i) {
      auto* p = new TPanel(&form);
      p->Parent = &form;
      p->SetBounds(0, 0, c.vertical ? 10 : length, c.vertical ? length : 10);
      p->Margins->SetBounds(c.vertical ? 0 : margin, c.vertical ? margin : 0, c.vertical ? 0 : margin,
                            c.vertical ? margin : 0);
      p->AlignWithMargins = true;
      p->Align = c.align;
    }
    for (int i = 0; i < count; ++i) {
      // Where the panel begins along the axis, counted exactly.
      const long long at = c.from_far_side ? (c.vertical ? 300 : 400) - i * step - margin - length : i * step + margin;
      const TRect expected = c.vertical ? clamped_bounds(0, at, 400, length) : clamped_bounds(at, 0, length, 300);
      EXPECT_EQ(form.Controls(i)->BoundsRect(), expected) << "panel " << i;
    }
  }
}

TEST(Layout, DisabledParentDisablesChildrenForInput) {
  TForm form(nullptr);
  auto* outer = new TPanel(&form);
  outer->Parent = &form;
  auto* button = new TButton(&form);
  button->Parent = outer;
  EXPECT_TRUE(button->IsEnabledForInput());
  outer->Enabled = false;
  EXPECT_TRUE(button->Enabled);
  EXPECT_FALSE(button->IsEnabledForInput());
}

TEST(Ownership, EveryComponentIsDestroyedExactlyOnce) {
  int destroyed = 0;
  {
    auto form = std::make_unique<TForm>(nullptr);
    // Owned by the form, parented elsewhere: the parent destroys it first.
    auto* a = new CountedPanel(form.get(), &destroyed);
    a->Parent = form.get();
    auto* b = new CountedPanel(form.get(), &destroyed);
    b->Parent = a;
    auto* c = new CountedPanel(b, &destroyed);  // owned by b, parented by a
    c->Parent = a;
    // Parented by the form, owned by no one.
    auto* d = new CountedPanel(nullptr, &destroyed);
    d->Parent = form.get();
    // Destroyed before its owner and parent: it leaves both.
    auto* e = new CountedPanel(form.get(), &destroyed);
    e->Parent = b;
    delete e;
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(b->ControlCount(), 0);
    EXPECT_EQ(form->ComponentCount(), 2);
  }
  EXPECT_EQ(destroyed, 5);
}

TEST(Ownership, FreeNotificationClearsBindings) {
  TForm form(nullptr);
  auto* list = new TDirectoryListBox(&form);
  auto* drives = new TDriveComboBox(&form);
  auto* label = new TLabel(&form);
  drives->DirList = list;
  list->DirLabel = label;
  delete label;
  EXPECT_EQ(list->DirLabel(), nullptr);
  delete list;
  EXPECT_EQ(drives->DirList(), nullptr);
}

TEST(Layout, TabOrderFollowsInsertionAndCanBeMoved) {
  TForm form(nullptr);
  auto* a = new TButton(&form);
  a->Parent = &form;
  auto* b = new TButton(&form);
  b->Parent = &form;
  auto* c = new TEdit(&form);
  c->Parent = &form;
  EXPECT_EQ(a->TabOrder, 0);
  EXPECT_EQ(c->TabOrder, 2);
  c->TabOrder = 0;
  EXPECT_EQ(c->TabOrder, 0);
  EXPECT_EQ(a->TabOrder, 1);
  EXPECT_EQ(b->TabOrder, 2);
}

}  // namespace

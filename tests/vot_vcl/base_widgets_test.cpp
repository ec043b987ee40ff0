#include <gtest/gtest.h>

#include <toolkit/form.h>

#include <memory>

#include "vot_vcl/vot_vcl_base.h"

namespace {

TEST(VclPanel, LibraryDefaults) {
  Tvo_vcl_panel panel(nullptr);
  EXPECT_EQ(panel.BevelOuter, bvNone);
  EXPECT_EQ(panel.Caption, "");
  EXPECT_EQ(panel.Height, 21);
  EXPECT_EQ(panel.Width, 200);
  EXPECT_FALSE(panel.AlignWithMargins);
}

TEST(VclCaptionPanel, BuildsACaptionColumnAndAClientArea) {
  TForm form(nullptr);
  form.BorderStyle = bsNone;
  form.ClientWidth = 400;
  form.ClientHeight = 100;
  auto* panel = new Tvo_vcl_caption_panel(&form);
  panel->Parent = &form;
  panel->Align = alTop;
  EXPECT_TRUE(panel->AlignWithMargins);
  panel->build();
  panel->set_caption("Слой");
  EXPECT_EQ(panel->get_caption(), "\xD1\xEB\xEE\xE9");

  auto* caption = dynamic_cast<Tvo_vcl_panel*>(panel->FindComponent("f_caption_panel"));
  auto* client = dynamic_cast<Tvo_vcl_panel*>(panel->FindComponent("f_client_panel"));
  ASSERT_TRUE(caption && client);
  EXPECT_EQ(caption->Parent, panel);
  EXPECT_EQ(client->Parent, panel);
  EXPECT_EQ(caption->Alignment, taLeftJustify);
  EXPECT_EQ(caption->Caption(), panel->get_caption());
  EXPECT_EQ(panel->BoundsRect(), Rect(3, 3, 397, 24));
  EXPECT_EQ(caption->BoundsRect(), Rect(0, 0, 100, 21));
  EXPECT_EQ(client->BoundsRect(), Rect(100, 0, 394, 21));
}

TEST(VclControls, PlainControlsAreTheToolkitsOwn) {
  TForm form(nullptr);
  auto* label = new Tvo_vcl_label(&form);
  auto* button = new Tvo_vcl_button(&form);
  auto* edit = new Tvo_vcl_edit(&form);
  EXPECT_EQ(label->ClassName(), "Tvo_vcl_label");
  EXPECT_EQ(button->Width, 75);
  EXPECT_EQ(edit->Height, 21);
  EXPECT_EQ(form.ComponentCount(), 3);
}

}  // namespace

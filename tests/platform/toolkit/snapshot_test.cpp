#include <gtest/gtest.h>

#include <toolkit/snapshot.h>
#include <toolkit/vcl.h>

#include <filesystem>
#include <fstream>

#include "support/com_test.h"

namespace {

TEST(Snapshot, SvgShowsControlsTextsAndStates) {
  TForm form(nullptr);
  form.Caption = "\xCF\xE0\xEF\xEA\xE0";  // "Папка" in Windows-1251
  form.ClientWidth = 300;
  form.ClientHeight = 120;
  auto* box = new TGroupBox(&form);
  box->Parent = &form;
  box->Align = alClient;
  box->Caption = "Group & more";
  auto* button = new TButton(&form);
  button->Parent = box;
  button->SetBounds(10, 20, 75, 25);
  button->Caption = "Apply";
  button->Enabled = false;
  auto* combo = new TComboBox(&form);
  combo->Parent = box;
  combo->SetBounds(10, 60, 120, 21);
  combo->Items->Add("entry");
  combo->ItemIndex = 0;
  auto* bar = new TProgressBar(&form);
  bar->Parent = box;
  bar->SetBounds(10, 90, 100, 14);
  bar->Position = 50;

  const std::string svg = toolkit::RenderSvg(form);
  EXPECT_NE(svg.find(">Папка</text>"), std::string::npos);
  EXPECT_NE(svg.find(">Group &amp; more</text>"), std::string::npos);
  EXPECT_NE(svg.find(">entry</text>"), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#A0A0A0\" text-anchor=\"middle\" xml:space=\"preserve\">Apply"), std::string::npos);
  EXPECT_NE(svg.find("width=\"49\" height=\"12\" fill=\"#06B025\""), std::string::npos) << svg;

  const std::string outline = toolkit::DescribeControls(form);
  EXPECT_NE(outline.find("TButton (10, 20, 75x25) \"Apply\" [disabled]"), std::string::npos) << outline;
  EXPECT_NE(outline.find("= \"entry\" of [\"entry\"]"), std::string::npos) << outline;
}

TEST(Snapshot, PngThroughRsvgConvert) {
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert missing";
  testing_support::TempDir dir;
  TForm form(nullptr);
  form.Caption = "Picture";
  auto* panel = new TPanel(&form);
  panel->Parent = &form;
  panel->Align = alClient;
  panel->Caption = "Hello";
  const std::string path = (dir.path() / "form.png").string();
  toolkit::SavePng(form, path);
  std::ifstream in(path, std::ios::binary);
  std::string head(8, '\0');
  in.read(head.data(), 8);
  EXPECT_EQ(head, "\x89PNG\r\n\x1A\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".svg"));
}

}  // namespace

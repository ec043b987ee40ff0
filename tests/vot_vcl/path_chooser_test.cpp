#include <gtest/gtest.h>

#include <toolkit/application.h>
#include <toolkit/scripted_agent.h>
#include <toolkit/snapshot.h>
#include <win32/paths.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support/com_test.h"
#include "vot_vcl/vot_vcl_path.h"
#include "vot_vcl/vot_vcl_text.h"

namespace {

namespace fs = std::filesystem;

// Points HOME at a folder of the test for its lifetime (where an empty path starts).
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) {
    const char* old = std::getenv("HOME");
    had_ = old != nullptr;
    if (old) old_ = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~ScopedHome() {
    if (had_) setenv("HOME", old_.c_str(), 1);
    else unsetenv("HOME");
  }

 private:
  bool had_ = false;
  std::string old_;
};

// Exposes the folder dialog's parts.
class TestPathForm : public Tvo_vcl_path_form {
 public:
  TestPathForm() : Tvo_vcl_path_form(nullptr) {
    build();
    init_texts();
  }
  TControl* part(const char* name) const { return dynamic_cast<TControl*>(FindComponent(name)); }
};

std::string ansi(const fs::path& p) { return win32::posix_path_to_ansi(p.string()); }

// A folder tree: root/Карты/2024 and root/data.
struct Tree {
  testing_support::TempDir dir;
  // The file system speaks UTF-8 ("Карты"); this file's literals are Windows-1251.
  fs::path maps = dir.path() / "\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD1\x8B";
  Tree() {
    fs::create_directories(maps / "2024");
    fs::create_directories(dir.path() / "data");
  }
};

TEST(VclPathForm, HidesHelpAndShowsTheFolderParts) {
  TestPathForm form;
  EXPECT_FALSE(form.part("f_help_button")->Visible);
  EXPECT_TRUE(form.part("f_ok_button")->Visible);
  EXPECT_TRUE(form.part("f_cancel_button")->Visible);
  EXPECT_EQ(form.part("f_caption_label")->Caption(), "\xCF\xE0\xEF\xEA\xE0");  // Папка
  form.set_caption("Папка результата");
  EXPECT_EQ(form.part("f_caption_label")->Caption(), "Папка результата");

  TControl* client = form.part("f_client_panel");
  TControl* top = form.part("f_top_panel");
  EXPECT_EQ(top->Parent, client);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, client->Width, 30));
  EXPECT_EQ(form.part("f_caption_column_panel")->BoundsRect(), Rect(3, 3, 143, 27));
  EXPECT_EQ(form.part("f_directory_label_panel")->BoundsRect(), Rect(149, 3, client->Width - 3, 27));
  EXPECT_EQ(dynamic_cast<TPanel*>(form.part("f_directory_label_panel"))->BevelOuter, bvLowered);
  EXPECT_EQ(form.part("f_caption_label")->Left, 4);
  EXPECT_EQ(form.part("f_caption_label")->Top, 4);
  TControl* combo = form.part("f_drive_combo");
  TControl* list = form.part("f_directory_list");
  EXPECT_EQ(combo->BoundsRect(), Rect(3, client->Height - 24, client->Width - 3, client->Height - 3));
  EXPECT_EQ(list->BoundsRect(), Rect(3, 33, client->Width - 3, client->Height - 30));
}

TEST(VclPathForm, SetDirectoryMovesTheListOrGivesItAnEmptyPath) {
  Tree tree;
  ScopedHome home(tree.dir.str());
  TestPathForm form;
  form.set_directory(ansi(tree.maps));
  EXPECT_EQ(form.get_directory(), ansi(tree.maps));
  EXPECT_EQ(form.part("f_directory_label")->Caption(), ansi(tree.maps));
  form.set_directory(ansi(tree.dir.path() / "missing"));
  EXPECT_EQ(form.get_directory(), ansi(tree.dir.path()));  // the empty path starts at home
  form.set_directory(ansi(tree.maps / "2024"));
  form.set_directory("");
  EXPECT_EQ(form.get_directory(), ansi(tree.dir.path()));
}

TEST(VclChooseFolder, DrivenEndToEndByAScriptedUser) {
  Tree tree;
  TScriptedAgent user;
  user.Call([&](TForm& form) {
        EXPECT_EQ(form.Caption(), "Выбор");
        EXPECT_EQ(static_cast<Tvo_vcl_path_form&>(form).get_directory(), ansi(tree.dir.path()));
        EXPECT_FALSE(form.FindComponent("f_help_button") && dynamic_cast<TControl*>(form.FindComponent("f_help_button"))->Visible);
      })
      .OpenFolder("f_directory_list", "Карты")
      .OpenFolder("f_directory_list", "2024")
      .OpenFolder("f_directory_list", "..")
      .Click(vcl_text(vcl_text_apply));
  TScopedUserAgent use(&user);
  std::optional<std::string> chosen = choose_folder("Выбор", "Папка", ansi(tree.dir.path()));
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, ansi(tree.maps));
  EXPECT_EQ(user.PendingSteps(), 0);
  EXPECT_TRUE(user.Boxes().empty());

  user.Choose("f_drive_combo", "/").Click("Отменить");
  EXPECT_FALSE(choose_folder("", "Папка", ansi(tree.dir.path())).has_value());
  user.Close();
  EXPECT_FALSE(choose_folder("", "Папка", ansi(tree.dir.path())).has_value());
}

// A form holding a path panel, as a dialog holds its folder chooser.
struct PanelHost {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  Tvo_vcl_path_panel* panel = new Tvo_vcl_path_panel(form.get());
  TEdit* edit = nullptr;
  int notifications = 0;
  TObject* sender = nullptr;

  PanelHost() {
    form->Name = "host";
    panel->Parent = form.get();
    panel->Align = alTop;
    panel->build();
    panel->init_texts();
    panel->set_caption("Папка результата");
    panel->set_on_change([this](TObject* s) {
      ++notifications;
      sender = s;
    });
    edit = dynamic_cast<TEdit*>(panel->FindComponent("f_path_edit"));
  }
};

TEST(VclPathPanel, NeverUsedGivesAnEmptyPath) {
  PanelHost host;
  EXPECT_EQ(host.panel->get_path(), "");
  ASSERT_NE(host.edit, nullptr);
  EXPECT_TRUE(host.edit->ReadOnly);
  EXPECT_EQ(host.edit->Text, "");
  auto* button = dynamic_cast<TButton*>(host.panel->FindComponent("f_choose_button"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->Caption, "...");
  EXPECT_EQ(button->Width, 22);
  EXPECT_EQ(button->Align, alRight);
  EXPECT_EQ(host.edit->Align, alClient);
}

TEST(VclPathPanel, ApplyStoresTheFolderShowsItAndNotifiesOnce) {
  Tree tree;
  ScopedHome home(tree.dir.str());
  PanelHost host;
  host.form->Show();
  TScriptedAgent user;
  user.Call([&](TForm& form) {
        EXPECT_EQ(static_cast<Tvo_vcl_path_form&>(form).get_directory(), ansi(tree.dir.path()));
        EXPECT_EQ(dynamic_cast<TControl*>(form.FindComponent("f_caption_label"))->Caption(), "Папка результата");
      })
      .OpenFolder("f_directory_list", "data")
      .Click("Применить");
  TScopedUserAgent use(&user);
  Application->PostClick(dynamic_cast<TControl*>(host.panel->FindComponent("f_choose_button")));
  Application->ProcessMessages();
  EXPECT_EQ(host.panel->get_path(), ansi(tree.dir.path() / "data"));
  EXPECT_EQ(host.edit->Text, host.panel->get_path());
  EXPECT_EQ(host.notifications, 1);
  EXPECT_EQ(host.sender, host.panel);

  // Cancel: the stored path and the edit stay, nothing fires; the dialog opened at the path.
  user.Call([&](TForm& form) {
        EXPECT_EQ(static_cast<Tvo_vcl_path_form&>(form).get_directory(), ansi(tree.dir.path() / "data"));
      })
      .OpenFolder("f_directory_list", "..")
      .Click("Отменить");
  host.panel->choose_click(host.panel);
  EXPECT_EQ(host.panel->get_path(), ansi(tree.dir.path() / "data"));
  EXPECT_EQ(host.edit->Text, host.panel->get_path());
  EXPECT_EQ(host.notifications, 1);

  // A stored path that has gone away: the dialog starts at the home folder.
  fs::remove(tree.dir.path() / "data");
  user.Call([&](TForm& form) {
        EXPECT_EQ(static_cast<Tvo_vcl_path_form&>(form).get_directory(), ansi(tree.dir.path()));
      })
      .Close();
  host.panel->choose_click(host.panel);
  EXPECT_EQ(host.panel->get_path(), ansi(tree.dir.path() / "data"));
  EXPECT_EQ(user.PendingSteps(), 0);
}

TEST(VclPathPanel, ChosenFromInsideAModalDialog) {
  Tree tree;
  ScopedHome home(tree.dir.str());
  PanelHost host;
  TScriptedAgent user;
  user.Click("f_choose_button")
      .Call([&](TForm& form) {
        EXPECT_EQ(form.Name, "");  // the folder dialog, on top of the host
        EXPECT_FALSE(host.form->Enabled);
      })
      .OpenFolder("f_directory_list", ansi(tree.maps / "2024"))
      .Click("Применить")
      .Call([&](TForm& form) { EXPECT_EQ(&form, host.form.get()); })
      .Close();
  TScopedUserAgent use(&user);
  EXPECT_EQ(host.form->ShowModal(), mrCancel);
  EXPECT_EQ(host.panel->get_path(), ansi(tree.maps / "2024"));
  EXPECT_EQ(host.notifications, 1);
}

TEST(VclPathForm, PictureOfTheFolderDialog) {
  if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "rsvg-convert missing";
  Tree tree;
  TestPathForm form;
  form.Caption = "Выбор папки";
  form.set_directory(ansi(tree.dir.path()));
  const std::string svg = toolkit::RenderSvg(form);
  // The picture's texts are UTF-8.
  EXPECT_NE(svg.find(reinterpret_cast<const char*>(u8">Применить</text>")), std::string::npos);
  EXPECT_NE(svg.find(reinterpret_cast<const char*>(u8">Выбор папки</text>")), std::string::npos);
  EXPECT_EQ(svg.find(reinterpret_cast<const char*>(u8">Помощь</text>")), std::string::npos);
  const fs::path png = tree.dir.path() / "folder_dialog.png";
  toolkit::SavePng(form, png.string());
  EXPECT_GT(fs::file_size(png), 1000u);
}

}  // namespace

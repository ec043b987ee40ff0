// The dialog shown modally and answered by a scripted user: refusals, failed and successful
// runs, closing, and what the application is asked to open afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gis/document.h>
#include <toolkit/scripted_agent.h>
#include <toolkit/vcl.h>
#include <win32/paths.h>

#include "extension/vot_arcmap_areaclip_form.h"
#include "vot_arcgis/vot_arcgis_vcl.h"
#include "vot_vcl/vot_vcl_path.h"
#include "form_support.h"
#include "vot_arcgis/picker_map.h"

namespace {

namespace fs = std::filesystem;
using namespace form_test;
using win32::ComPtr;

std::vector<std::string> texts(const TScriptedAgent& user) {
  std::vector<std::string> out;
  for (const auto& box : user.Boxes()) out.push_back(box.text);
  return out;
}

class FormRun : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    map_ = std::make_unique<picker_test::PickerMap>();
    app_ = RecordingApp::make(map_->app);
    out_ = map_->folder() / "out";
    fs::create_directories(out_);
  }
  void TearDown() override {
    app_.reset();
    map_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }
  // The user's steps for a valid choice: layer, feature, folder.
  void pick(TScriptedAgent& user, const fs::path& folder) {
    user.Choose("f_layers_combo", "sheets")
        .Choose("f_objects_combo", "N-36-1")
        .Click("f_choose_button")
        .OpenFolder("f_directory_list", folder.string())
        .Click("f_ok_button");
  }
  std::string out_ansi() const { return win32::posix_path_to_ansi(out_.string()); }
  std::string current_document() const {
    ComPtr<IDocument> document;
    map_->app->get_Document(document.put());
    return gis::DocumentPath(document.get());
  }

  long alive_ = 0;
  std::unique_ptr<picker_test::PickerMap> map_;
  ComPtr<RecordingApp> app_;
  fs::path out_;
};

TEST_F(FormRun, ApplyWithoutPolygonShowsThePolygonBoxThenTheGeneralOne) {
  TScriptedAgent user;
  user.Click("f_apply_button")
      .Call([](TForm& form) {
        auto& dialog = static_cast<Tvo_arcmap_areaclip_form&>(form);
        EXPECT_TRUE(dialog.f_apply_button->Enabled);
        EXPECT_FALSE(dialog.f_progress_panel->Visible);
        EXPECT_EQ(dialog.f_progress_label->Caption(), "Apply!!!");
      })
      .Click("f_close_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  EXPECT_EQ(texts(user), (std::vector<std::string>{kNoPolygon, kBadParams}));
  EXPECT_TRUE(app_->log.empty());
  EXPECT_EQ(user.PendingSteps(), 0);
}

TEST_F(FormRun, ApplyWithAShortFolderShowsTheFolderBoxThenTheGeneralOne) {
  TScriptedAgent user;
  pick(user, "/");
  user.Click("f_apply_button").Click("f_close_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  EXPECT_EQ(texts(user), (std::vector<std::string>{kNoFolder, kBadParams}));
  EXPECT_TRUE(app_->log.empty());
}

TEST_F(FormRun, AFailedRunKeepsTheDialogOpenForAnotherAttempt) {
  app_->fail_save = true;  // the result document cannot be saved
  TScriptedAgent user;
  pick(user, out_);
  user.Click("f_apply_button")
      .Call([](TForm& form) {
        auto& dialog = static_cast<Tvo_arcmap_areaclip_form&>(form);
        EXPECT_TRUE(dialog.Visible);
        EXPECT_TRUE(dialog.f_apply_button->Enabled);
        EXPECT_TRUE(dialog.f_close_button->Enabled);
        EXPECT_TRUE(dialog.layer_object_panel()->Enabled);
        EXPECT_TRUE(dialog.path_panel()->Enabled);
        EXPECT_FALSE(dialog.f_progress_panel->Visible);
        EXPECT_FALSE(dialog.f_timer->Enabled);
        EXPECT_EQ(dialog.f_progress_bar->Position, 100);
      })
      .Click("f_close_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  EXPECT_EQ(texts(user), std::vector<std::string>{kRunFailed});
  EXPECT_EQ(user.Boxes()[0].caption, kErrorCaption);
  EXPECT_TRUE(app_->log.empty());
  EXPECT_EQ(user.PendingSteps(), 0);
}

// A folder holding a result document (a file, a folder or a link of that name) holds an
// earlier result: refused before the run, nothing written.
TEST_F(FormRun, AFolderHoldingAResultDocumentIsRefusedBeforeTheRun) {
  for (const std::string kind : {"file", "folder", "link"}) {
    SCOPED_TRACE(kind);
    const fs::path folder = out_ / kind;
    fs::create_directories(folder);
    if (kind == "file") std::ofstream(folder / "cross.mxd") << "earlier";
    if (kind == "folder") fs::create_directories(folder / "cross.mxd");
    if (kind == "link") fs::create_symlink(folder / "gone.mxd", folder / "cross.mxd");
    TScriptedAgent user;
    pick(user, folder);
    user.Click("f_apply_button").Click("f_close_button");
    TScopedUserAgent use(&user);
    show_cut_dialog(app_.get());
    EXPECT_EQ(texts(user), (std::vector<std::string>{kEarlierResult, kBadParams}));
    EXPECT_TRUE(app_->log.empty());
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) entries += entry.path().filename() == "cross.mxd" ? 1 : 100;
    EXPECT_EQ(entries, 1u) << "the run wrote into the folder";
  }
}

TEST_F(FormRun, ASuccessfulRunOpensTheFirstTemplateThenTheResult) {
  TScriptedAgent user;
  pick(user, out_);
  user.Click("f_apply_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  EXPECT_TRUE(user.Boxes().empty());
  EXPECT_EQ(user.PendingSteps(), 0);
  ComPtr<ITemplates> templates;
  map_->app->get_Templates(templates.put());
  win32::Bstr first;
  templates->get_Item(0, first.put());
  ASSERT_EQ(app_->log.size(), 2u);
  EXPECT_EQ(app_->log[0], "new " + first.utf8());
  EXPECT_EQ(app_->log[1], "open " + out_.string() + "\\cross.mxd");
  EXPECT_EQ(current_document(), (out_ / "cross.mxd").string());
  EXPECT_TRUE(fs::exists(out_ / "sheets.shp"));
}

TEST_F(FormRun, WithoutTemplatesTheResultIsStillOpened) {
  app_->no_templates = true;
  TScriptedAgent user;
  pick(user, out_);
  user.Click("f_apply_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  ASSERT_EQ(app_->log.size(), 1u);
  EXPECT_EQ(app_->log[0], "open " + out_.string() + "\\cross.mxd");
  EXPECT_EQ(current_document(), (out_ / "cross.mxd").string());
}

TEST_F(FormRun, CloseBeforeAnyRunOpensNothing) {
  for (bool close_box : {false, true}) {
    TScriptedAgent user;
    pick(user, out_);
    if (close_box)
      user.Close();
    else
      user.Click("f_close_button");
    TScopedUserAgent use(&user);
    show_cut_dialog(app_.get());
    EXPECT_TRUE(app_->log.empty());
    EXPECT_EQ(current_document(), map_->document().string());
    EXPECT_FALSE(fs::exists(out_ / "cross.mxd"));
  }
}

TEST_F(FormRun, ExecuteShowsProgressAndReturnsTrueAfterSuccess) {
  Tvo_arcmap_areaclip_form form(nullptr);
  std::vector<std::string> progress;
  TScriptedAgent user;
  pick(user, out_);
  user.Click("f_apply_button");
  TScopedUserAgent use(&user);
  EXPECT_TRUE(form.execute(app_.get()));
  EXPECT_EQ(form.get_map_path(), out_ansi() + "\\cross.mxd");
  // The last status text stays: a layer of the map being cut.
  EXPECT_EQ(form.f_progress_label->Caption().rfind("\xCE\xE1\xF0\xE0\xE1\xE0\xF2\xFB\xE2\xE0\xE5\xF2\xF1\xFF: ", 0),
            0u);
  EXPECT_EQ(form.f_progress_bar->Position, 100);
  EXPECT_TRUE(app_->log.empty());  // only show_cut_dialog opens documents
}

TEST_F(FormRun, ACloseRequestDuringARunWaitsUntilApplyReturns) {
  app_->fail_save = true;  // the run fails, so only the request closes the dialog
  TScriptedAgent user;
  pick(user, out_);
  user.Call([](TForm& form) {
    auto& dialog = static_cast<Tvo_arcmap_areaclip_form&>(form);
    Application->PostClick(dialog.f_apply_button);
    Application->PostCloseRequest(&dialog);  // dispatched inside the run's progress calls
  });
  user.Wait(0);  // lets the loop dispatch what was posted
  TScopedUserAgent use(&user);
  Tvo_arcmap_areaclip_form form(nullptr);
  EXPECT_FALSE(form.execute(app_.get()));
  EXPECT_EQ(texts(user), std::vector<std::string>{kRunFailed});
  EXPECT_FALSE(form.Visible);
  EXPECT_FALSE(form.f_progress_panel->Visible);
}

TEST_F(FormRun, AnExceptionInApplyIsShownAndTheDialogStaysEditable) {
  app_->plain_document = true;  // the document's IMxDocument query fails
  TScriptedAgent user;
  user.Answer(IDNO)    // set_application: go on without the map
      .Answer(IDYES)   // check_params: stop the operation
      .Answer(IDOK);   // the exception's message
  user.Click("f_apply_button")
      .Call([](TForm& form) {
        auto& dialog = static_cast<Tvo_arcmap_areaclip_form&>(form);
        EXPECT_TRUE(dialog.Visible);
        EXPECT_TRUE(dialog.f_apply_button->Enabled);
        EXPECT_FALSE(dialog.f_progress_panel->Visible);
      })
      .Click("f_close_button");
  TScopedUserAgent use(&user);
  show_cut_dialog(app_.get());
  ASSERT_EQ(user.Boxes().size(), 3u);
  EXPECT_EQ(user.Boxes()[0].caption, "HRCHECK: ");
  EXPECT_EQ(user.Boxes()[1].caption, "HRCHECK: ");
  EXPECT_NE(user.Boxes()[2].text.find("QueryInterface"), std::string::npos) << user.Boxes()[2].text_utf8;
  EXPECT_TRUE(app_->log.empty());
}

}  // namespace

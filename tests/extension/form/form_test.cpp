// The dialog outside a modal display: its form text, run-time controls, the parameter
// check and the progress operations.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <toolkit/scripted_agent.h>
#include <toolkit/vcl.h>
#include <vot_arcgis/vot_arcgis_vcl.h>
#include <vot_vcl/vot_vcl_path.h>
#include <win32/paths.h>

#include "extension/vot_arcmap_areaclip_form.h"
#include "form_support.h"
#include "vot_arcgis/picker_map.h"

namespace {

using namespace form_test;

class Form : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    map_ = std::make_unique<picker_test::PickerMap>();
    form_ = std::make_unique<Tvo_arcmap_areaclip_form>(nullptr);
  }
  void TearDown() override {
    form_.reset();
    map_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }
  void choose(const char* combo_name, const std::string& entry) {
    auto* combo = dynamic_cast<TComboBox*>(find(combo_name));
    ASSERT_TRUE(combo) << combo_name;
    int index = combo->Items->IndexOf(entry);
    ASSERT_GE(index, 0) << entry;
    combo->UserChoose(index);
  }
  TControl* find(const std::string& name) {
    std::vector<TControl*> stack{form_.get()};
    while (!stack.empty()) {
      TControl* c = stack.back();
      stack.pop_back();
      if (c->Name == name) return c;
      if (auto* w = dynamic_cast<TWinControl*>(c))
        for (int i = 0; i < w->ControlCount(); ++i) stack.push_back(w->Controls(i));
    }
    return nullptr;
  }
  // Chooses folder through the "..." button and the folder dialog.
  void choose_folder_path(const std::string& folder) {
    TScriptedAgent user;
    user.OpenFolder("f_directory_list", folder).Click("f_ok_button");
    TScopedUserAgent use(&user);
    form_->path_panel()->choose_click(nullptr);
    EXPECT_EQ(user.PendingSteps(), 0);
  }

  long alive_ = 0;
  std::unique_ptr<picker_test::PickerMap> map_;
  std::unique_ptr<Tvo_arcmap_areaclip_form> form_;
};

TEST_F(Form, IsBuiltFromItsFormText) {
  Tvo_arcmap_areaclip_form& f = *form_;
  EXPECT_EQ(f.Name, "vo_arcmap_areaclip_form");
  EXPECT_EQ(f.Caption(), "");
  EXPECT_EQ(f.ClientWidth, 578);
  EXPECT_EQ(f.ClientHeight, 262);
  EXPECT_EQ(f.BorderStyle, bsSizeToolWin);
  EXPECT_EQ(f.Position, poScreenCenter);
  EXPECT_EQ(f.Font->Name, "Tahoma");
  EXPECT_EQ(f.Font->Height, -11);
  EXPECT_EQ(f.Color, clBtnFace);
  EXPECT_EQ(f.Owner(), nullptr);

  EXPECT_EQ(f.f_btm_panel->BoundsRect(), Rect(0, 216, 578, 262));
  EXPECT_EQ(f.f_btm_panel->BevelOuter, bvNone);
  EXPECT_EQ(f.f_btn_panel->BoundsRect(), Rect(400, 0, 578, 46));
  EXPECT_EQ(f.f_close_button->BoundsRect(), Bounds(94, 14, 75, 25));
  EXPECT_EQ(f.f_apply_button->BoundsRect(), Bounds(13, 14, 75, 25));
  EXPECT_EQ(f.f_close_button->Anchors, (TAnchors{akTop, akRight}));
  EXPECT_EQ(f.f_close_button->TabOrder, 0);
  EXPECT_EQ(f.f_apply_button->TabOrder, 1);
  EXPECT_EQ(f.f_close_button->Caption(), "\xC7\xE0\xEA\xF0\xFB\xF2\xFC");                 // Закрыть
  EXPECT_EQ(f.f_apply_button->Caption(), "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC");         // Применить
  EXPECT_FALSE(f.f_progress_panel->Visible);
  EXPECT_EQ(f.f_progress_label->Caption(), "");
  EXPECT_EQ(f.f_progress_label->Left, 13);
  EXPECT_EQ(f.f_progress_label->Top, 7);
  EXPECT_EQ(f.f_progress_bar->BoundsRect(), Bounds(13, 26, 372, 14));
  EXPECT_EQ(f.f_progress_bar->Anchors, (TAnchors{akLeft, akTop, akRight, akBottom}));
  EXPECT_EQ(f.f_progress_bar->Min, 0);
  EXPECT_EQ(f.f_progress_bar->Max, 100);
  EXPECT_EQ(f.f_data_panel->BoundsRect(), Rect(0, 0, 578, 216));
  EXPECT_EQ(f.f_group_box->BoundsRect(), Rect(0, 162, 578, 216));
  EXPECT_EQ(f.f_group_box->Caption(), "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2");           // Результат
  EXPECT_FALSE(f.f_timer->Enabled);
  EXPECT_EQ(f.f_timer->Interval, 1000);

  // Run-time controls.
  Tvo_arcgis_layer_object_panel* picker = f.layer_object_panel();
  EXPECT_EQ(picker->Parent, f.f_data_panel);
  EXPECT_EQ(picker->Align, alTop);
  EXPECT_TRUE(picker->AlignWithMargins);
  EXPECT_EQ(picker->BoundsRect(), Rect(3, 3, 575, 123));
  EXPECT_EQ(f.path_panel()->Parent, f.f_group_box);
  EXPECT_EQ(f.path_panel()->Align, alTop);
  EXPECT_EQ(f.path_panel()->get_path(), "");
  EXPECT_EQ(f.path_panel()->get_caption(), "Папка результата");
  EXPECT_EQ(find("f_group_box")->Caption(), "Вырезаемый полигон");
  EXPECT_EQ(find("f_layer_caption_panel")->Caption(), "Слой полигона");
  EXPECT_EQ(find("f_object_caption_panel")->Caption(), "\xCE\xE1\xFA\xE5\xEA\xF2 \xEF\xEE\xEB\xE8\xE3\xEE\xED\xE0");

  EXPECT_EQ(f.get_map_path(), "");
  TCloseAction action = caHide;
  f.FormClose(&f, action);
  EXPECT_EQ(action, caFree);
}

TEST_F(Form, SetApplicationFillsThePickerFromTheFocusMap) {
  form_->set_application(map_->app.get());
  auto* layers = dynamic_cast<TComboBox*>(find("f_layers_combo"));
  ASSERT_TRUE(layers);
  EXPECT_EQ(layers->Items->Count(), 6);  // "Не выбран" and the five polygon layers
  choose("f_layers_combo", "sheets");
  choose("f_objects_combo", "N-36-1");
  // The display was handed on: the flash buttons are enabled.
  EXPECT_TRUE(find("f_highlight_button")->Enabled);
  form_->set_application(nullptr);
}

TEST_F(Form, CheckParamsWritesTheChoiceIntoTheParameterSet) {
  form_->set_application(map_->app.get());
  choose("f_layers_combo", "sheets");
  choose("f_objects_combo", "N-36-2");
  choose_folder_path("/tmp");  // 4 characters: accepted
  EXPECT_EQ(form_->check_params(), 0);
  Tvo_arcmap_areaclip_params* p = form_->params();
  EXPECT_EQ(p->get_owner(), static_cast<TObject*>(form_.get()));
  EXPECT_EQ(p->get_application().get(), map_->app.get());
  EXPECT_TRUE(p->get_document());
  LONG oid = -1;
  p->get_pgnobj()->get_feature()->get_OID(&oid);
  EXPECT_EQ(oid, 1);
  EXPECT_EQ(p->get_newmap()->get_folder(), "/tmp");
  EXPECT_EQ(p->get_newmap()->get_map_path(), "/tmp\\cross.mxd");
  EXPECT_EQ(form_->get_map_path(), "/tmp\\cross.mxd");
}

TEST_F(Form, CheckParamsRefusesAMissingPolygonBeforeLookingAtTheFolder) {
  form_->set_application(map_->app.get());
  TScriptedAgent user;
  TScopedUserAgent use(&user);
  EXPECT_EQ(form_->check_params(), 10);
  ASSERT_EQ(user.Boxes().size(), 1u);
  EXPECT_EQ(user.Boxes()[0].text, kNoPolygon);
  EXPECT_EQ(user.Boxes()[0].caption, kErrorCaption);
  EXPECT_EQ(user.Boxes()[0].type, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(form_->params()->get_pgnobj()->get_feature());
}

TEST_F(Form, CheckParamsRefusesAFolderShorterThanFourCharacters) {
  form_->set_application(map_->app.get());
  choose("f_layers_combo", "sheets");
  choose("f_objects_combo", "N-36-1");
  choose_folder_path("/");
  TScriptedAgent user;
  TScopedUserAgent use(&user);
  EXPECT_EQ(form_->check_params(), 10);
  ASSERT_EQ(user.Boxes().size(), 1u);
  EXPECT_EQ(user.Boxes()[0].text, kNoFolder);
  EXPECT_EQ(form_->params()->get_newmap()->get_map_path(), "");
}

TEST_F(Form, ProgressTextIsCutPastFiftyCharactersAndProcessesMessages) {
  int processed = 0;
  Application->Post(form_.get(), [&] { ++processed; });
  const std::string fifty(50, 'a');
  form_->set_progress_text(fifty);
  EXPECT_EQ(form_->f_progress_label->Caption(), fifty);
  EXPECT_EQ(processed, 1);
  form_->set_progress_text(fifty + "b");
  EXPECT_EQ(form_->f_progress_label->Caption(), std::string(47, 'a') + "...");
  // Russian texts count characters of the ANSI code page, one byte each.
  const std::string russian = "Обрабатывается: " + std::string(40, '\xDF');
  form_->set_progress_text(russian);
  EXPECT_EQ(form_->f_progress_label->Caption(), russian.substr(0, 47) + "...");
}

TEST_F(Form, ProgressPositionTakesZeroToHundredOnly) {
  int processed = 0;
  form_->set_progress_position(40);
  Application->Post(form_.get(), [&] { ++processed; });
  form_->set_progress_position(-1);
  form_->set_progress_position(101);
  EXPECT_EQ(form_->f_progress_bar->Position, 40);
  EXPECT_EQ(processed, 0);
  form_->set_progress_position(0);
  EXPECT_EQ(form_->f_progress_bar->Position, 0);
  EXPECT_EQ(processed, 1);
  form_->set_progress_position(100);
  EXPECT_EQ(form_->f_progress_bar->Position, 100);
}

TEST_F(Form, SetBusySwitchesTheControls) {
  form_->set_busy(true);
  EXPECT_FALSE(form_->layer_object_panel()->Enabled);
  EXPECT_FALSE(form_->path_panel()->Enabled);
  EXPECT_FALSE(form_->f_close_button->Enabled);
  EXPECT_FALSE(form_->f_apply_button->Enabled);
  EXPECT_TRUE(form_->f_progress_panel->Visible);
  form_->set_busy(false);
  EXPECT_TRUE(form_->layer_object_panel()->Enabled);
  EXPECT_TRUE(form_->path_panel()->Enabled);
  EXPECT_TRUE(form_->f_close_button->Enabled);
  EXPECT_TRUE(form_->f_apply_button->Enabled);
  EXPECT_FALSE(form_->f_progress_panel->Visible);
}

const char* g_replacement = "object vo_arcmap_areaclip_form: Tvo_arcmap_areaclip_form\nend\n";
std::string replacement_text() { return g_replacement; }

TEST(FormText, IsBuiltInAndCanBeReplaced) {
  std::string text = load_areaclip_form_text();
  EXPECT_EQ(text.rfind("object vo_arcmap_areaclip_form: Tvo_arcmap_areaclip_form", 0), 0u);
  EXPECT_NE(text.find("OnClick = f_apply_buttonClick"), std::string::npos);
  Tvo_arcmap_areaclip_form_loader previous = set_areaclip_form_loader(&replacement_text);
  EXPECT_EQ(load_areaclip_form_text(), g_replacement);
  // A text without the bound objects is refused when the dialog is read.
  EXPECT_THROW(Tvo_arcmap_areaclip_form(nullptr), EReadError);
  set_areaclip_form_loader(previous);
  EXPECT_EQ(load_areaclip_form_text(), text);
}

}  // namespace

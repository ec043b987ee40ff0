// The layer picker, the feature picker and the polygon picker on the real stand-in.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <toolkit/vcl.h>
#include <win32/com_object.h>

#include "vot_arcgis/picker_map.h"
#include "vot_arcgis/vot_arcgis_vcl.h"

namespace {

using picker_test::PickerMap;
using win32::ComPtr;

const std::string kNotSelected = "\xCD\xE5 \xE2\xFB\xE1\xF0\xE0\xED";  // "Не выбран" in Windows-1251

std::vector<std::string> entries(TComboBox* combo) { return combo->Items->List(); }

class Pickers : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    map_ = std::make_unique<PickerMap>();
  }
  void TearDown() override {
    form_.reset();
    map_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  // A polygon picker set up as the cut dialog sets it up, on the fixture map.
  Tvo_arcgis_layer_object_panel* polygon_picker(bool with_display = true) {
    form_ = std::make_unique<TForm>(nullptr);
    auto* panel = new Tvo_arcgis_layer_object_panel(form_.get());
    panel->Parent = form_.get();
    panel->Align = alTop;
    panel->build();
    panel->set_layer_filter(IID_IFeatureLayer);
    panel->set_geometry_types({esriGeometryPolygon, esriGeometryLine});
    panel->set_map(map_->map.get());
    if (with_display) panel->set_display(map_->display.get());
    return panel;
  }
  static void choose(TComboBox* combo, const std::string& entry) {
    int index = combo->Items->IndexOf(entry);
    ASSERT_GE(index, 0) << entry;
    combo->UserChoose(index);
  }
  static LONG oid(const TComInterface<IFeature>& feature) {
    LONG id = -1;
    if (feature) feature->get_OID(&id);
    return id;
  }

  long alive_ = 0;
  std::unique_ptr<PickerMap> map_;
  std::unique_ptr<TForm> form_;
};

TEST_F(Pickers, FeatureLayerFilterWithPolygonAndLineListsPolygonLayersOnly) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker();
  EXPECT_EQ(entries(panel->layers_combo_box()->combo()),
            (std::vector<std::string>{kNotSelected, "sheets", "blocks", "blocks by number", "blocks by day",
                                      "inner sheets"}));
  EXPECT_EQ(panel->layers_combo_box()->combo()->ItemIndex, 0);
  EXPECT_EQ(entries(panel->objects_combo_box()->combo()), std::vector<std::string>{kNotSelected});
  EXPECT_FALSE(panel->get_feature());
}

TEST_F(Pickers, WithoutFilterEveryLayerIsListedAndNotifiesOnlyOnUserChoice) {
  TForm form(nullptr);
  auto* picker = new Tvo_arcgis_layers_combo_box(&form);
  int notified = 0;
  TObject* sender = nullptr;
  picker->set_on_change([&](TObject* s) {
    ++notified;
    sender = s;
  });
  picker->set_map(map_->map.get());
  EXPECT_EQ(entries(picker->combo()),
            (std::vector<std::string>{kNotSelected, "sheets", "roads", "wells", "blocks", "blocks by number",
                                      "blocks by day", "lost", "Relief", "Group", "inner sheets"}));
  // A geometry set alone filters nothing: the shape rule needs the IFeatureLayer filter.
  picker->set_geometry_types({esriGeometryPolygon});
  EXPECT_EQ(picker->combo()->Items->Count(), 11);
  EXPECT_EQ(notified, 0);
  choose(picker->combo(), "roads");
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(sender, picker);
  EXPECT_EQ(picker->selected_layer().get(), map_->layer("roads").get());
  // The same layer listed again keeps the selection; one filtered out loses it.
  picker->set_geometry_types(Tvo_arcgis_geometry_types());
  picker->set_layer_filter(IID_IFeatureLayer);
  EXPECT_EQ(picker->combo()->Text(), "roads");
  picker->set_geometry_types({esriGeometryPolygon});
  EXPECT_EQ(picker->combo()->ItemIndex, 0);
  EXPECT_FALSE(picker->selected_layer());
  EXPECT_EQ(notified, 1);
  picker->set_map(nullptr);
  EXPECT_EQ(entries(picker->combo()), std::vector<std::string>{kNotSelected});
}

TEST_F(Pickers, GroupFilterListsGroupsAndBrokenSourceOnlyWithoutGeometryFilter) {
  TForm form(nullptr);
  auto* picker = new Tvo_arcgis_layers_combo_box(&form);
  picker->set_map(map_->map.get());
  picker->set_layer_filter(IID_ICompositeLayer);
  EXPECT_EQ(entries(picker->combo()), (std::vector<std::string>{kNotSelected, "Group"}));
  picker->set_layer_filter(IID_IFeatureLayer);
  EXPECT_NE(picker->combo()->Items->IndexOf("lost"), -1);
  picker->set_geometry_types({esriGeometryPolygon});
  EXPECT_EQ(picker->combo()->Items->IndexOf("lost"), -1);
}

TEST_F(Pickers, LabelsComeFromTheDisplayFieldOrTheObjectId) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker();
  TComboBox* layers = panel->layers_combo_box()->combo();
  TComboBox* features = panel->objects_combo_box()->combo();
  choose(layers, "sheets");
  EXPECT_EQ(entries(features), (std::vector<std::string>{kNotSelected, "N-36-1", "N-36-2", ""}));
  choose(layers, "blocks");
  EXPECT_EQ(entries(features), (std::vector<std::string>{kNotSelected, "0", "1"}));
  choose(layers, "blocks by number");
  EXPECT_EQ(entries(features), (std::vector<std::string>{kNotSelected, "7", ""}));
  choose(layers, "blocks by day");
  ASSERT_EQ(features->Items->Count(), 3);
  EXPECT_NE(features->Items->Strings(1).find("2024"), std::string::npos) << features->Items->Strings(1);
  EXPECT_NE(features->Items->Strings(1).find("15"), std::string::npos) << features->Items->Strings(1);
  EXPECT_EQ(features->Items->Strings(2), "");
}

TEST_F(Pickers, FeatureSelectionIsKeptAcrossALayerChangeByObjectId) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker();
  TComboBox* layers = panel->layers_combo_box()->combo();
  TComboBox* features = panel->objects_combo_box()->combo();
  choose(layers, "sheets");
  choose(features, "N-36-2");
  EXPECT_EQ(oid(panel->get_feature()), 1);
  choose(layers, "blocks");  // blocks has a feature 1 as well
  EXPECT_EQ(features->ItemIndex, 2);
  EXPECT_EQ(features->Text(), "1");
  EXPECT_EQ(oid(panel->get_feature()), 1);
  choose(features, "0");
  choose(layers, "inner sheets");
  EXPECT_EQ(features->Text(), "N-36-1");
  EXPECT_EQ(oid(panel->get_feature()), 0);
  choose(features, "");  // fid 2, null label
  choose(layers, "blocks");  // has no feature 2
  EXPECT_EQ(features->ItemIndex, 0);
  EXPECT_FALSE(panel->get_feature());
}

TEST_F(Pickers, FlashButtonsNeedAFeatureAndADisplay) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker(false);
  Tvo_arcgis_object_flash_panel* flash = panel->flash_panel();
  EXPECT_EQ(flash->highlight_button()->Caption(), "\xCF\xEE\xE4\xF1\xE2\xE5\xF2\xE8\xF2\xFC");  // Подсветить
  EXPECT_EQ(flash->focus_button()->Caption(), "Сфокусировать");
  EXPECT_FALSE(flash->highlight_button()->Enabled);
  EXPECT_FALSE(flash->focus_button()->Enabled);
  choose(panel->layers_combo_box()->combo(), "sheets");
  EXPECT_FALSE(flash->highlight_button()->Enabled);
  choose(panel->objects_combo_box()->combo(), "N-36-1");
  EXPECT_FALSE(flash->highlight_button()->Enabled);  // no display yet
  panel->set_display(map_->display.get());
  EXPECT_TRUE(flash->highlight_button()->Enabled);
  EXPECT_TRUE(flash->focus_button()->Enabled);
  choose(panel->objects_combo_box()->combo(), kNotSelected);
  EXPECT_FALSE(flash->highlight_button()->Enabled);
  EXPECT_FALSE(flash->focus_button()->Enabled);
}

TEST_F(Pickers, SelectionFallsBackWhenTheLayerIsGoneFromANewMap) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker();
  int notified = 0;
  panel->set_on_change([&](TObject* s) {
    EXPECT_EQ(s, panel);
    ++notified;
  });
  choose(panel->layers_combo_box()->combo(), "sheets");
  choose(panel->objects_combo_box()->combo(), "N-36-1");
  EXPECT_EQ(notified, 2);
  ASSERT_TRUE(panel->get_feature());
  EXPECT_TRUE(panel->flash_panel()->highlight_button()->Enabled);

  map_->open(map_->write_document("other.mxd", PickerMap::feature_layer("blocks", "data/blocks.shp")));
  panel->set_map(map_->map.get());
  EXPECT_EQ(entries(panel->layers_combo_box()->combo()), (std::vector<std::string>{kNotSelected, "blocks"}));
  EXPECT_EQ(panel->layers_combo_box()->combo()->ItemIndex, 0);
  EXPECT_EQ(entries(panel->objects_combo_box()->combo()), std::vector<std::string>{kNotSelected});
  EXPECT_FALSE(panel->get_feature());
  EXPECT_FALSE(panel->flash_panel()->highlight_button()->Enabled);
  EXPECT_FALSE(panel->flash_panel()->focus_button()->Enabled);
  EXPECT_EQ(notified, 2);
}

TEST_F(Pickers, LayoutStacksThePickersInTheGroupBox) {
  Tvo_arcgis_layer_object_panel* panel = polygon_picker();
  form_->ClientWidth = 572;
  EXPECT_EQ(panel->Height, 120);
  EXPECT_EQ(panel->layers_combo_box()->Height, 26);
  EXPECT_EQ(panel->objects_combo_box()->Height, 26);
  EXPECT_EQ(panel->flash_panel()->Height, 30);
  EXPECT_LT(panel->layers_combo_box()->Top, panel->objects_combo_box()->Top);
  EXPECT_LT(panel->objects_combo_box()->Top, panel->flash_panel()->Top);
  TButton* highlight = panel->flash_panel()->highlight_button();
  TButton* focus = panel->flash_panel()->focus_button();
  EXPECT_EQ(highlight->Width, 140);
  EXPECT_EQ(focus->Width, 140);
  EXPECT_EQ(highlight->BoundsRect().Right, panel->flash_panel()->Width - 3);
  EXPECT_EQ(panel->layers_combo_box()->combo()->Style, csDropDownList);
}

}  // namespace

// The feature `cut --feature` cuts by is the one the dialog's feature picker picks: labels
// the picker cannot tell apart (their letters missing from its code page) are refused with
// their ids, and `--feature-id` reaches the feature through the picker's entries.
#include <string>

#include <gtest/gtest.h>

#include "bad_input_sandbox.h"
#include "fixture.h"

namespace {

using bad_input::at;
using bad_input::CutResult;
using bad_input::feature_layer;
using bad_input::LayerSchema;
using bad_input::Sandbox;
using bad_input::square;

// "Города": feature 0 "Zörich" around the point "west", feature 1 "Zürich" around "east",
// and feature 2 "Москва" far from both; "Точки" holds the two points.
class PickerChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    box_.write_sheets();
    LayerSchema towns;
    towns.fields = {{"NAME", OFTString, 20}};
    bad_input::write_wkt(box_.data() / "towns.shp", towns,
                         {{square(0, 0, 1000, 1000), {"Zörich"}},
                          {square(5000, 5000, 6000, 6000), {"Zürich"}},
                          {square(9000, 9000, 9500, 9500), {"Москва"}}});
    LayerSchema points;
    points.type = wkbPoint;
    points.fields = {{"WHERE", OFTString, 10}};
    bad_input::write_wkt(box_.data() / "points.shp", points, {{"POINT (" + at(500, 500) + ")", {"west"}},
                                                              {"POINT (" + at(5500, 5500) + ")", {"east"}}});
    box_.write_document({feature_layer("Города", "data/towns.shp", "NAME"), feature_layer("Точки", "data/points.shp")});
  }

  // The WHERE values of the points a cut wrote.
  std::vector<std::string> points_written() const {
    std::vector<std::string> out;
    for (const auto& row : fixture::read_layer(box_.out() / "points.shp").rows) out.push_back(row.at("WHERE"));
    return out;
  }

  Sandbox box_;
};

TEST_F(PickerChoiceTest, LabelsThePickerShowsAlikeAreRefusedWithTheirIds) {
  for (const char* label : {"Zürich", "Zörich"}) {
    SCOPED_TRACE(label);
    const CutResult run = box_.cut(std::string("--layer 'Города' --feature '") + label + "'");
    EXPECT_EQ(run.code, 2) << run.out << run.err;
    EXPECT_NE(run.err.find("--feature-id"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("       0  \"Zörich\""), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("       1  \"Zürich\""), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(box_.out() / "cross.mxd"));
  }
}

TEST_F(PickerChoiceTest, TheFeatureListShowsWhatThePickerShows) {
  const CutResult run = box_.run("features map.mxd --layer 'Города'");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\"Zürich\"  area"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(the feature picker shows \"Z?rich\")"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("(the feature picker shows \"Москва\")"), std::string::npos) << run.out;
}

TEST_F(PickerChoiceTest, ALabelTheOneFeatureShowsAsButDoesNotHaveIsRefused) {
  // "Zärich" shows as "Z?rich" too; two features show so.
  CutResult run = box_.cut("--layer 'Города' --feature 'Zärich'");
  EXPECT_EQ(run.code, 2) << run.out << run.err;
  // "Мосsва" with a Latin "s": no feature shows so, and none is cut.
  run = box_.cut("--layer 'Города' --feature 'Mосква'");
  EXPECT_NE(run.code, 0) << run.out << run.err;
  EXPECT_FALSE(std::filesystem::exists(box_.out() / "cross.mxd"));
}

TEST_F(PickerChoiceTest, TheIdCutsByTheFeatureItNames) {
  for (const auto& [id, where] : {std::pair<int, const char*>{1, "east"}, {0, "west"}}) {
    SCOPED_TRACE(id);
    std::filesystem::remove_all(box_.out());
    const CutResult run = box_.cut("--layer 'Города' --feature-id " + std::to_string(id));
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(points_written(), std::vector<std::string>{where});
  }
}

TEST_F(PickerChoiceTest, ALabelOfTheCodePageCutsByItsFeature) {
  const CutResult run = box_.cut("--layer 'Города' --feature 'Москва'");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(points_written().empty());
}

}  // namespace

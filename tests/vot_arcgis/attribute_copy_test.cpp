// Attribute values go into the field of the same name wherever it stands: copied into a
// shapefile whose fields come in another order, with a source field the target lacks in
// front of the others, every value (null, text, integer, real, date) lands in its own column.
// The shapefile is read back with GDAL.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <gis/core.h>
#include <gis/gis.h>
#include <win32/com_object.h>
#include <win32/paths.h>

#include "fixture.h"
#include "support/com_test.h"
#include "vot_arcgis/vot_arcgis_params.h"

namespace {

namespace fs = std::filesystem;
using fixture::Feature;
using fixture::Field;
using Row = std::map<std::string, std::string>;

class AttributeCopy : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    gis::RegisterClasses();  // the classes create_shapefile_feature_class creates by class id
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  // Creates target.shp with the fields of layout.shp, in their order, and writes every
  // feature of source.shp into it through copy_attribute_values.
  void copy_into_target() {
    std::string error;
    TComInterface<IFeatureClass> layout = gis::OpenFeatureClass(path("layout.shp"), "", &error).get();
    ASSERT_TRUE(layout) << error;
    TComInterface<IFeatureClass> source = gis::OpenFeatureClass(path("source.shp"), "", &error).get();
    ASSERT_TRUE(source) << error;
    TComInterface<IFeatureClass> target = create_shapefile_feature_class(
        win32::posix_path_to_ansi(path("target.shp")), esriGeometryPoint, false, false, nullptr);
    ASSERT_TRUE(target);
    copy_attribute_fields(layout, target);

    LONG count = 0;
    ASSERT_EQ(source->FeatureCount(nullptr, &count), S_OK);
    for (LONG oid = 0; oid < count; ++oid) {
      TComInterface<IFeature> feature, copy;
      ASSERT_EQ(source->GetFeature(oid, &feature), S_OK);
      ASSERT_EQ(target->CreateFeature(&copy), S_OK);
      TComInterface<IGeometry> shape;
      feature->get_ShapeCopy(&shape);
      copy->putref_Shape(shape);
      copy_attribute_values(feature, copy);
      ASSERT_EQ(copy->Store(), S_OK) << "feature " << oid;
    }
  }

  std::string path(const char* name) const { return (dir_.path() / name).string(); }

  testing_support::TempDir dir_;
  long alive_ = 0;
};

TEST_F(AttributeCopy, ValuesFollowTheirFieldNamesNotPositions) {
  // SPARE comes first in the source and is missing from the target.
  fixture::write_layer(dir_.path() / "source.shp", wkbPoint, 32636,
                       {{"SPARE", OFTString, 10},
                        {"NAME", OFTString, 20},
                        {"COUNT", OFTInteger, 9},
                        {"RATIO", OFTReal, 16, 4},
                        {"DAY", OFTDate},
                        {"NOTE", OFTString, 30}},
                       {{"POINT (500100 6000100)", {"spare 1", "granite", "42", "2.5", "2021/03/04", "first"}},
                        {"POINT (500200 6000200)", {"spare 2", "", "", "", "", "all else null"}},
                        {"POINT (500300 6000300)", {"", "sand", "-7", "1234.5678", "1999/12/31", ""}}});
  // The target: the same fields in another order, and ONLY, which the source lacks.
  fixture::write_layer(dir_.path() / "layout.shp", wkbPoint, 32636,
                       {{"DAY", OFTDate},
                        {"NOTE", OFTString, 30},
                        {"ONLY", OFTString, 10},
                        {"RATIO", OFTReal, 16, 4},
                        {"COUNT", OFTInteger, 9},
                        {"NAME", OFTString, 20}},
                       {});

  copy_into_target();

  fixture::LayerContents target = fixture::read_layer(dir_.path() / "target.shp");
  ASSERT_TRUE(target.exists);
  EXPECT_EQ(target.field_names, (std::vector<std::string>{"DAY", "NOTE", "ONLY", "RATIO", "COUNT", "NAME"}));
  ASSERT_EQ(target.count, 3);
  // "" is a null.
  EXPECT_EQ(target.rows[0], (Row{{"DAY", "2021/03/04"},
                                 {"NOTE", "first"},
                                 {"ONLY", ""},
                                 {"RATIO", "2.5000"},
                                 {"COUNT", "42"},
                                 {"NAME", "granite"}}));
  EXPECT_EQ(target.rows[1], (Row{{"DAY", ""},
                                 {"NOTE", "all else null"},
                                 {"ONLY", ""},
                                 {"RATIO", ""},
                                 {"COUNT", ""},
                                 {"NAME", ""}}));
  EXPECT_EQ(target.rows[2], (Row{{"DAY", "1999/12/31"},
                                 {"NOTE", ""},
                                 {"ONLY", ""},
                                 {"RATIO", "1234.5678"},
                                 {"COUNT", "-7"},
                                 {"NAME", "sand"}}));
}

}  // namespace

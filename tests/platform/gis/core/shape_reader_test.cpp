// Reading features for drawing: what ReadShapes hands over agrees with what the feature
// cursor gives for the same features (shapes and field texts), the box and the system asked
// for are honoured, and shapes that cannot be drawn are counted, not lost unseen.
#include <cmath>
#include <filesystem>
#include <fstream>

#include <win32/com_ptr.h>

#include "core_test.h"

namespace core_test {
namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

class ShapeReader : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    dir_ = fs::temp_directory_path() / ("areaclip_shape_reader_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    CoreTest::TearDown();
  }
  std::string write(const std::string& name, const std::string& geojson) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << geojson;
    return path;
  }
  ComPtr<IFeatureClass> open(const std::string& path) {
    std::string error;
    ComPtr<IFeatureClass> fc = gis::OpenFeatureClass(path, "", &error);
    EXPECT_TRUE(fc) << error;
    return fc;
  }
  static LONG field(IFeatureClass* fc, const char* name) {
    LONG index = -1;
    win32::Bstr b = win32::Bstr::from_utf8(name);
    fc->FindField(b.get(), &index);
    return index;
  }

  fs::path dir_;
};

struct Read {
  std::vector<std::vector<gis::ShapeParts>> shapes;
  std::vector<std::vector<std::string>> values;
};

Read read(IFeatureClass* fc, const double* box, ISpatialReference* in, const std::vector<LONG>& fields,
          long* left_out = nullptr, HRESULT* hr = nullptr) {
  Read r;
  const HRESULT result = gis::ReadShapes(
      fc, box, in, fields,
      [&](const std::vector<gis::ShapeParts>& shapes, const std::vector<std::string>& values) {
        r.shapes.push_back(shapes);
        r.values.push_back(values);
      },
      left_out);
  if (hr) *hr = result;
  else EXPECT_EQ(result, S_OK);
  return r;
}

const char kMixed[] = R"({"type": "FeatureCollection", "features": [
  {"type": "Feature", "properties": {"NAME": "Озеро", "DEPTH": 12.5, "N": 7},
   "geometry": {"type": "Polygon", "coordinates": [[[0,0],[10,0],[10,10],[0,10],[0,0]], [[2,2],[4,2],[4,4],[2,2]]]}},
  {"type": "Feature", "properties": {"NAME": null, "DEPTH": -0.25, "N": null},
   "geometry": {"type": "MultiPolygon", "coordinates": [[[[20,0],[30,0],[30,5],[20,0]]], [[[40,0],[50,0],[50,5],[40,0]]]]}},
  {"type": "Feature", "properties": {"NAME": "", "DEPTH": 1e21, "N": -3},
   "geometry": null}]})";

// The same features read through the class's cursor and through ReadShapes: the same shapes
// (parts, dimension, every coordinate) and the same texts for the fields asked for, in the
// order asked; the object id too.
TEST_F(ShapeReader, GivesWhatTheCursorGivesForTheFieldsAskedFor) {
  ComPtr<IFeatureClass> fc = open(write("areas.geojson", kMixed));
  ASSERT_TRUE(fc);
  const std::vector<LONG> fields = {field(fc.get(), "DEPTH"), field(fc.get(), "NAME"), field(fc.get(), "FID"),
                                    field(fc.get(), "N")};
  for (LONG f : fields) ASSERT_GE(f, 0);
  const Read fast = read(fc.get(), nullptr, nullptr, fields);

  Read slow;
  ComPtr<IFeatureCursor> cursor;
  ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, cursor.put()), S_OK);
  ComPtr<IFeature> feature;
  while (cursor->NextFeature(feature.put()) == S_OK) {
    ComPtr<IGeometry> shape;
    feature->get_ShapeCopy(shape.put());
    std::vector<gis::ShapeParts> shapes = gis::GeometryShapes(shape.get());
    if (shapes.empty()) continue;  // the feature without a shape is not drawn
    std::vector<std::string> values;
    for (LONG f : fields) {
      VARIANT v;
      VariantInit(&v);
      feature->get_Value(f, &v);
      values.push_back(gis::ValueText(v));
      VariantClear(&v);
    }
    slow.shapes.push_back(shapes);
    slow.values.push_back(values);
  }
  ASSERT_EQ(fast.shapes.size(), 2u);
  ASSERT_EQ(slow.shapes.size(), 2u);
  EXPECT_EQ(fast.values, slow.values);
  EXPECT_EQ(fast.values[0][1], "Озеро");
  EXPECT_EQ(fast.values[1][1], "");  // null
  EXPECT_EQ(fast.values[1][0], "-0.25");
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(fast.shapes[i].size(), 1u);
    EXPECT_EQ(fast.shapes[i][0].dimension, 2);
    EXPECT_EQ(fast.shapes[i][0].part_ends, slow.shapes[i][0].part_ends) << i;
    ASSERT_EQ(fast.shapes[i][0].xy.size(), slow.shapes[i][0].xy.size()) << i;
    // GEOS may start a ring elsewhere; the sets of vertices agree.
    auto a = fast.shapes[i][0].xy, b = slow.shapes[i][0].xy;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << i;
  }
  // The polygon with its hole: two rings; the two polygons of the multipolygon: two rings of one area.
  EXPECT_EQ(fast.shapes[0][0].part_ends, (std::vector<int>{5, 9}));
  EXPECT_EQ(fast.shapes[1][0].part_ends, (std::vector<int>{4, 8}));
}

// Only the features near the box come, in the system asked for; points that cannot be taken
// into it are counted as left out.
TEST_F(ShapeReader, BoxAndSystemAreHonouredAndUnprojectableShapesCounted) {
  std::string points = R"({"type": "FeatureCollection", "features": [)";
  for (int i = 0; i < 80; ++i)
    points += std::string(i ? "," : "") + R"({"type": "Feature", "properties": {}, "geometry": {"type": "Point", "coordinates": [)" +
              std::to_string(i) + "," + std::to_string(i) + "]}}";
  points += "]}";
  ComPtr<IFeatureClass> fc = open(write("diagonal.geojson", points));
  ASSERT_TRUE(fc);
  ComPtr<ISpatialReference> mercator = gis::SpatialReferenceFromText("EPSG:3857");
  ASSERT_TRUE(mercator);

  // The whole class in Web Mercator: every point up to 85° north; the rest cannot be projected.
  long left_out = 0;
  Read all = read(fc.get(), nullptr, mercator.get(), {}, &left_out);
  EXPECT_EQ(all.shapes.size() + left_out, 80u);
  EXPECT_GE(all.shapes.size(), 80u - 10u);
  ASSERT_FALSE(all.shapes.empty());
  const gis::ShapeParts& third = all.shapes[3][0];
  EXPECT_EQ(third.dimension, 0);
  EXPECT_NEAR(third.xy[0], 3 * 6378137.0 * M_PI / 180, 1e-3);

  // A box of the first ten degrees, given in metres (10° north lies a little higher than
  // 10° east is wide).
  const double ten = 10 * 6378137.0 * M_PI / 180;
  const double box[4] = {-1, -1, ten, ten * 1.01};
  left_out = 0;
  Read near = read(fc.get(), box, mercator.get(), {}, &left_out);
  EXPECT_GE(near.shapes.size(), 11u);
  EXPECT_LE(near.shapes.size(), 12u);
  EXPECT_EQ(left_out, 0);
  for (const auto& s : near.shapes) EXPECT_LE(s[0].xy[0], ten * 1.2);
}

// A cancel asked for stops the reading with E_ABORT; reading goes on after a reset.
TEST_F(ShapeReader, StopsWhenCancelled) {
  ComPtr<IFeatureClass> fc = open(write("areas.geojson", kMixed));
  ASSERT_TRUE(fc);
  gis::RequestCancel();
  HRESULT hr = S_OK;
  Read r = read(fc.get(), nullptr, nullptr, {}, nullptr, &hr);
  gis::ResetCancel();
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(hr, E_ABORT);
  EXPECT_TRUE(r.shapes.empty());
  EXPECT_EQ(read(fc.get(), nullptr, nullptr, {}).shapes.size(), 2u);
}

// The extent recorded by the source, and taken into another system.
TEST_F(ShapeReader, BoundsOfAClass) {
  ComPtr<IFeatureClass> fc = open(write("areas.geojson", kMixed));
  ASSERT_TRUE(fc);
  double box[4];
  ASSERT_TRUE(gis::FeatureClassBounds(fc.get(), nullptr, box));
  EXPECT_EQ(std::vector<double>(box, box + 4), (std::vector<double>{0, 0, 50, 10}));
  ComPtr<ISpatialReference> mercator = gis::SpatialReferenceFromText("EPSG:3857");
  ASSERT_TRUE(gis::FeatureClassBounds(fc.get(), mercator.get(), box));
  EXPECT_NEAR(box[2], 50 * 6378137.0 * M_PI / 180, 1);
  EXPECT_FALSE(gis::FeatureClassBounds(nullptr, nullptr, box));
}

}  // namespace
}  // namespace core_test

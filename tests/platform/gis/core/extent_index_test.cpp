// The extent index of a shapefile without a spatial index (what ReadShapes learns of where
// its features lie, so that later views read only the records that may show): the readings
// through it give the features OGR's own spatial filter gives, by id and in the same order,
// for views on edges, between features, empty, outside and over the whole; a source
// rewritten on disk is read anew; readings on several threads share one index.
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <ogrsf_frmts.h>
#include <win32/com_ptr.h>

#include "core_test.h"
#include "gis/shape_index.h"

namespace core_test {
namespace {

namespace fs = std::filesystem;
using win32::ComPtr;
using Ids = std::vector<long long>;

// Writes a shapefile of the type with one feature per WKT ("" for a feature without a
// shape) and an integer N counting from 0.
void write_shapefile(const fs::path& path, OGRwkbGeometryType type, const std::vector<std::string>& wkts) {
  GDALAllRegister();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
  ASSERT_TRUE(driver);
  if (fs::exists(path)) driver->Delete(path.c_str());
  std::unique_ptr<GDALDataset> ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  ASSERT_TRUE(ds);
  OGRLayer* layer = ds->CreateLayer(path.stem().c_str(), nullptr, type, nullptr);
  ASSERT_TRUE(layer);
  OGRFieldDefn n("N", OFTInteger);
  ASSERT_EQ(layer->CreateField(&n), OGRERR_NONE);
  for (size_t i = 0; i < wkts.size(); ++i) {
    OGRFeature f(layer->GetLayerDefn());
    f.SetField("N", static_cast<int>(i));
    if (!wkts[i].empty()) {
      OGRGeometry* g = nullptr;
      ASSERT_EQ(OGRGeometryFactory::createFromWkt(wkts[i].c_str(), nullptr, &g), OGRERR_NONE) << wkts[i];
      f.SetGeometryDirectly(g);
    }
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
}

// The ids OGR's spatial filter (and the condition) gives for the box (null: every feature
// with a shape), in reading order.
Ids ogr_ids(const fs::path& path, const double* box, const char* where = nullptr) {
  std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
  EXPECT_TRUE(ds);
  if (!ds) return {};
  OGRLayer* layer = ds->GetLayer(0);
  if (where) layer->SetAttributeFilter(where);
  if (box) layer->SetSpatialFilterRect(box[0], box[1], box[2], box[3]);
  Ids out;
  for (auto& f : *layer)
    if (f->GetGeometryRef() && !f->GetGeometryRef()->IsEmpty()) out.push_back(f->GetFID());
  return out;
}

LONG field(IFeatureClass* fc, const char* name) {
  LONG index = -1;
  fc->FindField(win32::Bstr::from_utf8(name).get(), &index);
  return index;
}

// The ids ReadShapes hands over for the box, in order.
Ids read_ids(IFeatureClass* fc, const double* box) {
  Ids out;
  const LONG fid = field(fc, "FID");
  EXPECT_EQ(gis::ReadShapes(fc, box, nullptr, {fid},
                            [&](const std::vector<gis::ShapeParts>&, const std::vector<std::string>& values) {
                              out.push_back(std::stoll(values[0]));
                            }),
            S_OK);
  return out;
}

struct Box {
  const char* what;
  double box[4];
};

// Views of the 0..100 square the layers below fill.
const std::vector<Box> kViews = {
    {"whole extent", {0, 0, 100, 100}},
    {"far beyond it", {-1e7, -1e7, 1e7, 1e7}},
    {"edges on the grid", {10, 10, 30, 30}},
    {"between the grid's features", {11.5, 11.5, 14.5, 14.5}},
    {"a point", {50, 50, 50, 50}},
    {"outside", {200, 200, 300, 300}},
    {"touching the extent from outside", {100, 40, 120, 60}},
    {"beside the diagonal, within its envelope", {80, 80, 90, 90}},
    {"in the hole", {40, 40, 60, 60}},
    {"a thin strip", {0, 49.999, 100, 50.001}},
};

std::vector<std::string> points() {
  std::vector<std::string> out;
  for (int i = 0; i <= 10; ++i)
    for (int j = 0; j <= 10; ++j) out.push_back("POINT (" + std::to_string(i * 10) + " " + std::to_string(j * 10) + ")");
  out.insert(out.begin() + 5, "");  // a feature without a shape
  return out;
}

std::vector<std::string> lines() {
  std::vector<std::string> out;
  for (int k = 0; k <= 10; ++k)
    out.push_back("LINESTRING (0 " + std::to_string(k * 10) + ", 30 " + std::to_string(k * 10 + 3) + ")");
  out.push_back("LINESTRING (0 100, 100 0)");  // its envelope is the whole square
  out.push_back("");
  out.push_back("MULTILINESTRING ((60 60, 65 65), (95 95, 100 100))");
  out.push_back("LINESTRING (30 12, 40 12)");  // from the corner of a view's edge outwards
  return out;
}

std::vector<std::string> polygons() {
  std::vector<std::string> out;
  for (int i = 0; i < 10; ++i) {
    const std::string a = std::to_string(i * 10), b = std::to_string(i * 10 + 5);
    out.push_back("POLYGON ((" + a + " " + a + ", " + b + " " + a + ", " + b + " " + b + ", " + a + " " + b + ", " + a +
                  " " + a + "))");
  }
  out.push_back("POLYGON ((20 20, 80 20, 80 80, 20 80, 20 20), (30 30, 70 30, 70 70, 30 70, 30 30))");
  out.push_back("POLYGON ((0 100, 100 0, 100 100, 0 100))");  // a triangle beside the lower left half
  out.push_back("MULTIPOLYGON (((30 0, 40 0, 40 10, 30 0)), ((90 10, 100 10, 100 20, 90 10)))");
  return out;
}

class ExtentIndex : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    dir_ = fs::temp_directory_path() / ("areaclip_extent_index_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    CoreTest::TearDown();
  }
  ComPtr<IFeatureClass> open(const fs::path& path, const std::string& filter = "") {
    std::string error;
    ComPtr<IFeatureClass> fc = gis::OpenFeatureClass(path.string(), "", &error, nullptr, filter);
    EXPECT_TRUE(fc) << error;
    return fc;
  }
  // Each view read through the class's index gives what OGR's filter gives.
  void expect_views_as_ogr(IFeatureClass* fc, const fs::path& path, const char* where = nullptr) {
    for (const Box& v : kViews) {
      SCOPED_TRACE(v.what);
      EXPECT_EQ(read_ids(fc, v.box), ogr_ids(path, v.box, where));
    }
  }

  fs::path dir_;
};

struct Layer {
  const char* name;
  OGRwkbGeometryType type;
  std::vector<std::string> (*wkts)();
};

const Layer kLayers[] = {{"points", wkbPoint, points}, {"lines", wkbLineString, lines}, {"polygons", wkbPolygon, polygons}};

// Learnt from a reading of the whole; then every view reads through the index.
TEST_F(ExtentIndex, ViewsAfterAWholeReadingGiveWhatOgrsFilterGives) {
  for (const Layer& l : kLayers) {
    SCOPED_TRACE(l.name);
    const fs::path path = dir_ / (std::string(l.name) + ".shp");
    write_shapefile(path, l.type, l.wkts());
    ComPtr<IFeatureClass> fc = open(path);
    ASSERT_TRUE(fc);
    EXPECT_EQ(gis::ExtentIndexSize(fc.get()), 0u);
    const Ids all = read_ids(fc.get(), nullptr);
    EXPECT_EQ(all, ogr_ids(path, nullptr));
    EXPECT_EQ(gis::ExtentIndexSize(fc.get()), all.size());  // the features without a shape are not in it
    expect_views_as_ogr(fc.get(), path);
    EXPECT_EQ(read_ids(fc.get(), nullptr), all);
  }
}

// The first reading is of a small view: it reads everything, tests the box itself and
// learns; its answer is OGR's too.
TEST_F(ExtentIndex, AFirstReadingOfAViewLearnsAndGivesWhatOgrsFilterGives) {
  for (const Layer& l : kLayers) {
    SCOPED_TRACE(l.name);
    const fs::path path = dir_ / (std::string(l.name) + ".shp");
    write_shapefile(path, l.type, l.wkts());
    for (const Box& first : kViews) {
      SCOPED_TRACE(first.what);
      ComPtr<IFeatureClass> fc = open(path);
      ASSERT_TRUE(fc);
      EXPECT_EQ(read_ids(fc.get(), first.box), ogr_ids(path, first.box));
      EXPECT_EQ(gis::ExtentIndexSize(fc.get()), ogr_ids(path, nullptr).size());
    }
  }
}

// A class that serves only the features meeting a condition learns only those (the ids
// then have gaps); its views still give what OGR gives with the same condition.
TEST_F(ExtentIndex, AClassWithAConditionKeepsOnlyItsFeatures) {
  const fs::path path = dir_ / "points.shp";
  write_shapefile(path, wkbPoint, points());
  ComPtr<IFeatureClass> fc = open(path, "N % 3 = 1");
  ASSERT_TRUE(fc);
  EXPECT_EQ(read_ids(fc.get(), nullptr), ogr_ids(path, nullptr, "N % 3 = 1"));
  EXPECT_EQ(gis::ExtentIndexSize(fc.get()), ogr_ids(path, nullptr, "N % 3 = 1").size());
  expect_views_as_ogr(fc.get(), path, "N % 3 = 1");
}

// Rewritten between two readings (other features, then the same sizes at a later time):
// the index is dropped, the next reading gives the new features and learns them.
TEST_F(ExtentIndex, ASourceRewrittenOnDiskIsReadAnew) {
  const fs::path path = dir_ / "lines.shp";
  write_shapefile(path, wkbLineString, lines());
  ComPtr<IFeatureClass> fc = open(path);
  ASSERT_TRUE(fc);
  read_ids(fc.get(), nullptr);
  ASSERT_GT(gis::ExtentIndexSize(fc.get()), 0u);

  std::vector<std::string> moved = lines();
  moved.resize(5);
  moved.push_back("LINESTRING (85 85, 88 88)");
  write_shapefile(path, wkbLineString, moved);
  const double corner[4] = {80, 80, 90, 90};
  EXPECT_EQ(read_ids(fc.get(), corner), (Ids{5}));
  EXPECT_EQ(gis::ExtentIndexSize(fc.get()), 6u);

  // The same number of records and bytes, another place; only the files' times differ
  // (set apart by more than the file system's clock step).
  moved.back() = "LINESTRING (15 15, 18 18)";
  const auto sizes = fs::file_size(path);
  const auto before = fs::last_write_time(path);
  write_shapefile(path, wkbLineString, moved);
  ASSERT_EQ(fs::file_size(path), sizes);
  for (const char* ext : {".shp", ".shx", ".dbf"})
    fs::last_write_time(fs::path(path).replace_extension(ext), before + std::chrono::seconds(2));
  const double lower[4] = {10, 10, 20, 20};
  EXPECT_EQ(read_ids(fc.get(), lower), ogr_ids(path, lower));
  EXPECT_EQ(read_ids(fc.get(), lower), (Ids{1, 5}));
  EXPECT_EQ(read_ids(fc.get(), corner), Ids{});
}

// Drawings on several threads read one class at once, none learnt before: each gets what
// OGR gives, and the class ends with one index (run under ThreadSanitizer too).
TEST_F(ExtentIndex, ReadingsOnSeveralThreadsShareOneIndex) {
  const fs::path path = dir_ / "polygons.shp";
  write_shapefile(path, wkbPolygon, polygons());
  std::vector<Ids> expected;
  for (const Box& v : kViews) expected.push_back(ogr_ids(path, v.box));
  ComPtr<IFeatureClass> fc = open(path);
  ASSERT_TRUE(fc);
  std::vector<std::vector<Ids>> got(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < got.size(); ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (size_t v = 0; v < kViews.size(); ++v) got[t].push_back(read_ids(fc.get(), kViews[(v + t) % kViews.size()].box));
    });
  for (std::thread& t : threads) t.join();
  for (size_t t = 0; t < got.size(); ++t)
    for (size_t i = 0; i < got[t].size(); ++i) {
      SCOPED_TRACE(kViews[(i + t) % kViews.size()].what);
      EXPECT_EQ(got[t][i], expected[(i + t) % kViews.size()]) << "thread " << t;
    }
  EXPECT_EQ(gis::ExtentIndexSize(fc.get()), ogr_ids(path, nullptr).size());
}

// A shapefile with a spatial index of its own (.qix) and a GeoPackage (its R-tree) are left
// to OGR, whose filter uses their index: no index is kept.
TEST_F(ExtentIndex, SourcesWithASpatialIndexOfTheirOwnKeepNone) {
  const fs::path shp = dir_ / "points.shp";
  write_shapefile(shp, wkbPoint, points());
  {
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE));
    ASSERT_TRUE(ds);
    ds->ExecuteSQL("CREATE SPATIAL INDEX ON points", nullptr, nullptr);
  }
  ASSERT_TRUE(fs::exists(dir_ / "points.qix"));
  const fs::path gpkg = dir_ / "points.gpkg";
  {
    std::unique_ptr<GDALDataset> src(GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR));
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
    ASSERT_TRUE(src && driver);
    std::unique_ptr<GDALDataset> out(driver->Create(gpkg.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->CopyLayer(src->GetLayer(0), "points"));
  }
  for (const fs::path& path : {shp, gpkg}) {
    SCOPED_TRACE(path.filename().string());
    {
      std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
      ASSERT_TRUE(ds);
      EXPECT_TRUE(ds->GetLayer(0)->TestCapability(OLCFastSpatialFilter));
    }
    ComPtr<IFeatureClass> fc = open(path);
    ASSERT_TRUE(fc);
    EXPECT_EQ(read_ids(fc.get(), nullptr), ogr_ids(path, nullptr));
    EXPECT_EQ(gis::ExtentIndexSize(fc.get()), 0u);
    expect_views_as_ogr(fc.get(), path);
  }
}

}  // namespace
}  // namespace core_test

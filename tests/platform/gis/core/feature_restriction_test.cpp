// A feature class limited to some of its features: Search (whole, by where clause, by
// rectangle), FeatureCount and ReadShapes serve exactly those, in the source's order, with
// their own ids and values; lifting the limit serves all again. Shapefiles and GeoJSON are
// read in turn, GeoPackages by id.
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include <ogrsf_frmts.h>
#include <win32/com_ptr.h>

#include "core_test.h"

namespace core_test {
namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

// Six points (i, i) with N = 10 i, in a new source of the driver.
void write_points(const fs::path& path, const char* driver_name) {
  GDALAllRegister();
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driver_name);
  ASSERT_TRUE(driver);
  std::unique_ptr<GDALDataset> ds(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  ASSERT_TRUE(ds);
  OGRSpatialReference srs;
  srs.importFromEPSG(32636);
  OGRLayer* layer = ds->CreateLayer("points", &srs, wkbPoint, nullptr);
  ASSERT_TRUE(layer);
  OGRFieldDefn n("N", OFTInteger);
  ASSERT_EQ(layer->CreateField(&n), OGRERR_NONE);
  for (int i = 0; i < 6; ++i) {
    OGRFeature f(layer->GetLayerDefn());
    f.SetField("N", 10 * i);
    OGRPoint p(i, i);
    f.SetGeometry(&p);
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
}

struct Served {
  std::vector<LONG> ids;
  std::vector<long> values;  // N
};

Served drain(IFeatureCursor* cursor) {
  Served out;
  EXPECT_TRUE(cursor);
  if (!cursor) return out;
  ComPtr<IFeature> feature;
  HRESULT hr;
  while ((hr = cursor->NextFeature(feature.put())) == S_OK && feature) {
    LONG id = -1;
    feature->get_OID(&id);
    VARIANT v;
    VariantInit(&v);
    feature->get_Value(2, &v);
    VariantChangeType(&v, &v, 0, VT_I4);
    out.ids.push_back(id);
    out.values.push_back(v.lVal);
    VariantClear(&v);
  }
  EXPECT_EQ(hr, S_FALSE);
  return out;
}

Served search(IFeatureClass* fc, const char* where = nullptr) {
  ComPtr<IQueryFilter> filter;
  if (where) {
    filter = create<IQueryFilter>(CLSID_QueryFilter);
    filter->put_WhereClause(win32::Bstr::from_utf8(where).get());
  }
  ComPtr<IFeatureCursor> cursor;
  EXPECT_EQ(fc->Search(filter.get(), VARIANT_FALSE, cursor.put()), S_OK);
  return drain(cursor.get());
}

LONG count(IFeatureClass* fc, const char* where = nullptr) {
  ComPtr<IQueryFilter> filter;
  if (where) {
    filter = create<IQueryFilter>(CLSID_QueryFilter);
    filter->put_WhereClause(win32::Bstr::from_utf8(where).get());
  }
  LONG n = -1;
  EXPECT_EQ(fc->FeatureCount(filter.get(), &n), S_OK);
  return n;
}

std::vector<std::string> drawn(IFeatureClass* fc) {
  std::vector<std::string> out;
  EXPECT_EQ(gis::ReadShapes(fc, nullptr, nullptr, {2},
                            [&](const std::vector<gis::ShapeParts>&, const std::vector<std::string>& values) {
                              out.push_back(values[0]);
                            }),
            S_OK);
  return out;
}

class FeatureRestriction : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    dir_ = fs::temp_directory_path() / ("areaclip_restriction_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    CoreTest::TearDown();
  }
  fs::path dir_;
};

TEST_F(FeatureRestriction, ServesOnlyTheFeaturesNamedInTheSourcesOrder) {
  for (const auto& [file, driver] : {std::pair<const char*, const char*>{"p.shp", "ESRI Shapefile"},
                                     {"p.gpkg", "GPKG"},
                                     {"p.geojson", "GeoJSON"}}) {
    SCOPED_TRACE(file);
    write_points(dir_ / file, driver);
    std::string error;
    ComPtr<IFeatureClass> fc = gis::OpenFeatureClass((dir_ / file).string(), "", &error);
    ASSERT_TRUE(fc) << error;
    const Served all = search(fc.get());
    ASSERT_EQ(all.values, (std::vector<long>{0, 10, 20, 30, 40, 50}));

    const std::vector<LONG> some = {all.ids[1], all.ids[3], all.ids[4]};
    ASSERT_TRUE(gis::RestrictFeatures(fc.get(), std::make_shared<const std::vector<LONG>>(some)));
    const Served served = search(fc.get());
    EXPECT_EQ(served.ids, some);
    EXPECT_EQ(served.values, (std::vector<long>{10, 30, 40}));
    EXPECT_EQ(count(fc.get()), 3);
    EXPECT_EQ(search(fc.get(), "N >= 30").values, (std::vector<long>{30, 40}));
    EXPECT_EQ(count(fc.get(), "N >= 30"), 2);
    EXPECT_EQ(drawn(fc.get()), (std::vector<std::string>{"10", "30", "40"}));
    const double box[4] = {-1, -1, 10, 10};
    ComPtr<IFeatureCursor> within;
    ASSERT_EQ(gis::SearchFeaturesWithin(fc.get(), box, nullptr, within.put()), S_OK);
    EXPECT_EQ(drain(within.get()).values, (std::vector<long>{10, 30, 40}));
    // Two cursors at once, each whole.
    ComPtr<IFeatureCursor> a, b;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, a.put()), S_OK);
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, b.put()), S_OK);
    EXPECT_EQ(drain(a.get()).ids, some);
    EXPECT_EQ(drain(b.get()).ids, some);
    // A feature outside the limit is still there by its id.
    ComPtr<IFeature> first;
    EXPECT_EQ(fc->GetFeature(all.ids[0], first.put()), S_OK);
    first.reset();

    ASSERT_TRUE(gis::RestrictFeatures(fc.get(), std::make_shared<const std::vector<LONG>>()));
    EXPECT_TRUE(search(fc.get()).ids.empty());
    EXPECT_EQ(count(fc.get()), 0);
    EXPECT_TRUE(drawn(fc.get()).empty());

    ASSERT_TRUE(gis::RestrictFeatures(fc.get(), nullptr));
    EXPECT_EQ(search(fc.get()).ids, all.ids);
    EXPECT_EQ(count(fc.get()), 6);
    EXPECT_EQ(drawn(fc.get()).size(), 6u);
  }
  EXPECT_FALSE(gis::RestrictFeatures(nullptr, nullptr));
}

// A source opened again while its class is held gives that class; a source changed on disk,
// a system assigned, another filter, a class serving some features only, or a class let go
// give a class of their own.
TEST_F(FeatureRestriction, ASourceHeldOpenIsOneClass) {
  const fs::path shp = dir_ / "p.shp";
  write_points(shp, "ESRI Shapefile");
  std::string error;
  ComPtr<IFeatureClass> first = gis::OpenFeatureClass(shp.string(), "", &error);
  ASSERT_TRUE(first) << error;
  const fs::path relative = fs::relative(shp);
  EXPECT_EQ(gis::OpenFeatureClass(relative.string(), "").get(), first.get());
  EXPECT_EQ(gis::OpenFeatureClass((dir_ / "." / "p.shp").string(), "").get(), first.get());
  EXPECT_EQ(gis::OpenFeatureClass(shp.string(), "p").get(), first.get());  // its one layer, named
  EXPECT_NE(gis::OpenFeatureClass(shp.string(), "", nullptr, nullptr, "N > 10").get(), first.get());
  {
    // A source of several layers: the first, named or not, is one class; another is its own.
    const fs::path gpkg = dir_ / "two.gpkg";
    write_points(gpkg, "GPKG");
    {
      std::unique_ptr<GDALDataset> ds(
          GDALDataset::Open(gpkg.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr));
      ASSERT_TRUE(ds && ds->CreateLayer("more", nullptr, wkbPoint, nullptr));
    }
    ComPtr<IFeatureClass> named = gis::OpenFeatureClass(gpkg.string(), "points");
    ASSERT_TRUE(named);
    EXPECT_EQ(gis::OpenFeatureClass(gpkg.string(), "").get(), named.get());
    ComPtr<IFeatureClass> more = gis::OpenFeatureClass(gpkg.string(), "more");
    ASSERT_TRUE(more);
    EXPECT_NE(more.get(), named.get());
    named.reset();
    ComPtr<IFeatureClass> first_again = gis::OpenFeatureClass(gpkg.string(), "");
    ASSERT_TRUE(first_again);
    EXPECT_NE(first_again.get(), more.get());
    EXPECT_EQ(count(first_again.get()), 6);
  }
  ComPtr<ISpatialReference> assigned = gis::SpatialReferenceFromText("EPSG:32636");
  ASSERT_TRUE(assigned);
  EXPECT_NE(gis::OpenFeatureClass(shp.string(), "", nullptr, assigned.get()).get(), first.get());

  // Serving some features is the holder's own business.
  ASSERT_TRUE(gis::RestrictFeatures(first.get(), std::make_shared<const std::vector<LONG>>(std::vector<LONG>{1})));
  ComPtr<IFeatureClass> whole = gis::OpenFeatureClass(shp.string(), "");
  ASSERT_TRUE(whole);
  EXPECT_NE(whole.get(), first.get());
  EXPECT_EQ(count(whole.get()), 6);
  ASSERT_TRUE(gis::RestrictFeatures(first.get(), nullptr));
  whole.reset();

  // The file written again (one feature more): a new class reads what is there now.
  ComPtr<IFeatureClass> same = gis::OpenFeatureClass(shp.string(), "");
  EXPECT_EQ(same.get(), first.get());
  same.reset();
  {
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(shp.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr));
    ASSERT_TRUE(ds);
    OGRLayer* layer = ds->GetLayer(0);
    OGRFeature f(layer->GetLayerDefn());
    OGRPoint p(9, 9);
    f.SetGeometry(&p);
    ASSERT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
  }
  ComPtr<IFeatureClass> changed = gis::OpenFeatureClass(shp.string(), "");
  ASSERT_TRUE(changed);
  EXPECT_NE(changed.get(), first.get());
  EXPECT_EQ(count(changed.get()), 7);
  EXPECT_EQ(gis::OpenFeatureClass(shp.string(), "").get(), changed.get());

  // Let go, the class is gone: the next opening makes a new one (nothing is kept open).
  first.reset();
  changed.reset();
  ComPtr<IFeatureClass> again = gis::OpenFeatureClass(shp.string(), "");
  ASSERT_TRUE(again);
  EXPECT_EQ(count(again.get()), 7);
}

// Threads opening and letting go of one source at once: each gets a whole class, and a class
// being let go on one thread is never handed to another.
TEST_F(FeatureRestriction, OpeningAndLettingGoOnManyThreads) {
  const fs::path shp = dir_ / "p.shp";
  write_points(shp, "ESRI Shapefile");
  std::vector<std::thread> threads;
  std::atomic<int> bad{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        ComPtr<IFeatureClass> fc = gis::OpenFeatureClass(shp.string(), "");
        LONG n = -1;
        if (!fc || fc->FeatureCount(nullptr, &n) != S_OK || n != 6) ++bad;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace core_test

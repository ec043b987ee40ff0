// Cursors reading ahead on a thread of their own (AREACLIP_READ_AHEAD=1): every kind of
// cursor hands out the same features, values, shapes and change reports, in the same order,
// as reading in the caller's thread; a record that cannot be read fails at its own
// place with its own message; a cursor let go of mid-stream or cancelled stops its thread;
// many cursors over one class at once (the class's lent layer among them) do not disturb
// each other or the class.
#include <ogr_api.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "core_test.h"

namespace core_test {
namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

// More than a cursor hands out before it starts reading ahead.
constexpr int kCount = 1000;

// kCount squares in a row, fid i at x = 10 i, with values of every kind (nulls every 7th).
std::string write_parcels(const fs::path& folder) {
  OGRRegisterAll();
  const std::string path = (folder / "parcels.shp").string();
  OGRDataSourceH ds = OGR_Dr_CreateDataSource(OGRGetDriverByName("ESRI Shapefile"), path.c_str(), nullptr);
  const char* options[] = {"ENCODING=UTF-8", nullptr};
  OGRLayerH layer = OGR_DS_CreateLayer(ds, "parcels", nullptr, wkbPolygon, const_cast<char**>(options));
  for (auto [name, type] : {std::pair{"N", OFTInteger}, {"R", OFTReal}, {"NAME", OFTString}, {"D", OFTDate}}) {
    OGRFieldDefnH f = OGR_Fld_Create(name, type);
    if (type == OFTReal) OGR_Fld_SetPrecision(f, 6), OGR_Fld_SetWidth(f, 20);
    OGR_L_CreateField(layer, f, TRUE);
    OGR_Fld_Destroy(f);
  }
  for (int i = 0; i < kCount; ++i) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldInteger(f, 0, i);
    if (i % 7) {
      OGR_F_SetFieldDouble(f, 1, i / 8.0);
      OGR_F_SetFieldString(f, 2, ("ділянка " + std::to_string(i)).c_str());
      OGR_F_SetFieldDateTime(f, 3, 2000 + i % 20, 1 + i % 12, 1 + i % 28, 0, 0, 0, 0);
    }
    const std::string w = "POLYGON((" + std::to_string(10 * i) + " 0," + std::to_string(10 * i + 8) + " 0," +
                          std::to_string(10 * i + 8) + " 8," + std::to_string(10 * i) + " 0))";
    char* text = const_cast<char*>(w.c_str());
    OGRGeometryH g = nullptr;
    OGR_G_CreateFromWkt(&text, nullptr, &g);
    OGR_F_SetGeometryDirectly(f, g);
    EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
    OGR_F_Destroy(f);
  }
  OGR_DS_Destroy(ds);
  return path;
}

// Lines, every 50th feature a point (left out of a layer of lines, with a change report).
std::string write_mixed_geojson(const fs::path& folder) {
  const std::string path = (folder / "mixed.geojson").string();
  std::ofstream out(path);
  out << R"({"type":"FeatureCollection","features":[)";
  for (int i = 0; i < kCount; ++i) {
    out << (i ? "," : "") << R"({"type":"Feature","properties":{"id":)" << i << "},\"geometry\":";
    if (i % 50 == 49) out << R"({"type":"Point","coordinates":[)" << i << ",1]}}";
    else out << R"({"type":"LineString","coordinates":[[)" << i << ",0],[" << i << ",10]]}}";
  }
  out << "]}";
  return path;
}

// Points the .shx entry of record `record` past the end of the .shp: that record cannot be read.
void damage_record(const std::string& shp, int record) {
  const std::string shx = fs::path(shp).replace_extension(".shx").string();
  std::fstream f(shx, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(100 + 8 * record);
  const char far_away[4] = {0x0F, 0x00, 0x00, 0x00};  // big-endian, in 16-bit words
  f.write(far_away, 4);
}

// The id, values and shape of a feature, as one line.
std::string line_of(IFeature* f) {
  LONG oid = -2;
  f->get_OID(&oid);
  std::string out = std::to_string(oid);
  ComPtr<IFields> fields;
  f->get_Fields(fields.put());
  LONG n = 0;
  fields->get_FieldCount(&n);
  for (LONG i = 0; i < n; ++i) {
    VARIANT v;
    VariantInit(&v);
    if (f->get_Value(i, &v) == S_OK) out += "|" + gis::ValueText(v);
    VariantClear(&v);
  }
  ComPtr<IGeometry> shape;
  f->get_ShapeCopy(shape.put());
  return out + "|" + (shape ? gis::GeometryToWkt(shape.get()) : "-");
}

// What a cursor hands out, up to its end or its first failure (then "failed <hr>: <message>").
std::vector<std::string> drain(IFeatureCursor* c, size_t at_most = SIZE_MAX) {
  std::vector<std::string> out;
  while (out.size() < at_most) {
    ComPtr<IFeature> f;
    const HRESULT hr = c->NextFeature(f.put());
    if (FAILED(hr)) {
      out.push_back("failed " + std::to_string(hr) + ": " + error_text());
      break;
    }
    if (hr != S_OK) {
      EXPECT_FALSE(f);
      break;
    }
    out.push_back(line_of(f.get()));
  }
  return out;
}

// Threads of this process (the cursors' reading threads among them).
size_t thread_count() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

class FeatureCursorTest : public CoreTest {
 protected:
  void TearDown() override {
    unsetenv("AREACLIP_READ_AHEAD");
    gis::ResetCancel();
    CoreTest::TearDown();
  }
  static void read_ahead(bool on) {
    if (on) setenv("AREACLIP_READ_AHEAD", "1", 1);
    else setenv("AREACLIP_READ_AHEAD", "0", 1);
  }
  ComPtr<IFeatureClass> open(const std::string& path, const std::string& filter = "") {
    std::string error;
    ComPtr<IFeatureClass> fc = gis::OpenFeatureClass(path, "", &error, nullptr, filter);
    EXPECT_TRUE(fc) << error;
    return fc;
  }
  testing_support::TempDir dir_;
};

ComPtr<IFeatureCursor> search(IFeatureClass* fc, const std::string& where = "") {
  ComPtr<IFeatureCursor> c;
  auto filter = create<IQueryFilter>(CLSID_QueryFilter);
  filter->put_WhereClause(Bstr::from_utf8(where).get());
  EXPECT_EQ(fc->Search(where.empty() ? nullptr : filter.get(), VARIANT_FALSE, c.put()), S_OK);
  return c;
}

TEST_F(FeatureCursorTest, EveryKindOfCursorHandsOutTheSameWithAndWithoutReadingAhead) {
  const std::string parcels = write_parcels(dir_.path());
  const std::string mixed = write_mixed_geojson(dir_.path());
  std::vector<LONG> every_third;
  for (LONG i = kCount - 1; i >= 0; i -= 3) every_third.push_back(i);  // not in the source's order
  struct Kind {
    const char* name;
    std::string path;
    std::string class_filter;
    std::function<std::vector<std::string>(IFeatureClass*)> read;
  };
  const std::vector<Kind> kinds = {
      {"the class's lent layer", parcels, "", [](IFeatureClass* fc) { return drain(search(fc).get()); }},
      {"a dataset of its own, beside the lent layer", parcels, "",
       [](IFeatureClass* fc) {
         ComPtr<IFeatureCursor> holder = search(fc);
         drain(holder.get(), 3);
         return drain(search(fc).get());
       }},
      {"where", parcels, "", [](IFeatureClass* fc) { return drain(search(fc, "N >= 100 AND N < 350").get()); }},
      {"within a box", parcels, "",
       [](IFeatureClass* fc) {
         const double box[4] = {995, 1, 3005, 2};
         ComPtr<IFeatureCursor> c;
         EXPECT_EQ(gis::SearchFeaturesWithin(fc, box, nullptr, c.put()), S_OK);
         return drain(c.get());
       }},
      {"restricted, by id", parcels, "",
       [&](IFeatureClass* fc) {
         gis::RestrictFeatures(fc, std::make_shared<const std::vector<LONG>>(every_third));
         return drain(search(fc).get());
       }},
      {"restricted, with where", parcels, "",
       [&](IFeatureClass* fc) {
         gis::RestrictFeatures(fc, std::make_shared<const std::vector<LONG>>(every_third));
         return drain(search(fc, "N > 10").get());
       }},
      {"the class's own filter, on the lent layer", parcels, "N % 2 = 0",
       [](IFeatureClass* fc) { return drain(search(fc).get()); }},
      {"GeoJSON with shapes left out", mixed, "", [](IFeatureClass* fc) { return drain(search(fc).get()); }},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    std::vector<std::string> seen[2];
    std::vector<gis::DataChange> changes[2];
    for (bool on : {false, true}) {
      read_ahead(on);
      gis::TakeDataChanges();
      ComPtr<IFeatureClass> fc = open(kind.path, kind.class_filter);
      ASSERT_TRUE(fc);
      seen[on] = kind.read(fc.get());
      changes[on] = gis::TakeDataChanges();
    }
    ASSERT_GT(seen[0].size(), 100u);
    EXPECT_EQ(seen[1].size(), seen[0].size());
    EXPECT_EQ(seen[1], seen[0]);
    ASSERT_EQ(changes[1].size(), changes[0].size());
    for (size_t i = 0; i < changes[0].size(); ++i) {
      EXPECT_EQ(changes[1][i].message, changes[0][i].message);
      EXPECT_EQ(changes[1][i].count, changes[0][i].count);
    }
  }
}

TEST_F(FeatureCursorTest, ARecordThatCannotBeReadFailsAtItsPlaceWithItsMessage) {
  const std::string parcels = write_parcels(dir_.path());
  damage_record(parcels, 600);
  std::vector<std::string> seen[2], after[2];
  for (bool on : {false, true}) {
    SCOPED_TRACE(on ? "reading ahead" : "in the caller's thread");
    read_ahead(on);
    ComPtr<IFeatureClass> fc = open(parcels);
    ASSERT_TRUE(fc);
    ComPtr<IFeatureCursor> c = search(fc.get());
    seen[on] = drain(c.get());
    ASSERT_EQ(seen[on].size(), 601u);
    EXPECT_EQ(seen[on][599].substr(0, 4), "599|");
    EXPECT_NE(seen[on].back().find("cannot read " + parcels), std::string::npos) << seen[on].back();
    // Reading on after the failure goes on with the next record.
    after[on] = drain(c.get());
    ASSERT_FALSE(after[on].empty());
    EXPECT_EQ(after[on].front().substr(0, 4), "601|");
  }
  EXPECT_EQ(seen[1], seen[0]);
  EXPECT_EQ(after[1], after[0]);
}

TEST_F(FeatureCursorTest, OnlyALongReadStartsAThreadAndLettingGoOfTheCursorEndsIt) {
  const std::string parcels = write_parcels(dir_.path());
  ComPtr<IFeatureClass> fc = open(parcels);
  ASSERT_TRUE(fc);
  const size_t threads = thread_count();
  {
    // Unless asked for, no cursor reads ahead.
    ComPtr<IFeatureCursor> long_read = search(fc.get());
    EXPECT_EQ(drain(long_read.get(), 500).size(), 500u);
    EXPECT_EQ(thread_count(), threads);
  }
  read_ahead(true);
  {
    ComPtr<IFeatureCursor> unread = search(fc.get());
    ComPtr<IFeatureCursor> short_read = search(fc.get(), "N < 50");
    EXPECT_EQ(drain(short_read.get()).size(), 50u);
    EXPECT_EQ(thread_count(), threads) << "a cursor never read from or read briefly starts no thread";
  }
  for (size_t taken : {70u, 100u, 500u}) {
    SCOPED_TRACE(taken);
    ComPtr<IFeatureCursor> lent = search(fc.get());
    ComPtr<IFeatureCursor> own = search(fc.get());
    EXPECT_EQ(drain(lent.get(), taken).size(), taken);
    EXPECT_EQ(drain(own.get(), taken).size(), taken);
    EXPECT_EQ(thread_count(), threads + 2);
    // The class's handle is used by nobody else while its reader may be at it.
    LONG n = 0;
    EXPECT_EQ(fc->FeatureCount(nullptr, &n), S_OK);
    EXPECT_EQ(n, kCount);
    ComPtr<IFeature> f;
    EXPECT_EQ(fc->GetFeature(5, f.put()), S_OK);
    lent.reset();  // mid-stream, its queue full or filling
    own.reset();
    EXPECT_EQ(thread_count(), threads);
  }
  // The lent layer came back and reads from its start.
  ComPtr<IFeatureCursor> again = search(fc.get());
  const std::vector<std::string> all = drain(again.get());
  ASSERT_EQ(all.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(all.front().substr(0, 2), "0|");
  EXPECT_EQ(thread_count(), threads) << "a cursor at its end has ended its thread";
}

TEST_F(FeatureCursorTest, CancellingStopsTheRead) {
  const std::string parcels = write_parcels(dir_.path());
  ComPtr<IFeatureClass> fc = open(parcels);
  ASSERT_TRUE(fc);
  const size_t threads = thread_count();
  ComPtr<IFeatureCursor> c = search(fc.get());
  EXPECT_EQ(drain(c.get(), 200).size(), 200u);
  gis::RequestCancel();
  ComPtr<IFeature> f;
  EXPECT_EQ(c->NextFeature(f.put()), E_ABORT);
  EXPECT_EQ(error_text(), "cancelled");
  EXPECT_FALSE(f);
  c.reset();
  EXPECT_EQ(thread_count(), threads);
  gis::ResetCancel();
}

TEST_F(FeatureCursorTest, ManyCursorsAtOnceOnOneClassAndOnSeveralThreads) {
  const std::string parcels = write_parcels(dir_.path());
  ComPtr<IFeatureClass> fc = open(parcels);
  ASSERT_TRUE(fc);
  read_ahead(false);
  const std::vector<std::string> expected = drain(search(fc.get()).get());
  ASSERT_EQ(expected.size(), static_cast<size_t>(kCount));
  read_ahead(true);
  // Eight cursors read in turns, the first on the lent layer, with the class used between.
  std::vector<ComPtr<IFeatureCursor>> cursors;
  for (int i = 0; i < 8; ++i) cursors.push_back(search(fc.get()));
  std::vector<std::vector<std::string>> seen(cursors.size());
  for (int round = 0; round < kCount / 10 + 1; ++round) {
    for (size_t i = 0; i < cursors.size(); ++i) {
      for (const std::string& s : drain(cursors[i].get(), 10)) seen[i].push_back(s);
    }
    ComPtr<IFeature> f;
    EXPECT_EQ(fc->GetFeature(round, f.put()), S_OK);
    LONG n = 0;
    EXPECT_EQ(fc->FeatureCount(nullptr, &n), S_OK);
  }
  for (const auto& s : seen) EXPECT_EQ(s, expected);
  cursors.clear();
  // Four threads, each with cursors of its own over the one class.
  std::vector<std::vector<std::string>> by_thread(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < by_thread.size(); ++t)
    threads.emplace_back([&, t] { by_thread[t] = drain(search(fc.get()).get()); });
  for (std::thread& t : threads) t.join();
  for (const auto& s : by_thread) EXPECT_EQ(s, expected);
}

// A shapefile whose .prj names no authority (as ESRI software writes it): its features carry
// the EPSG system found for the .prj when the class was opened, whichever cursor reads
// them and whether the .prj's text was met before or not.
TEST_F(FeatureCursorTest, FeaturesCarryTheSystemFoundForTheirClass) {
  const std::string parcels = write_parcels(dir_.path());
  {
    std::ofstream prj(fs::path(parcels).replace_extension(".prj"));
    prj << "PROJCS[\"WGS_1984_UTM_Zone_36N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
           "6378137.0,298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION["
           "\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
           "PARAMETER[\"Central_Meridian\",33.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_"
           "Origin\",0.0],UNIT[\"Meter\",1.0]]";
  }
  fs::copy_file(parcels, dir_.path() / "again.shp");
  for (const char* ext : {".shx", ".dbf", ".prj", ".cpg"})
    fs::copy_file(fs::path(parcels).replace_extension(ext), (dir_.path() / "again").replace_extension(ext));
  for (const std::string& path : {parcels, (dir_.path() / "again.shp").string()}) {
    SCOPED_TRACE(path);
    ComPtr<IFeatureClass> fc = open(path);
    ASSERT_TRUE(fc);
    for (const std::string& where : {std::string(), std::string("N < 3")}) {
      ComPtr<IFeatureCursor> c = search(fc.get(), where);
      ComPtr<IFeature> f;
      ASSERT_EQ(c->NextFeature(f.put()), S_OK);
      ComPtr<IGeometry> shape;
      f->get_Shape(shape.put());
      ComPtr<ISpatialReference> sr;
      shape->get_SpatialReference(sr.put());
      EXPECT_EQ(gis::SpatialReferenceToText(sr.get()), "EPSG:32636");
    }
  }
}

}  // namespace
}  // namespace core_test

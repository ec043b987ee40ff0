// Reading feature classes from GDAL sources: schema, values, cursors, shapes.
#include <cpl_error.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <vector>

#include "core_test.h"

namespace {

using core_test::text;
using core_test::wkt;
using win32::Bstr;
using win32::ComPtr;

// A GeoPackage layer "places" in EPSG:4326 with attributes of every kind, written with the
// OGR C API: fid 1 full values, fid 2 nulls, fid 3 without geometry.
std::string make_geopackage(const std::string& folder) {
  OGRRegisterAll();
  std::string path = folder + "/data.gpkg";
  OGRSFDriverH driver = OGRGetDriverByName("GPKG");
  OGRDataSourceH ds = OGR_Dr_CreateDataSource(driver, path.c_str(), nullptr);
  OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
  OSRImportFromEPSG(srs, 4326);
  OGRLayerH layer = OGR_DS_CreateLayer(ds, "places", srs, wkbMultiPolygon, nullptr);
  OSRRelease(srs);
  auto field = [&](const char* name, OGRFieldType type, int width = 0) {
    OGRFieldDefnH f = OGR_Fld_Create(name, type);
    OGR_Fld_SetWidth(f, width);
    OGR_L_CreateField(layer, f, TRUE);
    OGR_Fld_Destroy(f);
  };
  field("COUNT", OFTInteger);
  field("BIG", OFTInteger64);
  field("Ratio", OFTReal);
  field("name", OFTString, 40);
  field("DAY", OFTDate);
  field("STAMP", OFTDateTime);
  for (int i = 1; i <= 3; ++i) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    if (i == 1) {
      OGR_F_SetFieldInteger(f, 0, 42);
      OGR_F_SetFieldInteger64(f, 1, 12345678901LL);
      OGR_F_SetFieldDouble(f, 2, 0.25);
      OGR_F_SetFieldString(f, 3, "Київ, вулиця Хрещатик");
      OGR_F_SetFieldDateTime(f, 4, 2021, 3, 15, 0, 0, 0, 0);
      OGR_F_SetFieldDateTime(f, 5, 2021, 3, 15, 12, 30, 0, 0);
    } else {
      for (int k = 0; k < 6; ++k) OGR_F_SetFieldNull(f, k);
    }
    if (i != 3) {
      OGRGeometryH g = nullptr;
      char* w = const_cast<char*>(i == 1 ? "MULTIPOLYGON(((30 50,31 50,31 51,30 51,30 50)))"
                                         : "MULTIPOLYGON(((32 50,33 50,33 51,32 50)),((34 50,35 50,35 51,34 50)))");
      OGR_G_CreateFromWkt(&w, nullptr, &g);
      OGR_F_SetGeometryDirectly(f, g);
    }
    EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
    OGR_F_Destroy(f);
  }
  OGR_DS_Destroy(ds);
  return path;
}

std::string make_geojson(const std::string& folder, int count) {
  std::string path = folder + "/lines.geojson";
  std::ofstream out(path);
  out << R"({"type":"FeatureCollection","features":[)";
  for (int i = 0; i < count; ++i) {
    out << (i ? "," : "") << R"({"type":"Feature","properties":{"id":)" << i << R"(,"kind":"k)" << i % 3
        << R"("},"geometry":{"type":"LineString","coordinates":[[)" << i << ",0],[" << i << ",10]]}}";
  }
  out << "]}";
  return path;
}

// The same lines as a shapefile.
std::string make_shapefile(const std::string& folder, int count) {
  OGRRegisterAll();
  std::string path = folder + "/lines.shp";
  OGRDataSourceH ds = OGR_Dr_CreateDataSource(OGRGetDriverByName("ESRI Shapefile"), path.c_str(), nullptr);
  OGRLayerH layer = OGR_DS_CreateLayer(ds, "lines", nullptr, wkbLineString, nullptr);
  OGRFieldDefnH id = OGR_Fld_Create("id", OFTInteger);
  OGR_L_CreateField(layer, id, TRUE);
  OGR_Fld_Destroy(id);
  OGRFieldDefnH kind = OGR_Fld_Create("kind", OFTString);
  OGR_L_CreateField(layer, kind, TRUE);
  OGR_Fld_Destroy(kind);
  for (int i = 0; i < count; ++i) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldInteger(f, 0, i);
    char kind[8];
    snprintf(kind, sizeof kind, "k%d", i % 3);
    OGR_F_SetFieldString(f, 1, kind);
    OGRGeometryH g = OGR_G_CreateGeometry(wkbLineString);
    OGR_G_AddPoint_2D(g, i, 0);
    OGR_G_AddPoint_2D(g, i, 10);
    OGR_F_SetGeometryDirectly(f, g);
    EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
    OGR_F_Destroy(f);
  }
  OGR_DS_Destroy(ds);
  return path;
}

class FeatureClassTest : public core_test::CoreTest {
 protected:
  testing_support::TempDir dir_;
};

LONG field_index(IFeatureClass* fc, const char* name) {
  LONG index = -2;
  EXPECT_EQ(fc->FindField(Bstr::from_utf8(name).get(), &index), S_OK);
  return index;
}

TEST_F(FeatureClassTest, GeoPackageSchema) {
  std::string error;
  auto fc = gis::OpenFeatureClass(make_geopackage(dir_.str()), "places", &error);
  ASSERT_TRUE(fc) << error;
  testing_support::expect_query_interface_rules(
      fc.get(), {IID_IFeatureClass, IID_IObjectClass, IID_IClass, IID_IDataset});

  ComPtr<IFields> fields;
  ASSERT_EQ(fc->get_Fields(fields.put()), S_OK);
  LONG count = 0;
  fields->get_FieldCount(&count);
  ASSERT_EQ(count, 8);
  struct Expected {
    const char* name;
    esriFieldType type;
    bool editable;
  } expected[] = {{"FID", esriFieldTypeOID, false},     {"Shape", esriFieldTypeGeometry, true},
                  {"COUNT", esriFieldTypeInteger, true}, {"BIG", esriFieldTypeDouble, true},
                  {"Ratio", esriFieldTypeDouble, true},  {"name", esriFieldTypeString, true},
                  {"DAY", esriFieldTypeDate, true},      {"STAMP", esriFieldTypeDate, true}};
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IField> f;
    ASSERT_EQ(fields->get_Field(i, f.put()), S_OK);
    Bstr name;
    f->get_Name(name.put());
    esriFieldType type;
    f->get_Type(&type);
    VARIANT_BOOL editable;
    f->get_Editable(&editable);
    EXPECT_EQ(name.utf8(), expected[i].name);
    EXPECT_EQ(type, expected[i].type) << expected[i].name;
    EXPECT_EQ(editable != VARIANT_FALSE, expected[i].editable) << expected[i].name;
  }
  ComPtr<IField> name_field;
  fields->get_Field(5, name_field.put());
  LONG length = 0;
  name_field->get_Length(&length);
  EXPECT_EQ(length, 40);

  ComPtr<IField> shape_field;
  fields->get_Field(1, shape_field.put());
  ComPtr<IGeometryDef> def;
  ASSERT_EQ(shape_field->get_GeometryDef(def.put()), S_OK);
  esriGeometryType type;
  def->get_GeometryType(&type);
  EXPECT_EQ(type, esriGeometryPolygon);
  ComPtr<ISpatialReference> sr;
  def->get_SpatialReference(sr.put());
  EXPECT_EQ(gis::SpatialReferenceToText(sr.get()), "EPSG:4326");

  fc->get_ShapeType(&type);
  EXPECT_EQ(type, esriGeometryPolygon);
  Bstr shape_name, oid_name, dataset_name;
  fc->get_ShapeFieldName(shape_name.put());
  fc->get_OIDFieldName(oid_name.put());
  fc.as<IDataset>()->get_Name(dataset_name.put());
  EXPECT_EQ(shape_name.utf8(), "Shape");
  EXPECT_EQ(oid_name.utf8(), "FID");
  EXPECT_EQ(dataset_name.utf8(), "places");
  LONG n = 0;
  EXPECT_EQ(fc->FeatureCount(nullptr, &n), S_OK);
  EXPECT_EQ(n, 3);
}

TEST_F(FeatureClassTest, FindFieldIgnoresLetterCase) {
  auto fc = gis::OpenFeatureClass(make_geopackage(dir_.str()), "");
  ASSERT_TRUE(fc);
  EXPECT_EQ(field_index(fc.get(), "fid"), 0);
  EXPECT_EQ(field_index(fc.get(), "SHAPE"), 1);
  EXPECT_EQ(field_index(fc.get(), "count"), 2);
  EXPECT_EQ(field_index(fc.get(), "RATIO"), 4);
  EXPECT_EQ(field_index(fc.get(), "Name"), 5);
  EXPECT_EQ(field_index(fc.get(), "absent"), -1);
  EXPECT_EQ(field_index(fc.get(), ""), -1);
}

TEST_F(FeatureClassTest, GeoPackageValues) {
  auto fc = gis::OpenFeatureClass(make_geopackage(dir_.str()), "");
  ASSERT_TRUE(fc);
  ComPtr<IFeature> f;
  ASSERT_EQ(fc->GetFeature(1, f.put()), S_OK);
  LONG oid = 0;
  f->get_OID(&oid);
  EXPECT_EQ(oid, 1);
  VARIANT v;
  VariantInit(&v);
  f->get_Value(0, &v);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 1);
  f->get_Value(2, &v);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 42);
  f->get_Value(3, &v);
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, 12345678901.0);
  f->get_Value(4, &v);
  EXPECT_EQ(v.vt, VT_R8);
  EXPECT_EQ(v.dblVal, 0.25);
  f->get_Value(5, &v);
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(text(v.bstrVal), "Київ, вулиця Хрещатик");
  VariantClear(&v);
  f->get_Value(6, &v);
  EXPECT_EQ(v.vt, VT_DATE);
  EXPECT_EQ(v.date, 44270.0);  // 2021-03-15
  f->get_Value(7, &v);
  EXPECT_EQ(v.vt, VT_DATE);
  EXPECT_DOUBLE_EQ(v.date, 44270.0 + 12.5 / 24);
  EXPECT_EQ(f->get_Value(8, &v), E_INVALIDARG);

  ComPtr<IFeature> nulls;
  ASSERT_EQ(fc->GetFeature(2, nulls.put()), S_OK);
  for (LONG i = 2; i < 8; ++i) {
    nulls->get_Value(i, &v);
    EXPECT_EQ(v.vt, VT_NULL) << i;
  }
  ComPtr<IGeometry> shape;
  nulls->get_Shape(shape.put());
  LONG parts = 0;
  shape.as<IGeometryCollection>()->get_GeometryCount(&parts);
  EXPECT_EQ(parts, 2);

  ComPtr<IFeature> bare;
  ASSERT_EQ(fc->GetFeature(3, bare.put()), S_OK);
  bare->get_Shape(shape.put());
  EXPECT_FALSE(shape);

  ComPtr<IFeature> missing;
  EXPECT_TRUE(FAILED(fc->GetFeature(99, missing.put())));
  EXPECT_FALSE(missing);
}

TEST_F(FeatureClassTest, ShapeIsTheFeaturesOwnAndCarriesTheSourceSystem) {
  auto fc = gis::OpenFeatureClass(make_geopackage(dir_.str()), "");
  ASSERT_TRUE(fc);
  ComPtr<IFeature> f;
  ASSERT_EQ(fc->GetFeature(1, f.put()), S_OK);
  ComPtr<IGeometry> a, b, copy;
  f->get_Shape(a.put());
  f->get_Shape(b.put());
  f->get_ShapeCopy(copy.put());
  EXPECT_EQ(a.get(), b.get());
  EXPECT_NE(copy.get(), a.get());
  ComPtr<ISpatialReference> sr;
  a->get_SpatialReference(sr.put());
  EXPECT_EQ(gis::SpatialReferenceToText(sr.get()), "EPSG:4326");

  auto utm = gis::SpatialReferenceFromText("EPSG:32636");
  ASSERT_EQ(a->Project(utm.get()), S_OK);
  ComPtr<IGeometry> again;
  f->get_Shape(again.put());
  ComPtr<IEnvelope> e;
  again->get_Envelope(e.put());
  double xmin = 0;
  e->get_XMin(&xmin);
  EXPECT_GT(xmin, 100000);  // metres now
  copy->get_Envelope(e.put());
  e->get_XMin(&xmin);
  EXPECT_EQ(xmin, 30);  // the copy kept its degrees
}

// Cursors of one class each see every feature in order, interleaved and whatever else the
// class is asked meanwhile (a shapefile's first cursor reads through the class's own layer).
TEST_F(FeatureClassTest, CursorsAreIndependent) {
  for (bool shapefile : {false, true}) {
    SCOPED_TRACE(shapefile ? "shapefile" : "GeoJSON");
    auto fc = gis::OpenFeatureClass(shapefile ? make_shapefile(dir_.str(), 50) : make_geojson(dir_.str(), 50), "");
    ASSERT_TRUE(fc);
    esriGeometryType type;
    fc->get_ShapeType(&type);
    EXPECT_EQ(type, esriGeometryPolyline);
    Bstr name;
    fc.as<IDataset>()->get_Name(name.put());
    EXPECT_EQ(name.utf8(), "lines");

    ComPtr<IFeatureCursor> c1, c2;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, c1.put()), S_OK);
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, c2.put()), S_OK);
    LONG id_field = field_index(fc.get(), "id");
    auto next_id = [&](IFeatureCursor* c) {
      ComPtr<IFeature> f;
      HRESULT hr = c->NextFeature(f.put());
      if (hr != S_OK) {
        EXPECT_EQ(hr, S_FALSE);
        EXPECT_FALSE(f);
        return -1L;
      }
      VARIANT v;
      f->get_Value(id_field, &v);
      return static_cast<long>(v.lVal);
    };
    auto filter = core_test::create<IQueryFilter>(CLSID_QueryFilter);
    filter->put_WhereClause(Bstr::from_utf8("kind = 'k1'").get());
    for (long i = 0; i < 10; ++i) EXPECT_EQ(next_id(c1.get()), i);
    for (long i = 0; i < 25; ++i) EXPECT_EQ(next_id(c2.get()), i);
    LONG n = 0;
    EXPECT_EQ(fc->FeatureCount(filter.get(), &n), S_OK);
    EXPECT_EQ(n, 17);
    ComPtr<IFeature> picked;
    EXPECT_EQ(fc->GetFeature(40, picked.put()), S_OK);
    {
      ComPtr<IFeatureCursor> c3;  // let go of before its end
      ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, c3.put()), S_OK);
      EXPECT_EQ(next_id(c3.get()), 0);
      EXPECT_EQ(next_id(c3.get()), 1);
    }
    for (long i = 25; i < 50; ++i) EXPECT_EQ(next_id(c2.get()), i);
    for (long i = 10; i < 50; ++i) EXPECT_EQ(next_id(c1.get()), i);
    EXPECT_EQ(next_id(c1.get()), -1);
    EXPECT_EQ(next_id(c2.get()), -1);
    EXPECT_EQ(next_id(c2.get()), -1);
    c1.reset();
    ComPtr<IFeatureCursor> again;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, again.put()), S_OK);
    EXPECT_EQ(next_id(again.get()), 0);
  }
}

TEST_F(FeatureClassTest, WhereClauseNarrowsCountAndSearch) {
  auto fc = gis::OpenFeatureClass(make_geojson(dir_.str(), 30), "");
  ASSERT_TRUE(fc);
  auto filter = core_test::create<IQueryFilter>(CLSID_QueryFilter);
  ASSERT_EQ(filter->put_WhereClause(Bstr::from_utf8("kind = 'k1'").get()), S_OK);
  LONG n = 0;
  ASSERT_EQ(fc->FeatureCount(filter.get(), &n), S_OK);
  EXPECT_EQ(n, 10);
  ASSERT_EQ(fc->FeatureCount(nullptr, &n), S_OK);
  EXPECT_EQ(n, 30);
  ComPtr<IFeatureCursor> c;
  ASSERT_EQ(fc->Search(filter.get(), VARIANT_TRUE, c.put()), S_OK);
  int seen = 0;
  for (ComPtr<IFeature> f; c->NextFeature(f.put()) == S_OK;) ++seen;
  EXPECT_EQ(seen, 10);
  filter->put_WhereClause(Bstr::from_utf8("no such field = 1").get());
  EXPECT_TRUE(FAILED(fc->FeatureCount(filter.get(), &n)));
}

// A feature with a coordinate that is not a finite number fails the cursor with a message
// naming it, whatever the kind of its shape; the features before it are read.
TEST_F(FeatureClassTest, CoordinatesThatAreNotFiniteFailTheCursor) {
  OGRRegisterAll();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    OGRwkbGeometryType type;
    const char* good;
    std::function<OGRGeometryH()> bad;
  };
  auto from_wkt = [](const char* text) {
    OGRGeometryH g = nullptr;
    char* w = const_cast<char*>(text);
    OGR_G_CreateFromWkt(&w, nullptr, &g);
    return g;
  };
  const Case cases[] = {
      {"point", wkbPoint, "POINT (1 2)",
       [&] {
         OGRGeometryH g = OGR_G_CreateGeometry(wkbPoint);
         OGR_G_SetPoint_2D(g, 0, 1, inf);  // (NaN, NaN) would be GeoPackage's empty point
         return g;
       }},
      {"polygon's inner ring", wkbPolygon, "POLYGON ((0 0,10 0,10 10,0 0))",
       [&] {
         OGRGeometryH g = from_wkt("POLYGON ((0 0,10 0,10 10,0 10,0 0),(2 2,3 2,3 3,2 2))");
         OGR_G_SetPoint_2D(OGR_G_GetGeometryRef(g, 1), 1, inf, 2);
         return g;
       }},
      {"multi-line's second part", wkbMultiLineString, "MULTILINESTRING ((0 0,1 1))",
       [&] {
         OGRGeometryH g = from_wkt("MULTILINESTRING ((0 0,1 1),(2 2,3 3))");
         OGR_G_SetPoint_2D(OGR_G_GetGeometryRef(g, 1), 0, 2, -inf);
         return g;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.str() + "/" + std::to_string(static_cast<int>(c.type)) + ".gpkg";
    // The driver cannot record such an extent in its table of contents; it says so.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    OGRDataSourceH ds = OGR_Dr_CreateDataSource(OGRGetDriverByName("GPKG"), path.c_str(), nullptr);
    OGRLayerH layer = OGR_DS_CreateLayer(ds, "shapes", nullptr, c.type, nullptr);
    for (OGRGeometryH g : {from_wkt(c.good), c.bad()}) {
      OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
      OGR_F_SetGeometryDirectly(f, g);
      EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
      OGR_F_Destroy(f);
    }
    OGR_DS_Destroy(ds);
    CPLPopErrorHandler();

    auto fc = gis::OpenFeatureClass(path, "shapes");
    ASSERT_TRUE(fc);
    ComPtr<IFeatureCursor> cursor;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, cursor.put()), S_OK);
    ComPtr<IFeature> f;
    EXPECT_EQ(cursor->NextFeature(f.put()), S_OK);
    EXPECT_TRUE(f);
    f = nullptr;
    EXPECT_TRUE(FAILED(cursor->NextFeature(f.put())));
    EXPECT_FALSE(f);
    EXPECT_NE(core_test::error_text().find("feature 2 of " + path + " has coordinates that are not finite numbers"),
              std::string::npos)
        << core_test::error_text();
  }
}

// Shapefiles whose .prj texts are the same get the same system (one reading of the text),
// each class an object of its own; a .prj changed on disk is read again.
TEST_F(FeatureClassTest, TheSystemOfAShapefileFollowsTheTextOfItsPrj) {
  OGRRegisterAll();
  auto write = [&](const std::string& name, int epsg) {
    const std::string path = dir_.str() + "/" + name + ".shp";
    OGRDataSourceH ds = OGR_Dr_CreateDataSource(OGRGetDriverByName("ESRI Shapefile"), path.c_str(), nullptr);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OGR_DS_CreateLayer(ds, name.c_str(), srs, wkbPoint, nullptr);
    OSRRelease(srs);
    OGR_DS_Destroy(ds);
    return path;
  };
  using core_test::system_of;
  const std::string a = write("a", 32636), b = write("b", 32636), c = write("c", 4326);
  {
    auto fa = gis::OpenFeatureClass(a, ""), fb = gis::OpenFeatureClass(b, ""), fc = gis::OpenFeatureClass(c, "");
    ASSERT_TRUE(fa && fb && fc);
    const auto [text_a, sr_a] = system_of(fa.get());
    const auto [text_b, sr_b] = system_of(fb.get());
    EXPECT_EQ(text_a, "EPSG:32636");
    EXPECT_EQ(text_b, "EPSG:32636");
    EXPECT_TRUE(sr_a && sr_a.get() != sr_b.get());
    EXPECT_EQ(system_of(fc.get()).first, "EPSG:4326");
  }
  // b's .prj now holds c's text, while b is open: opening it again reads the new one.
  auto held = gis::OpenFeatureClass(b, "");
  ASSERT_TRUE(held);
  std::filesystem::copy_file(dir_.str() + "/c.prj", dir_.str() + "/b.prj",
                             std::filesystem::copy_options::overwrite_existing);
  auto fb = gis::OpenFeatureClass(b, "");
  ASSERT_TRUE(fb);
  EXPECT_NE(fb.get(), held.get());
  EXPECT_EQ(system_of(fb.get()).first, "EPSG:4326");
  // A .prj given to an open shapefile that had none counts as a change too.
  const std::string d = write("d", 4326);
  std::filesystem::remove(dir_.str() + "/d.prj");
  auto without = gis::OpenFeatureClass(d, "");
  ASSERT_TRUE(without);
  EXPECT_EQ(system_of(without.get()).first, "");
  std::filesystem::copy_file(dir_.str() + "/a.prj", dir_.str() + "/d.prj");
  auto with = gis::OpenFeatureClass(d, "");
  ASSERT_TRUE(with);
  EXPECT_EQ(system_of(with.get()).first, "EPSG:32636");
}

TEST_F(FeatureClassTest, SourcesThatCannotBeOpened) {
  std::string error;
  EXPECT_FALSE(gis::OpenFeatureClass(dir_.str() + "/missing.shp", "", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(gis::OpenFeatureClass(make_geopackage(dir_.str()), "nolayer", &error));
  std::string path, layer;
  auto fc = gis::OpenFeatureClass(make_geojson(dir_.str(), 1), "");
  ASSERT_TRUE(gis::FeatureClassSource(fc.get(), &path, &layer));
  EXPECT_EQ(path, dir_.str() + "/lines.geojson");
  EXPECT_EQ(layer, "lines");
}

TEST_F(FeatureClassTest, ReadOnlyClassRefusesWrites) {
  auto fc = gis::OpenFeatureClass(make_geojson(dir_.str(), 2), "");
  ComPtr<IFeature> f;
  EXPECT_TRUE(FAILED(fc->CreateFeature(f.put())));
  EXPECT_FALSE(f);
  auto field = core_test::create<IFieldEdit>(CLSID_Field);
  field->put_Name(Bstr::from_utf8("X").get());
  field->put_Type(esriFieldTypeInteger);
  EXPECT_TRUE(FAILED(fc->AddField(field.get())));
  ASSERT_EQ(fc->GetFeature(0, f.put()), S_OK);
  EXPECT_TRUE(FAILED(f->Store()));
}

// The files under folder this process has open.
std::vector<std::string> open_files_under(const std::string& folder) {
  std::vector<std::string> open;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
    if (!ec && target.rfind(folder + "/", 0) == 0) open.push_back(target);
  }
  return open;
}

TEST_F(FeatureClassTest, ALargeShapefileIsOpenOnlyWhileItIsRead) {
  // Its handle would hold the file's whole record index for as long as the class is held.
  const int n = 70000;
  const std::string path = make_shapefile(dir_.str(), n);
  auto fc = gis::OpenFeatureClass(path, "");
  ASSERT_TRUE(fc);
  EXPECT_TRUE(open_files_under(dir_.str()).empty());
  // Still one class per source, its layer named or not.
  EXPECT_EQ(gis::OpenFeatureClass(path, "lines").get(), fc.get());
  EXPECT_EQ(gis::OpenFeatureClass(path, "").get(), fc.get());
  LONG count = 0;
  ASSERT_EQ(fc->FeatureCount(nullptr, &count), S_OK);
  EXPECT_EQ(count, n);
  auto filter = core_test::create<IQueryFilter>(CLSID_QueryFilter);
  filter->put_WhereClause(Bstr::from_utf8("kind = 'k1'").get());
  ASSERT_EQ(fc->FeatureCount(filter.get(), &count), S_OK);
  EXPECT_EQ(count, n / 3);
  EXPECT_TRUE(open_files_under(dir_.str()).empty());

  const LONG id_field = field_index(fc.get(), "id");
  auto read = [&](IFeatureCursor* cursor, LONG limit) {
    ComPtr<IFeature> f;
    LONG read = 0;
    while (read < limit && cursor->NextFeature(f.put()) == S_OK) {
      VARIANT v;
      f->get_Value(id_field, &v);
      EXPECT_EQ(v.lVal, read);
      ++read;
    }
    return read;
  };
  {
    ComPtr<IFeatureCursor> cursor;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, cursor.put()), S_OK);
    EXPECT_EQ(read(cursor.get(), 10), 10);
    EXPECT_FALSE(open_files_under(dir_.str()).empty());
  }
  {
    // A reading left half-way keeps the file open for the next; one to the end closes it.
    ComPtr<IFeatureCursor> cursor;
    ASSERT_EQ(fc->Search(nullptr, VARIANT_FALSE, cursor.put()), S_OK);
    EXPECT_EQ(read(cursor.get(), n + 1), n);
    EXPECT_TRUE(open_files_under(dir_.str()).empty());
  }
  ComPtr<IFeature> last;
  ASSERT_EQ(fc->GetFeature(n - 1, last.put()), S_OK);
  VARIANT v;
  last->get_Value(id_field, &v);
  EXPECT_EQ(v.lVal, n - 1);

  // A class with a condition of its own meets it again when it opens the file again.
  auto kind_one = gis::OpenFeatureClass(path, "", nullptr, nullptr, "kind = 'k1'");
  ASSERT_TRUE(kind_one);
  ASSERT_EQ(kind_one->FeatureCount(nullptr, &count), S_OK);
  EXPECT_EQ(count, n / 3);
  ComPtr<IFeatureCursor> cursor;
  ASSERT_EQ(kind_one->Search(nullptr, VARIANT_FALSE, cursor.put()), S_OK);
  ComPtr<IFeature> f;
  LONG met = 0;
  while (cursor->NextFeature(f.put()) == S_OK) {
    f->get_Value(id_field, &v);
    EXPECT_EQ(v.lVal % 3, 1);
    ++met;
  }
  EXPECT_EQ(met, n / 3);
}

TEST_F(FeatureClassTest, ALargeShapefileChangedWhileItRestsIsNotReadAgain) {
  const std::string path = make_shapefile(dir_.str(), 70000);
  auto fc = gis::OpenFeatureClass(path, "");
  ASSERT_TRUE(fc);
  // Another program writes the shapefile anew while the map is open.
  for (const char* ext : {".shp", ".shx", ".dbf"}) std::filesystem::remove(std::filesystem::path(path).replace_extension(ext));
  make_shapefile(dir_.str(), 5);
  ComPtr<IFeatureCursor> cursor;
  EXPECT_TRUE(FAILED(fc->Search(nullptr, VARIANT_FALSE, cursor.put())));
  EXPECT_NE(core_test::error_text().find("has changed"), std::string::npos) << core_test::error_text();
  ComPtr<IFeature> f;
  EXPECT_TRUE(FAILED(fc->GetFeature(0, f.put())));
  // Opened again, the source is what it is now.
  fc.reset();
  auto again = gis::OpenFeatureClass(path, "");
  ASSERT_TRUE(again);
  LONG count = 0;
  ASSERT_EQ(again->FeatureCount(nullptr, &count), S_OK);
  EXPECT_EQ(count, 5);

  // A source taken away while it rests.
  std::filesystem::create_directory(dir_.str() + "/again");
  auto large = gis::OpenFeatureClass(make_shapefile(dir_.str() + "/again", 70000), "");
  ASSERT_TRUE(large);
  std::filesystem::remove_all(dir_.str() + "/again");
  EXPECT_TRUE(FAILED(large->Search(nullptr, VARIANT_FALSE, cursor.put())));
  EXPECT_NE(core_test::error_text().find("is gone"), std::string::npos) << core_test::error_text();
}

}  // namespace

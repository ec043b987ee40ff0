// Values copied from a source into a shapefile as the cut copies them (the source's fields
// added to the new class, each value read with get_Value and given to put_Value), then
// read back with GDAL: every value the .dbf holds exactly is written exactly, and every
// change it cannot avoid (a time dropped, a number rounded) is on the changes channel.
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <string>
#include <vector>

#include "core_test.h"

namespace {

using core_test::error_text;

using core_test::create;
using win32::Bstr;
using win32::ComPtr;

class ValueCopyTest : public core_test::CoreTest {
 protected:
  testing_support::TempDir dir_;
};

struct SourceRow {
  double real;
  int when[6];  // year, month, day, hour, minute, second; year 0: null
  long long big;
};

// A GeoPackage layer "src" of points with REAL_V (Real), WHEN (DateTime), BIG (Integer64).
std::string write_source(const std::string& folder, const std::vector<SourceRow>& rows) {
  GDALAllRegister();
  const std::string path = folder + "/source.gpkg";
  GDALDriverH driver = GDALGetDriverByName("GPKG");
  GDALDatasetH ds = GDALCreate(driver, path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  OGRLayerH layer = GDALDatasetCreateLayer(ds, "src", nullptr, wkbPoint, nullptr);
  OGRFieldDefnH real = OGR_Fld_Create("REAL_V", OFTReal), when = OGR_Fld_Create("WHEN", OFTDateTime),
                big = OGR_Fld_Create("BIG", OFTInteger64);
  for (OGRFieldDefnH f : {real, when, big}) {
    OGR_L_CreateField(layer, f, TRUE);
    OGR_Fld_Destroy(f);
  }
  for (const SourceRow& r : rows) {
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGRGeometryH point = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(point, 0, 1, 2);
    OGR_F_SetGeometryDirectly(f, point);
    OGR_F_SetFieldDouble(f, 0, r.real);
    if (r.when[0]) OGR_F_SetFieldDateTimeEx(f, 1, r.when[0], r.when[1], r.when[2], r.when[3], r.when[4],
                                            static_cast<float>(r.when[5]), 0);
    else OGR_F_SetFieldNull(f, 1);
    OGR_F_SetFieldInteger64(f, 2, r.big);
    EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
    OGR_F_Destroy(f);
  }
  GDALClose(ds);
  return path;
}

// Copies every feature of `source` into a new shapefile `name` in `folder`, fields as the
// source presents them; false (with the failure) when a value cannot be read or stored.
HRESULT copy_to_shapefile(IFeatureClass* source, const std::string& folder, const std::string& name) {
  auto factory = create<IWorkspaceFactory>(CLSID_ShapefileWorkspaceFactory);
  auto props = create<IPropertySet>(CLSID_PropertySet);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = win32::bstr_from_utf8(folder);
  props->SetProperty(Bstr::from_utf8("DATABASE").get(), v);
  VariantClear(&v);
  ComPtr<IWorkspace> ws;
  if (HRESULT hr = factory->Open(props.get(), 0, ws.put()); FAILED(hr)) return hr;
  ComPtr<IFields> fields;
  source->get_Fields(fields.put());
  ComPtr<IFeatureClass> target;
  HRESULT hr = ws.as<IFeatureWorkspace>()->CreateFeatureClass(Bstr::from_utf8(name).get(), fields.get(), nullptr,
                                                               nullptr, esriFTSimple, Bstr::from_utf8("Shape").get(),
                                                               Bstr::from_utf8("").get(), target.put());
  if (FAILED(hr)) return hr;
  ComPtr<IFeatureCursor> cursor;
  if (FAILED(hr = source->Search(nullptr, VARIANT_FALSE, cursor.put()))) return hr;
  LONG count = 0;
  fields->get_FieldCount(&count);
  for (;;) {
    ComPtr<IFeature> in;
    hr = cursor->NextFeature(in.put());
    if (FAILED(hr)) return hr;
    if (hr != S_OK) break;
    ComPtr<IFeature> out;
    target->CreateFeature(out.put());
    for (LONG i = 0; i < count; ++i) {
      ComPtr<IField> field;
      fields->get_Field(i, field.put());
      Bstr field_name;
      field->get_Name(field_name.put());
      LONG j = -1;
      target->FindField(field_name.get(), &j);
      esriFieldType type;
      field->get_Type(&type);
      if (j < 0 || type == esriFieldTypeOID) continue;
      VARIANT value;
      VariantInit(&value);
      if (FAILED(hr = in->get_Value(i, &value))) return hr;
      hr = out->put_Value(j, value);
      VariantClear(&value);
      if (FAILED(hr)) return hr;
    }
    if (FAILED(hr = out->Store())) return hr;
  }
  return S_OK;
}

TEST_F(ValueCopyTest, ValuesTheDbfHoldsAreWrittenExactlyAndEveryChangeIsReported) {
  const std::vector<SourceRow> rows = {
      {1e-300, {2024, 5, 6, 7, 8, 9}, 9007199254740993LL},
      {0.5, {2024, 5, 6, 0, 0, 0}, -9223372036854775807LL},
      {1.25, {0}, 42},
      {-3.0625, {1999, 12, 31, 23, 59, 0}, 9223372036854775807LL},
  };
  const std::string source_path = write_source(dir_.str(), rows);
  std::string error;
  ComPtr<IFeatureClass> source = gis::OpenFeatureClass(source_path, "src", &error);
  ASSERT_TRUE(source) << error;
  gis::TakeDataChanges();
  ASSERT_EQ(copy_to_shapefile(source.get(), dir_.str(), "out.shp"), S_OK) << error_text();
  source.reset();

  std::vector<gis::DataChange> changes = gis::TakeDataChanges();
  std::vector<std::pair<std::string, long>> reported;
  for (const gis::DataChange& c : changes) reported.push_back({c.message, c.count});
  EXPECT_EQ(reported, (std::vector<std::pair<std::string, long>>{
                          {"numbers of field REAL_V rounded to its 15 decimals", 1},
                          {"times of field WHEN dropped (a .dbf date holds the day only)", 2}}));

  // ADJUST_TYPE: GDAL reads a 20-digit field without decimals as the integers it holds.
  const char* options[] = {"ADJUST_TYPE=YES", nullptr};
  GDALDatasetH ds = GDALOpenEx((dir_.path() / "out.shp").c_str(), GDAL_OF_VECTOR, nullptr, options, nullptr);
  ASSERT_TRUE(ds);
  OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
  OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
  const int real = OGR_FD_GetFieldIndex(defn, "REAL_V"), when = OGR_FD_GetFieldIndex(defn, "WHEN"),
            big = OGR_FD_GetFieldIndex(defn, "BIG");
  ASSERT_GE(real, 0);
  ASSERT_GE(when, 0);
  ASSERT_GE(big, 0);
  EXPECT_EQ(OGR_Fld_GetType(OGR_FD_GetFieldDefn(defn, big)), OFTInteger64);
  size_t i = 0;
  for (OGRFeatureH f; (f = OGR_L_GetNextFeature(layer)) != nullptr; ++i) {
    SCOPED_TRACE(i);
    ASSERT_LT(i, rows.size());
    EXPECT_EQ(OGR_F_GetFieldAsInteger64(f, big), rows[i].big);
    EXPECT_EQ(OGR_F_GetFieldAsDouble(f, real), i == 0 ? 0.0 : rows[i].real);
    if (rows[i].when[0]) {
      int y = 0, m = 0, d = 0, h = 0, mi = 0, tz = 0;
      float s = 0;
      ASSERT_TRUE(OGR_F_GetFieldAsDateTimeEx(f, when, &y, &m, &d, &h, &mi, &s, &tz));
      EXPECT_EQ((std::vector<int>{y, m, d}), (std::vector<int>{rows[i].when[0], rows[i].when[1], rows[i].when[2]}));
    } else {
      EXPECT_FALSE(OGR_F_IsFieldSetAndNotNull(f, when));
    }
    OGR_F_Destroy(f);
  }
  EXPECT_EQ(i, rows.size());
  GDALClose(ds);
}

}  // namespace

// The shapefile workspace: creating a shapefile through the factory as the system does,
// filling it, releasing it, and reading it back with GDAL directly.
#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "core_test.h"

namespace {

using core_test::create;
using core_test::wkt;
using win32::Bstr;
using win32::ComPtr;

VARIANT bstr_variant(const std::string& s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = win32::bstr_from_utf8(s);
  return v;
}

ComPtr<IWorkspace> open_workspace(const std::string& folder) {
  auto factory = create<IWorkspaceFactory>(CLSID_ShapefileWorkspaceFactory);
  auto props = create<IPropertySet>(CLSID_PropertySet);
  VARIANT v = bstr_variant(folder);
  EXPECT_EQ(props->SetProperty(Bstr::from_utf8("DATABASE").get(), v), S_OK);
  VariantClear(&v);
  ComPtr<IWorkspace> ws;
  EXPECT_EQ(factory->Open(props.get(), 0, ws.put()), S_OK);
  return ws;
}

// The two-field schema the system creates shapefiles with.
ComPtr<IFields> two_fields(esriGeometryType type, ISpatialReference* sr) {
  auto fields = create<IFieldsEdit>(CLSID_Fields);
  auto def = create<IGeometryDefEdit>(CLSID_GeometryDef);
  def->put_GeometryType(type);
  def->put_HasM(VARIANT_FALSE);
  def->put_HasZ(VARIANT_FALSE);
  def->putref_SpatialReference(sr);
  auto oid = create<IFieldEdit>(CLSID_Field);
  oid->put_Name(Bstr::from_utf8("OBJECTID").get());
  oid->put_AliasName(Bstr::from_utf8("OBJECTID").get());
  oid->put_Type(esriFieldTypeOID);
  fields->AddField(oid.get());
  auto shape = create<IFieldEdit>(CLSID_Field);
  shape->put_Name(Bstr::from_utf8("SHAPE").get());
  shape->put_IsNullable(VARIANT_TRUE);
  shape->put_Type(esriFieldTypeGeometry);
  shape->putref_GeometryDef(def.as<IGeometryDef>().get());
  shape->put_Required(VARIANT_TRUE);
  fields->AddField(shape.get());
  return fields.as<IFields>();
}

HRESULT create_class(IWorkspace* ws, const std::string& name, esriGeometryType type, ISpatialReference* sr,
                     ComPtr<IFeatureClass>* out) {
  auto fws = win32::query<IFeatureWorkspace>(ws);
  ComPtr<IFields> fields = two_fields(type, sr);
  return fws->CreateFeatureClass(Bstr::from_utf8(name).get(), fields.get(), nullptr, nullptr, esriFTSimple,
                                 Bstr::from_utf8("Shape").get(), Bstr::from_utf8("").get(), out->put());
}

ComPtr<IField> field(const std::string& name, esriFieldType type, LONG length = 0, LONG precision = 0, LONG scale = 0) {
  auto f = create<IFieldEdit>(CLSID_Field);
  f->put_Name(Bstr::from_utf8(name).get());
  f->put_Type(type);
  f->put_Length(length);
  f->put_Precision(precision);
  f->put_Scale(scale);
  return f.as<IField>();
}

LONG find(IFeatureClass* fc, const std::string& name) {
  LONG i = -2;
  fc->FindField(Bstr::from_utf8(name).get(), &i);
  return i;
}

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ShapefileWorkspaceTest : public core_test::CoreTest {
 protected:
  testing_support::TempDir dir_;
};

TEST_F(ShapefileWorkspaceTest, CreatedShapefileReadsBackWithGdal) {
  auto sr = gis::SpatialReferenceFromText("EPSG:32636");
  {
    ComPtr<IWorkspace> ws = open_workspace(dir_.str() + "/");  // trailing separator accepted
    ASSERT_TRUE(ws);
    ComPtr<IFeatureClass> fc;
    ASSERT_EQ(create_class(ws.get(), "roads.shp", esriGeometryPolyline, sr.get(), &fc), S_OK);
    ASSERT_TRUE(fc);
    Bstr name;
    fc.as<IDataset>()->get_Name(name.put());
    EXPECT_EQ(name.utf8(), "roads");
    EXPECT_EQ(find(fc.get(), "FID"), 0);
    EXPECT_EQ(find(fc.get(), "Shape"), 1);
    ComPtr<IFields> fields;
    fc->get_Fields(fields.put());
    ComPtr<IField> oid;
    fields->get_Field(0, oid.put());
    VARIANT_BOOL editable = VARIANT_TRUE;
    oid->get_Editable(&editable);
    EXPECT_EQ(editable, VARIANT_FALSE);

    EXPECT_EQ(fc->AddField(field("NAME", esriFieldTypeString, 20).get()), S_OK);
    EXPECT_EQ(fc->AddField(field("LANES", esriFieldTypeInteger, 4, 4).get()), S_OK);
    EXPECT_EQ(fc->AddField(field("RATIO", esriFieldTypeDouble, 8, 24, 15).get()), S_OK);
    EXPECT_EQ(fc->AddField(field("BUILT", esriFieldTypeDate).get()), S_OK);
    EXPECT_EQ(fc->AddField(field("LONGFIELDNAME1", esriFieldTypeInteger).get()), S_OK);
    EXPECT_EQ(fc->AddField(field("LONGFIELDNAME2", esriFieldTypeInteger).get()), S_OK);
    EXPECT_TRUE(FAILED(fc->AddField(field("BLOB", esriFieldTypeBlob).get())));
    // Values are found under the long names they were asked for, too.
    EXPECT_EQ(find(fc.get(), "longfieldname2"), find(fc.get(), "LONGFIELD1"));

    const char* names[] = {"Хрещатик", "Main road", nullptr};
    for (int i = 0; i < 3; ++i) {
      ComPtr<IFeature> f;
      ASSERT_EQ(fc->CreateFeature(f.put()), S_OK);
      auto line = wkt("LINESTRING(" + std::to_string(500000 + i) + " 5500000,500100 5500100)", sr.get());
      ASSERT_EQ(f->putref_Shape(line.get()), S_OK);
      VARIANT v;
      VariantInit(&v);
      if (names[i]) {
        v = bstr_variant(names[i]);
      } else {
        v.vt = VT_NULL;
      }
      EXPECT_EQ(f->put_Value(find(fc.get(), "NAME"), v), S_OK);
      VariantClear(&v);
      v.vt = VT_I4;
      v.lVal = i + 1;
      EXPECT_EQ(f->put_Value(find(fc.get(), "LANES"), v), S_OK);
      EXPECT_EQ(f->put_Value(find(fc.get(), "LONGFIELDNAME2"), v), S_OK);
      v.vt = VT_R8;
      v.dblVal = 123456789.125;  // 9 integer digits in a field declared 24 wide with 15 decimals
      EXPECT_EQ(f->put_Value(find(fc.get(), "RATIO"), v), S_OK);
      v.vt = VT_DATE;
      v.date = 44270.0;
      EXPECT_EQ(f->put_Value(find(fc.get(), "BUILT"), v), S_OK);
      v.vt = VT_I4;
      EXPECT_TRUE(FAILED(f->put_Value(0, v)));  // the id is not editable
      ASSERT_EQ(f->Store(), S_OK);
      LONG oid_value = -1;
      f->get_OID(&oid_value);
      EXPECT_EQ(oid_value, i);
    }
  }  // last reference released: the file is closed

  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::exists(dir_.path() / "roads.prj"));
  EXPECT_EQ(slurp(dir_.path() / "roads.cpg").substr(0, 5), "UTF-8");
  EXPECT_NE(slurp(dir_.path() / "roads.prj").find("UTM_Zone_36N"), std::string::npos);

  OGRRegisterAll();
  OGRDataSourceH ds = OGROpen((dir_.str() + "/roads.shp").c_str(), FALSE, nullptr);
  ASSERT_NE(ds, nullptr);
  OGRLayerH layer = OGR_DS_GetLayer(ds, 0);
  EXPECT_EQ(OGR_L_GetFeatureCount(layer, TRUE), 3);
  EXPECT_EQ(wkbFlatten(OGR_L_GetGeomType(layer)), wkbLineString);
  OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
  std::vector<std::string> got;
  for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) got.push_back(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i)));
  EXPECT_EQ(got, (std::vector<std::string>{"NAME", "LANES", "RATIO", "BUILT", "LONGFIELDN", "LONGFIELD1"}));
  EXPECT_EQ(OGR_Fld_GetType(OGR_FD_GetFieldDefn(defn, 2)), OFTReal);
  EXPECT_EQ(OGR_Fld_GetPrecision(OGR_FD_GetFieldDefn(defn, 2)), 15);
  EXPECT_EQ(OGR_Fld_GetType(OGR_FD_GetFieldDefn(defn, 3)), OFTDate);
  OGRFeatureH f = OGR_L_GetNextFeature(layer);
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(OGR_F_GetFieldAsString(f, 0), "Хрещатик");
  EXPECT_EQ(OGR_F_GetFieldAsInteger(f, 1), 1);
  EXPECT_DOUBLE_EQ(OGR_F_GetFieldAsDouble(f, 2), 123456789.125);
  int y, m, d, h, mi, sec, tz;
  OGR_F_GetFieldAsDateTime(f, 3, &y, &m, &d, &h, &mi, &sec, &tz);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20210315);
  EXPECT_EQ(OGR_F_GetFieldAsInteger(f, 5), 1);
  char* geometry_wkt = nullptr;
  OGR_G_ExportToWkt(OGR_F_GetGeometryRef(f), &geometry_wkt);
  EXPECT_STREQ(geometry_wkt, "LINESTRING (500000 5500000,500100 5500100)");
  CPLFree(geometry_wkt);
  OGR_F_Destroy(f);
  OGR_L_SetAttributeFilter(layer, "NAME IS NULL");
  EXPECT_EQ(OGR_L_GetFeatureCount(layer, TRUE), 1);
  OGR_DS_Destroy(ds);

  // ogrinfo agrees, when it is installed.
  if (std::system("command -v ogrinfo > /dev/null 2>&1") == 0) {
    std::string out_file = dir_.str() + "/ogrinfo.txt";
    ASSERT_EQ(std::system(("ogrinfo -ro -al -so " + dir_.str() + "/roads.shp > " + out_file).c_str()), 0);
    std::string info = slurp(out_file);
    EXPECT_NE(info.find("Feature Count: 3"), std::string::npos) << info;
    EXPECT_NE(info.find("LONGFIELD1: Integer"), std::string::npos) << info;
  }

  // And the workspace reads it back the way the system opens it again.
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ComPtr<IFeatureClass> back;
  ASSERT_EQ(win32::query<IFeatureWorkspace>(ws.get())->OpenFeatureClass(Bstr::from_utf8("roads").get(), back.put()), S_OK);
  LONG n = 0;
  back->FeatureCount(nullptr, &n);
  EXPECT_EQ(n, 3);
  ComPtr<IFeature> first;
  ASSERT_EQ(back->GetFeature(0, first.put()), S_OK);
  VARIANT v;
  first->get_Value(find(back.get(), "NAME"), &v);
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(win32::bstr_to_utf8(v.bstrVal), "Хрещатик");
  VariantClear(&v);
  esriGeometryType type;
  back->get_ShapeType(&type);
  EXPECT_EQ(type, esriGeometryPolyline);
}

TEST_F(ShapefileWorkspaceTest, ValueThatCannotBeStoredFailsTheStore) {
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ComPtr<IFeatureClass> fc;
  ASSERT_EQ(create_class(ws.get(), "pts.shp", esriGeometryPoint, nullptr, &fc), S_OK);
  ASSERT_EQ(fc->AddField(field("SMALL", esriFieldTypeInteger, 4, 3).get()), S_OK);
  ASSERT_EQ(fc->AddField(field("LABEL", esriFieldTypeString, 2).get()), S_OK);
  auto store = [&](LONG number, const std::string& label) {
    ComPtr<IFeature> f;
    EXPECT_EQ(fc->CreateFeature(f.put()), S_OK);
    f->putref_Shape(wkt("POINT(1 2)").get());
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = number;
    f->put_Value(find(fc.get(), "SMALL"), v);
    v = bstr_variant(label);
    f->put_Value(find(fc.get(), "LABEL"), v);
    VariantClear(&v);
    SetErrorInfo(0, nullptr);
    return f->Store();
  };
  EXPECT_EQ(store(999, "ab"), S_OK);
  EXPECT_EQ(store(999, "жж"), S_OK);  // the width doubles for UTF-8
  HRESULT hr = store(1000, "ab");
  EXPECT_TRUE(FAILED(hr));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  Bstr description;
  info->GetDescription(description.put());
  EXPECT_NE(description.utf8().find("SMALL"), std::string::npos) << description.utf8();
  LONG n = 0;
  fc->FeatureCount(nullptr, &n);
  EXPECT_EQ(n, 2);  // nothing of the refused feature was written
}

// Records written on a thread of their own (AREACLIP_WRITE_BEHIND=1) fail as those written
// in the caller's thread: a write the system refuses (a full disk) fails a Store, the one
// that made it or a later one, with the same reason; refused among the very last records of
// a class, when no Store is left to tell, the reason comes with the shapefile's next opening.
TEST_F(ShapefileWorkspaceTest, AFullDiskFailsAStoreOrTheNextOpening) {
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  auto fws = ws.as<IFeatureWorkspace>();
  // Stores up to `count` points until a Store fails (its reason into *failure); the number
  // stored. The class is let go of under the limit too.
  auto fill = [&](const std::string& name, int count, std::string* failure) {
    ComPtr<IFeatureClass> fc;
    EXPECT_EQ(create_class(ws.get(), name + ".shp", esriGeometryPoint, nullptr, &fc), S_OK);
    EXPECT_EQ(fc->AddField(field("LABEL", esriFieldTypeString, 200).get()), S_OK);
    const LONG at = find(fc.get(), "LABEL");
    core_test::FileSizeLimit limit(300000);
    int stored = 0;
    for (; stored < count; ++stored) {
      ComPtr<IFeature> f;
      EXPECT_EQ(fc->CreateFeature(f.put()), S_OK);
      f->putref_Shape(wkt("POINT(1 2)").get());
      VARIANT v = bstr_variant(std::string(200, 'x'));
      f->put_Value(at, v);
      VariantClear(&v);
      SetErrorInfo(0, nullptr);
      if (FAILED(f->Store())) {
        *failure = core_test::error_text();
        break;
      }
    }
    fc.reset();
    return stored;
  };
  std::string in_caller, behind, last;
  setenv("AREACLIP_WRITE_BEHIND", "0", 1);
  const int refused_at = fill("caller", 5000, &in_caller);
  setenv("AREACLIP_WRITE_BEHIND", "1", 1);
  const int behind_stored = fill("behind", 5000, &behind);
  const int last_stored = fill("last", refused_at + 1, &last);
  unsetenv("AREACLIP_WRITE_BEHIND");
  ASSERT_LT(refused_at, 5000) << "the limit refused nothing";
  EXPECT_NE(in_caller.find("cannot write a feature to"), std::string::npos) << in_caller;
  EXPECT_GE(behind_stored, refused_at);
  EXPECT_LT(behind_stored, 5000);
  EXPECT_NE(behind.find("cannot write a feature to"), std::string::npos) << behind;
  // The refused record was the last: every Store went through, the opening tells.
  EXPECT_EQ(last_stored, refused_at + 1);
  EXPECT_EQ(last, "");
  ComPtr<IFeatureClass> reopened;
  SetErrorInfo(0, nullptr);
  EXPECT_TRUE(FAILED(fws->OpenFeatureClass(Bstr::from_utf8("last").get(), reopened.put())));
  EXPECT_NE(core_test::error_text().find("cannot write a feature to"), std::string::npos) << core_test::error_text();
  // Made anew, it opens again.
  ComPtr<IFeatureClass> again;
  for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
    std::filesystem::remove(dir_.path() / (std::string("last") + ext));
  ASSERT_EQ(create_class(ws.get(), "last.shp", esriGeometryPoint, nullptr, &again), S_OK);
  again.reset();
  EXPECT_EQ(fws->OpenFeatureClass(Bstr::from_utf8("last").get(), reopened.put()), S_OK);
}

TEST_F(ShapefileWorkspaceTest, TextLongerThanItsFieldIsCutAtACharacterBoundaryAndReported) {
  gis::TakeDataChanges();
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ComPtr<IFeatureClass> fc;
  ASSERT_EQ(create_class(ws.get(), "pts.shp", esriGeometryPoint, nullptr, &fc), S_OK);
  ASSERT_EQ(fc->AddField(field("LONG_LABEL_NAME", esriFieldTypeString, 2).get()), S_OK);  // 4 bytes
  struct Case {
    std::string stored, read;
  };
  const Case cases[] = {{"abcd", "abcd"}, {"abcж", "abc"}, {"abжж", "abж"}, {"жжж", "жж"}};
  for (const Case& c : cases) {
    ComPtr<IFeature> f;
    ASSERT_EQ(fc->CreateFeature(f.put()), S_OK);
    f->putref_Shape(wkt("POINT(1 2)").get());
    VARIANT v = bstr_variant(c.stored);
    f->put_Value(find(fc.get(), "LONG_LABEL"), v);
    VariantClear(&v);
    ASSERT_EQ(f->Store(), S_OK) << c.stored;
  }
  fc.reset();
  ws.reset();
  std::vector<gis::DataChange> changes = gis::TakeDataChanges();
  ASSERT_EQ(changes.size(), 2u);
  const std::string file = (dir_.path() / "pts.shp").lexically_normal().string();
  EXPECT_EQ(changes[0].file, file);
  EXPECT_EQ(changes[0].message, "field name LONG_LABEL_NAME shortened to LONG_LABEL");
  EXPECT_EQ(changes[0].count, 1);
  EXPECT_EQ(changes[1].message, "texts of field LONG_LABEL longer than its 4 bytes cut at a character boundary");
  EXPECT_EQ(changes[1].count, 3);
  GDALDatasetH ds = GDALOpenEx((dir_.path() / "pts.shp").c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
  ASSERT_TRUE(ds);
  OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
  size_t i = 0;
  for (OGRFeatureH f; (f = OGR_L_GetNextFeature(layer)) != nullptr; ++i) {
    ASSERT_LT(i, std::size(cases));
    EXPECT_EQ(OGR_F_GetFieldAsString(f, 0), cases[i].read);
    OGR_F_Destroy(f);
  }
  EXPECT_EQ(i, std::size(cases));
  GDALClose(ds);
}

// Whether text is valid UTF-8 (no stray, missing or overlong continuation bytes).
bool valid_utf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

// The longest prefix of text, whole characters, of at most width bytes.
std::string longest_prefix(const std::string& text, size_t width) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    if (out.size() + n > width) break;
    out += text.substr(i, n);
    i += n;
  }
  return out;
}

// Texts of one-, two-, three- and four-byte characters cut to their field's width at
// every offset of the characters against the width: GDAL reads back the longest prefix
// of whole characters, valid UTF-8.
TEST_F(ShapefileWorkspaceTest, TextCutToItsWidthKeepsWholeCharactersAtEveryOffset) {
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  const char* const characters[] = {"z", "ж", "€", "中", "\xF0\x9F\x98\x80"};  // the last: an emoji
  for (LONG length : {1, 2, 3, 4, 5}) {
    const size_t width = static_cast<size_t>(length) * 2;  // bytes: UTF-8 gets twice the characters
    const std::string name = "cut" + std::to_string(length) + ".shp";
    ComPtr<IFeatureClass> fc;
    ASSERT_EQ(create_class(ws.get(), name, esriGeometryPoint, nullptr, &fc), S_OK);
    ASSERT_EQ(fc->AddField(field("LABEL", esriFieldTypeString, length).get()), S_OK);
    std::vector<std::string> stored;
    for (const char* character : characters)
      for (size_t offset = 0; offset <= width; ++offset) {
        std::string text(offset, 'a');
        for (int k = 0; k < 4; ++k) text += character;
        stored.push_back(text);
      }
    for (const std::string& text : stored) {
      ComPtr<IFeature> f;
      ASSERT_EQ(fc->CreateFeature(f.put()), S_OK);
      f->putref_Shape(wkt("POINT(1 2)").get());
      VARIANT v = bstr_variant(text);
      f->put_Value(find(fc.get(), "LABEL"), v);
      VariantClear(&v);
      ASSERT_EQ(f->Store(), S_OK) << text;
    }
    fc.reset();
    GDALDatasetH ds = GDALOpenEx((dir_.path() / name).c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    ASSERT_TRUE(ds);
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    size_t i = 0;
    for (OGRFeatureH f; (f = OGR_L_GetNextFeature(layer)) != nullptr; ++i) {
      ASSERT_LT(i, stored.size());
      const std::string read = OGR_F_GetFieldAsString(f, 0);
      EXPECT_TRUE(valid_utf8(read)) << "width " << width << ": '" << stored[i] << "' read back as '" << read << "'";
      EXPECT_EQ(read, longest_prefix(stored[i], width)) << "width " << width << ": '" << stored[i] << "'";
      OGR_F_Destroy(f);
    }
    EXPECT_EQ(i, stored.size());
    GDALClose(ds);
  }
  gis::TakeDataChanges();
}

TEST_F(ShapefileWorkspaceTest, RefusesExistingFilesAndBadFolders) {
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ComPtr<IFeatureClass> fc;
  ASSERT_EQ(create_class(ws.get(), "a.shp", esriGeometryPolygon, nullptr, &fc), S_OK);
  fc.reset();
  EXPECT_TRUE(FAILED(create_class(ws.get(), "a.shp", esriGeometryPolygon, nullptr, &fc)));
  EXPECT_TRUE(FAILED(create_class(ws.get(), "A.SHP", esriGeometryPolygon, nullptr, &fc)));
  EXPECT_FALSE(fc);

  std::ofstream(dir_.path() / "b.dbf") << "x";
  EXPECT_TRUE(FAILED(create_class(ws.get(), "b.shp", esriGeometryPolygon, nullptr, &fc)));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "b.shp"));

  auto sub = dir_.path() / "locked";
  std::filesystem::create_directory(sub);
  chmod(sub.c_str(), 0555);
  if (access(sub.c_str(), W_OK) != 0) {  // root may write anyway
    ComPtr<IWorkspace> locked = open_workspace(sub.string());
    EXPECT_TRUE(FAILED(create_class(locked.get(), "c.shp", esriGeometryPolygon, nullptr, &fc)));
    EXPECT_TRUE(std::filesystem::is_empty(sub));
  }
  chmod(sub.c_str(), 0755);

  auto factory = create<IWorkspaceFactory>(CLSID_ShapefileWorkspaceFactory);
  ComPtr<IWorkspace> none;
  EXPECT_TRUE(FAILED(factory->OpenFromFile(Bstr::from_utf8(dir_.str() + "/missing").get(), 0, none.put())));
  EXPECT_FALSE(none);
  EXPECT_TRUE(FAILED(factory->OpenFromFile(Bstr::from_utf8(dir_.str() + "/b.dbf").get(), 0, none.put())));
  auto props = create<IPropertySet>(CLSID_PropertySet);
  EXPECT_TRUE(FAILED(factory->Open(props.get(), 0, none.put())));
  EXPECT_FALSE(none);
}

TEST_F(ShapefileWorkspaceTest, OpensClassesByNameWithOrWithoutExtension) {
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ComPtr<IFeatureClass> fc;
  ASSERT_EQ(create_class(ws.get(), "Rivers.shp", esriGeometryPolyline, nullptr, &fc), S_OK);
  fc.reset();
  auto factory = create<IWorkspaceFactory>(CLSID_ShapefileWorkspaceFactory);
  ComPtr<IWorkspace> again;
  ASSERT_EQ(factory->OpenFromFile(Bstr::from_utf8(dir_.str()).get(), 0, again.put()), S_OK);
  auto fws = again.as<IFeatureWorkspace>();
  for (const char* name : {"Rivers", "Rivers.shp", "rivers.SHP"}) {
    ComPtr<IFeatureClass> opened;
    EXPECT_EQ(fws->OpenFeatureClass(Bstr::from_utf8(name).get(), opened.put()), S_OK) << name;
    EXPECT_TRUE(opened) << name;
  }
  ComPtr<IFeatureClass> missing;
  EXPECT_TRUE(FAILED(fws->OpenFeatureClass(Bstr::from_utf8("Lakes").get(), missing.put())));
  EXPECT_FALSE(missing);
}

// A shapefile written and let go is what the next opening reads, and what GDAL reads from
// disk at once: with features or none, and also when it was changed on disk in between.
TEST_F(ShapefileWorkspaceTest, AShapefileLetGoIsWholeOnDiskAndReopensAsWritten) {
  auto sr = gis::SpatialReferenceFromText("EPSG:32636");
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  auto fws = ws.as<IFeatureWorkspace>();
  auto write = [&](const std::string& name, int count) {
    ComPtr<IFeatureClass> fc;
    EXPECT_EQ(create_class(ws.get(), name + ".shp", esriGeometryPoint, sr.get(), &fc), S_OK);
    EXPECT_EQ(fc->AddField(field("N", esriFieldTypeInteger, 4, 4).get()), S_OK);
    for (int i = 0; i < count; ++i) {
      ComPtr<IFeature> f;
      EXPECT_EQ(fc->CreateFeature(f.put()), S_OK);
      EXPECT_EQ(f->putref_Shape(wkt("POINT(" + std::to_string(500000 + i) + " 5500000)", sr.get()).get()), S_OK);
      VARIANT v;
      v.vt = VT_I4;
      v.lVal = 10 + i;
      EXPECT_EQ(f->put_Value(find(fc.get(), "N"), v), S_OK);
      EXPECT_EQ(f->Store(), S_OK);
    }
  };
  // GDAL's own reading of the files on disk: the count, -1 when it cannot read them whole
  // (the attribute N among them).
  auto count_on_disk = [&](const std::string& name) {
    OGRDataSourceH ds = OGROpen((dir_.str() + "/" + name + ".shp").c_str(), FALSE, nullptr);
    if (!ds) return -1LL;
    OGRLayerH layer = OGR_DS_GetLayer(ds, 0);
    if (OGR_FD_GetFieldIndex(OGR_L_GetLayerDefn(layer), "N") != 0) {
      OGR_DS_Destroy(ds);
      return -1LL;
    }
    long long n = 0;
    for (OGRFeatureH f; (f = OGR_L_GetNextFeature(layer)) != nullptr; ++n) OGR_F_Destroy(f);
    OGR_DS_Destroy(ds);
    return n;
  };
  // The values of N read through the workspace, with the class's system.
  auto read = [&](const std::string& name, std::string* system) {
    std::vector<LONG> values;
    ComPtr<IFeatureClass> fc;
    EXPECT_EQ(fws->OpenFeatureClass(Bstr::from_utf8(name).get(), fc.put()), S_OK);
    if (!fc) return values;
    *system = core_test::system_of(fc.get()).first;
    ComPtr<IFeatureCursor> cursor;
    fc->Search(nullptr, VARIANT_FALSE, cursor.put());
    HRESULT hr = S_OK;
    for (ComPtr<IFeature> f; cursor && (hr = cursor->NextFeature(f.put())) == S_OK; f.reset()) {
      VARIANT v;
      VariantInit(&v);
      f->get_Value(find(fc.get(), "N"), &v);
      values.push_back(v.lVal);
      VariantClear(&v);
    }
    EXPECT_EQ(hr, S_FALSE) << core_test::error_text();
    return values;
  };
  // Another program's change: a feature with N = 99 added to the shapefile on disk.
  auto append = [&](const std::string& name) {
    OGRDataSourceH ds = OGROpen((dir_.str() + "/" + name + ".shp").c_str(), TRUE, nullptr);
    ASSERT_TRUE(ds);
    OGRLayerH layer = OGR_DS_GetLayer(ds, 0);
    OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGR_F_SetFieldInteger(f, 0, 99);
    OGRGeometryH g = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(g, 0, 500050, 5500050);
    OGR_F_SetGeometryDirectly(f, g);
    EXPECT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
    OGR_F_Destroy(f);
    OGR_DS_Destroy(ds);
  };
  std::string system;
  write("first", 1);  // the first of its system, read from its .prj
  EXPECT_EQ(read("first", &system), std::vector<LONG>{10});
  EXPECT_EQ(system, "EPSG:32636");
  for (int count : {3, 0}) {
    const std::string name = "written" + std::to_string(count);
    write(name, count);
    EXPECT_EQ(count_on_disk(name), count);
    std::vector<LONG> expected;
    for (int i = 0; i < count; ++i) expected.push_back(10 + i);
    system.clear();
    EXPECT_EQ(read(name, &system), expected) << name;
    EXPECT_EQ(system, "EPSG:32636") << name;
  }
  // A feature added on disk after the class was let go is read.
  write("changed", 2);
  append("changed");
  EXPECT_EQ(count_on_disk("changed"), 3);
  EXPECT_EQ(read("changed", &system), (std::vector<LONG>{10, 11, 99}));
  EXPECT_EQ(count_on_disk("changed"), 3);
  // Changed on disk while kept, then pushed out by later shapefiles: its files stay as they
  // were changed.
  write("changed_again", 2);
  append("changed_again");
  for (int i = 0; i < 6; ++i) write("later" + std::to_string(i), 1);
  EXPECT_EQ(count_on_disk("changed_again"), 3);
  // Changed on disk while a class reads it after it was written: letting go of the class
  // leaves the change.
  write("held", 2);
  {
    ComPtr<IFeatureClass> held;
    ASSERT_EQ(fws->OpenFeatureClass(Bstr::from_utf8("held").get(), held.put()), S_OK);
    append("held");
  }
  EXPECT_EQ(count_on_disk("held"), 3);
}

TEST_F(ShapefileWorkspaceTest, CreatableHelpersFollowComRules) {
  using testing_support::expect_query_interface_rules;
  expect_query_interface_rules(create<IUnknown>(CLSID_ShapefileWorkspaceFactory).get(), {IID_IWorkspaceFactory});
  expect_query_interface_rules(create<IUnknown>(CLSID_PropertySet).get(), {IID_IPropertySet});
  expect_query_interface_rules(create<IUnknown>(CLSID_Fields).get(), {IID_IFields, IID_IFieldsEdit});
  expect_query_interface_rules(create<IUnknown>(CLSID_Field).get(), {IID_IField, IID_IFieldEdit});
  expect_query_interface_rules(create<IUnknown>(CLSID_GeometryDef).get(), {IID_IGeometryDef, IID_IGeometryDefEdit});
  expect_query_interface_rules(create<IUnknown>(CLSID_UID).get(), {IID_IUID});
  expect_query_interface_rules(create<IUnknown>(CLSID_QueryFilter).get(), {IID_IQueryFilter});
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  expect_query_interface_rules(ws.get(), {IID_IWorkspace, IID_IFeatureWorkspace, IID_IDataset});

  auto uid = create<IUID>(CLSID_UID);
  VARIANT v = bstr_variant("esriDataSourcesFile.ShapefileWorkspaceFactory");
  EXPECT_EQ(uid->put_Value(v), S_OK);
  VariantClear(&v);
  v = bstr_variant("{db708cc5-94eb-5307-9317-1c741482b361}");
  EXPECT_EQ(uid->put_Value(v), S_OK);
  VariantClear(&v);
  uid->get_Value(&v);
  EXPECT_EQ(win32::bstr_to_utf8(v.bstrVal), "{DB708CC5-94EB-5307-9317-1C741482B361}");
  VariantClear(&v);
  v = bstr_variant("No.Such.ProgID");
  EXPECT_TRUE(FAILED(uid->put_Value(v)));
  VariantClear(&v);
}


// The .prj of a created shapefile is, byte for byte, what GDAL's shapefile driver writes for
// the same system, whether the system was met before in the process or not; the class
// reports the system it was made with.
TEST_F(ShapefileWorkspaceTest, ThePrjIsTheOneTheDriverWrites) {
  const char* systems[] = {
      "EPSG:4326", "EPSG:32636", "EPSG:3857", "EPSG:28406", "EPSG:4326",
      "PROJCS[\"local\",GEOGCS[\"Pulkovo 1942\",DATUM[\"Pulkovo_1942\",SPHEROID[\"Krassowsky 1940\",6378245,"
      "298.3]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
      "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",37.5],PARAMETER[\"scale_factor\",1],"
      "PARAMETER[\"false_easting\",1300000],PARAMETER[\"false_northing\",-6000000],UNIT[\"metre\",1]]"};
  namespace fs = std::filesystem;
  OGRRegisterAll();
  ComPtr<IWorkspace> ws = open_workspace(dir_.str());
  ASSERT_TRUE(ws);
  int n = 0;
  for (const char* text : systems) {
    SCOPED_TRACE(text);
    auto sr = gis::SpatialReferenceFromText(text);
    ASSERT_TRUE(sr);
    const std::string name = "s" + std::to_string(n++);
    {
      ComPtr<IFeatureClass> fc;
      ASSERT_EQ(create_class(ws.get(), name + ".shp", esriGeometryPoint, sr.get(), &fc), S_OK);
      ComPtr<IFields> fields;
      ASSERT_EQ(fc->get_Fields(fields.put()), S_OK);
      ComPtr<IField> shape;
      ASSERT_EQ(fields->get_Field(find(fc.get(), "Shape"), shape.put()), S_OK);
      ComPtr<IGeometryDef> def;
      ASSERT_EQ(shape->get_GeometryDef(def.put()), S_OK);
      ComPtr<ISpatialReference> reported;
      ASSERT_EQ(def->get_SpatialReference(reported.put()), S_OK);
      VARIANT_BOOL same = VARIANT_FALSE;
      ASSERT_TRUE(reported);
      reported->IsSame(sr.get(), &same);
      EXPECT_EQ(same, VARIANT_TRUE);
    }
    // GDAL's own, beside it.
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    ASSERT_EQ(OSRSetFromUserInput(srs, text), OGRERR_NONE);
    const fs::path theirs = dir_.path() / "gdal";
    fs::create_directories(theirs);
    OGRSFDriverH driver = OGRGetDriverByName("ESRI Shapefile");
    OGRDataSourceH ds = OGR_Dr_CreateDataSource(driver, (theirs / (name + ".shp")).c_str(), nullptr);
    ASSERT_TRUE(ds);
    ASSERT_TRUE(OGR_DS_CreateLayer(ds, name.c_str(), srs, wkbPoint, nullptr));
    OGR_DS_Destroy(ds);
    OSRDestroySpatialReference(srs);
    ASSERT_TRUE(fs::exists(theirs / (name + ".prj")));
    EXPECT_EQ(slurp(dir_.path() / (name + ".prj")), slurp(theirs / (name + ".prj")));
  }
}

}  // namespace

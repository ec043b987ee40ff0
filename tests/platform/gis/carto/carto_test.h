// Shared pieces of the carto tests: a fixture that registers the GIS classes, gives each
// test its own folder and checks that every COM object was released; small data sources
// (GeoJSON files, which the core opens like any vector source); a test UID object.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include <win32/com_object.h>
#include <win32/com_ptr.h>
#include <win32/com_runtime.h>
#include <win32/text.h>

#include "arcobjects/arcobjects.h"
#include "gis/document.h"
#include "gis/gis.h"
#include "support/com_test.h"

namespace carto_test {

using Json = nlohmann::ordered_json;
using win32::ComPtr;

inline void write_file(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline Json read_json(const std::filesystem::path& path) { return Json::parse(read_file(path)); }

// A GeoJSON point layer at path with features NAME = names[i] at (i, i).
inline void write_points(const std::filesystem::path& path, const std::vector<std::string>& names) {
  Json fc = {{"type", "FeatureCollection"}, {"features", Json::array()}};
  for (size_t i = 0; i < names.size(); ++i)
    fc["features"].push_back({{"type", "Feature"},
                              {"properties", {{"NAME", names[i]}, {"DEPTH", 10.0 * double(i)}}},
                              {"geometry", {{"type", "Point"}, {"coordinates", {double(i), double(i)}}}}});
  write_file(path, fc.dump());
}

inline Json feature_layer(const std::string& name, const std::string& path) {
  return {{"type", "feature"}, {"name", name}, {"visible", true}, {"source", {{"path", path}, {"layer", nullptr}}}};
}

// A braced list of values, always a JSON array. (A Json parameter initialised from {x}
// would be x itself under clang and the array [x] under g++.)
inline Json json_list(std::initializer_list<Json> items) {
  Json list = Json::array();
  for (const Json& item : items) list.push_back(item);
  return list;
}

inline Json group_layer(const std::string& name, Json layers) {
  return {{"type", "group"}, {"name", name}, {"layers", std::move(layers)}};
}
inline Json group_layer(const std::string& name, std::initializer_list<Json> layers) {
  return group_layer(name, json_list(layers));
}

inline Json document_json(Json maps) {
  return {{"format", "areaclip-map"}, {"version", 1}, {"focus_map", 0}, {"maps", std::move(maps)}};
}
inline Json document_json(std::initializer_list<Json> maps) { return document_json(json_list(maps)); }

inline Json map_json(const std::string& name, Json layers, Json graphics = Json::object()) {
  return {{"name", name}, {"spatial_reference", nullptr}, {"layers", std::move(layers)}, {"graphics", std::move(graphics)}};
}
inline Json map_json(const std::string& name, std::initializer_list<Json> layers, Json graphics = Json::object()) {
  return map_json(name, json_list(layers), std::move(graphics));
}

inline Json text_element(const std::string& text, double x, double y) {
  return {{"type", "text"}, {"text", text}, {"geometry", {{"type", "Point"}, {"coordinates", {x, y}}}}};
}

// A UID holding an interface id, as the system fills one.
class TestUid : public win32::ComObject<TestUid, IUID> {
 public:
  explicit TestUid(std::string value) : value_(std::move(value)) {}
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* v) override {
    if (!v) return E_POINTER;
    VariantInit(v);
    v->vt = VT_BSTR;
    v->bstrVal = win32::bstr_from_utf8(value_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SubType(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_SubType(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Generate() override { return E_NOTIMPL; }

 private:
  std::string value_;
};

inline std::string name_of(ILayer* layer) {
  win32::Bstr b;
  EXPECT_EQ(layer->get_Name(b.put()), S_OK);
  return b.utf8();
}

inline win32::Bstr bstr(const std::string& s) { return win32::Bstr::from_utf8(s); }

class CartoTest : public testing::Test {
 protected:
  void SetUp() override {
    gis::RegisterClasses();
    SetErrorInfo(0, nullptr);  // a failed call keeps an error object until the next one
    objects_ = win32::ComObjectsAlive();
    strings_ = SysStringsOutstanding();
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(win32::ComObjectsAlive(), objects_) << "COM objects left alive";
    EXPECT_EQ(SysStringsOutstanding(), strings_) << "BSTRs left allocated";
  }

  std::filesystem::path path(const std::string& relative) const { return dir_.path() / relative; }

  // Writes a document and loads it; fails the test when it does not load.
  ComPtr<IMxDocument> load(const Json& doc, const std::string& name = "map.mxd") {
    write_file(path(name), doc.dump(2));
    std::string error;
    auto document = gis::LoadDocument(path(name).string(), &error);
    EXPECT_TRUE(document) << error;
    return document;
  }

  ComPtr<IMap> focus_map(IMxDocument* doc) {
    ComPtr<IMap> map;
    EXPECT_EQ(doc->get_FocusMap(map.put()), S_OK);
    return map;
  }

  testing_support::TempDir dir_;

 private:
  long objects_ = 0;
  LONG strings_ = 0;
};

}  // namespace carto_test

// Shared fixture of the GIS core tests: registers the core classes and checks that every
// COM object made during a test is released by its end.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <utility>

#include "gis/core.h"
#include "support/com_test.h"

namespace core_test {

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gis::RegisterCoreClasses();
    SetErrorInfo(0, nullptr);
    baseline_ = win32::ComObjectsAlive();
  }
  // The thread's error object (left by a failed call) is not a leak; it is dropped first.
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(win32::ComObjectsAlive(), baseline_) << "COM objects leaked";
  }

 private:
  long baseline_ = 0;
};

template <class I>
win32::ComPtr<I> create(REFCLSID clsid) {
  win32::ComPtr<I> p;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, 0x17, __uuidof(I), p.put_void()), S_OK);
  return p;
}

inline win32::ComPtr<IGeometry> wkt(const std::string& text, ISpatialReference* sr = nullptr) {
  std::string error;
  win32::ComPtr<IGeometry> g = gis::GeometryFromWkt(text, sr, &error);
  EXPECT_TRUE(g) << text << ": " << error;
  return g;
}

inline std::string text(BSTR b) { return win32::bstr_to_utf8(b); }

// The thread's error description after a failed call; "" for none.
inline std::string error_text() {
  win32::ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return "";
  win32::Bstr description;
  info->GetDescription(description.put());
  return description.utf8();
}

// The system of a feature class's shape field, and its text ("" for none).
inline std::pair<std::string, win32::ComPtr<ISpatialReference>> system_of(IFeatureClass* fc) {
  win32::ComPtr<IFields> fields;
  win32::ComPtr<IField> shape;
  win32::ComPtr<IGeometryDef> def;
  win32::ComPtr<ISpatialReference> sr;
  LONG index = -1;
  fc->get_Fields(fields.put());
  if (fields) fields->FindField(win32::Bstr::from_utf8("Shape").get(), &index);
  if (fields && index >= 0) fields->get_Field(index, shape.put());
  if (shape) shape->get_GeometryDef(def.put());
  if (def) def->get_SpatialReference(sr.put());
  return {gis::SpatialReferenceToText(sr.get()), sr};
}

// While alive, the system refuses writes that would make a file longer than `bytes`
// (EFBIG), as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t old_handler_;
};

}  // namespace core_test

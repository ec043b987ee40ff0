#include "gdal_support.h"

#include <mutex>

#include <win32/com_error.h>

namespace gis::core {

void gdal_init() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

GdalErrorScope::GdalErrorScope() {
  CPLErrorReset();
  CPLPushErrorHandlerEx(handler, this);
}

GdalErrorScope::~GdalErrorScope() { CPLPopErrorHandler(); }

void CPL_STDCALL GdalErrorScope::handler(CPLErr level, CPLErrorNum, const char* msg) {
  auto* self = static_cast<GdalErrorScope*>(CPLGetErrorHandlerUserData());
  if (!self) return;
  if (level >= CE_Failure) {
    if (self->failure_.empty()) self->failure_ = msg ? msg : "";
  } else if (level == CE_Warning) {
    if (self->warning_.empty()) self->warning_ = msg ? msg : "";
  }
}

void GdalErrorScope::fail(long hr, const std::string& what) const {
  std::string msg = failure_;
  if (msg.empty()) msg = CPLGetLastErrorMsg();
  win32::throw_hr(static_cast<HRESULT>(hr), msg.empty() ? what : what + ": " + msg);
}

DatasetPtr open_vector(const std::string& path, bool update) {
  gdal_init();
  GdalErrorScope errors;
  unsigned flags = GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY);
  GDALDataset* d = GDALDataset::Open(path.c_str(), flags, nullptr, nullptr, nullptr);
  if (!d) errors.fail(E_FAIL, "cannot open " + path);
  return DatasetPtr(d);
}

}  // namespace gis::core

#include "spatial_reference.h"

#include <cpl_conv.h>

#include <filesystem>

#include <map>
#include <mutex>

#include <win32/com_error.h>
#include <win32/com_object.h>
#include <win32/text.h>

#include "gdal_support.h"

namespace gis::core {

namespace {

std::string wkt_of(const OGRSpatialReference& srs, const char* format = nullptr) {
  char* text = nullptr;
  const char* options[] = {format, nullptr};
  OGRErr err = format ? srs.exportToWkt(&text, options) : srs.exportToWkt(&text);
  std::string out = text ? text : "";
  CPLFree(text);
  if (err != OGRERR_NONE) win32::throw_hr(E_FAIL, "cannot export the coordinate system as WKT");
  return out;
}

// Process-wide ids of distinct definitions.
int intern_system(const std::string& wkt) {
  static std::mutex lock;
  static std::map<std::string, int> ids;
  std::lock_guard<std::mutex> g(lock);
  auto [it, added] = ids.emplace(wkt, static_cast<int>(ids.size()) + 1);
  return it->second;
}

class SpatialReference final
    : public win32::ComObject<SpatialReference, ISpatialReference, ICoreSpatialReference> {
 public:
  explicit SpatialReference(const OGRSpatialReference& srs) : srs_(srs) {
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    id_ = intern_system(wkt_of(srs_));
  }
  // Of a system interned before as `id`.
  SpatialReference(const OGRSpatialReference& srs, int id) : srs_(srs), id_(id) {
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }

  const OGRSpatialReference& ogr() const override { return srs_; }
  int system_id() const override { return id_; }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    return win32::com_guard([&] {
      const char* n = srs_.GetName();
      *name = win32::bstr_from_utf8(n ? n : "");
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_FactoryCode(LONG* code) override {
    if (!code) return E_POINTER;
    *code = epsg_code(srs_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ExportToESRISpatialReference(BSTR* wkt, LONG* bytes) override {
    if (!wkt) return E_POINTER;
    *wkt = nullptr;
    if (bytes) *bytes = 0;
    return win32::com_guard([&] {
      GdalErrorScope errors;
      std::string text = wkt_of(srs_, "FORMAT=WKT1_ESRI");
      *wkt = win32::bstr_from_utf8(text);
      if (bytes) *bytes = static_cast<LONG>(text.size());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE IsSame(ISpatialReference* other, VARIANT_BOOL* same) override {
    if (!same) return E_POINTER;
    *same = VARIANT_FALSE;
    if (!other) return S_OK;
    return win32::com_guard([&] {
      ICoreSpatialReference* o = core_sr(other);
      if (!o) return E_INVALIDARG;
      bool equal = o->system_id() == id_ || srs_.IsSame(&o->ogr());
      *same = equal ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }

  static LONG epsg_code(const OGRSpatialReference& srs) {
    const char* authority = srs.GetAuthorityName(nullptr);
    const char* code = srs.GetAuthorityCode(nullptr);
    if (authority && code && EQUAL(authority, "EPSG")) return static_cast<LONG>(std::atol(code));
    return 0;
  }

 private:
  OGRSpatialReference srs_;
  int id_ = 0;
};

}  // namespace

win32::ComPtr<ISpatialReference> make_spatial_reference(const OGRSpatialReference& srs) {
  return SpatialReference::make(srs);
}

win32::ComPtr<ISpatialReference> make_spatial_reference(const OGRSpatialReference& srs, int system_id) {
  return SpatialReference::make(srs, system_id);
}

namespace {

// The systems made from texts so far: a document names its systems by text, and a series
// of cuts opens the same document for every sheet.
constexpr size_t kLongestSystemText = 64 * 1024;
SystemsByText& text_systems() {
  static auto* systems = new SystemsByText(32);
  return *systems;
}

OGRSpatialReference system_of_text(const std::string& trimmed) {
  GdalErrorScope errors;
  OGRSpatialReference srs;
  if (srs.SetFromUserInput(trimmed.c_str(), OGRSpatialReference::SET_FROM_USER_INPUT_LIMITATIONS) != OGRERR_NONE)
    errors.fail(E_INVALIDARG, "not a coordinate system: " + trimmed.substr(0, 60));
  // A .prj (ESRI WKT) names no authority; find the EPSG system it describes, if any.
  if (!srs.GetAuthorityCode(nullptr)) {
    OGRSpatialReference probe(srs);
    if (probe.AutoIdentifyEPSG() == OGRERR_NONE && probe.GetAuthorityCode(nullptr)) {
      srs = probe;
    } else {
      int count = 0;
      int* confidence = nullptr;
      OGRSpatialReferenceH* matches = srs.FindMatches(nullptr, &count, &confidence);
      // Only a sure match is taken (confidence 90 and more: same definition, other names).
      if (count >= 1 && confidence[0] >= 90) {
        const auto* match = OGRSpatialReference::FromHandle(matches[0]);
        const char* authority = match->GetAuthorityName(nullptr);
        if (authority && EQUAL(authority, "EPSG") && match->GetAuthorityCode(nullptr)) srs = *match;
      }
      OSRFreeSRSArray(matches);
      CPLFree(confidence);
    }
  }
  return srs;
}

}  // namespace

win32::ComPtr<ISpatialReference> make_spatial_reference(const std::string& text) {
  gdal_init();
  std::string trimmed = text;
  while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.pop_back();
  size_t start = 0;
  while (start < trimmed.size() && std::isspace(static_cast<unsigned char>(trimmed[start]))) ++start;
  trimmed.erase(0, start);
  if (trimmed.empty()) win32::throw_hr(E_INVALIDARG, "empty coordinate system text");
  if (win32::ComPtr<ISpatialReference> kept = text_systems().find(trimmed)) return kept;
  win32::ComPtr<ISpatialReference> made = SpatialReference::make(system_of_text(trimmed));
  if (trimmed.size() <= kLongestSystemText) text_systems().keep(trimmed, made.get());
  return made;
}

win32::ComPtr<ISpatialReference> SystemsByText::find(const std::string& text) {
  std::lock_guard<std::mutex> g(lock_);
  auto it = systems_.find(text);
  return it == systems_.end() ? nullptr : SpatialReference::make(it->second.srs, it->second.id);
}

bool SystemsByText::has(const std::string& text) {
  std::lock_guard<std::mutex> g(lock_);
  return systems_.count(text) > 0;
}

void SystemsByText::keep(const std::string& text, ISpatialReference* sr) {
  ICoreSpatialReference* core = core_sr(sr);
  if (!core) return;
  std::lock_guard<std::mutex> g(lock_);
  if (systems_.size() >= limit_) systems_.clear();
  systems_.emplace(text, System{core->ogr(), core->system_id()});
}

ICoreSpatialReference* core_sr(ISpatialReference* sr) {
  if (!sr) return nullptr;
  // A system made here is known without QueryInterface, whose AddRef and Release on the
  // system every geometry of a layer shares would have the thread reading features and
  // the one cutting them take turns at its count.
  if (auto* own = dynamic_cast<SpatialReference*>(sr)) return own;
  ICoreSpatialReference* core = nullptr;
  if (FAILED(sr->QueryInterface(IID_ICoreSpatialReference, reinterpret_cast<void**>(&core))) || !core) return nullptr;
  core->Release();  // the caller holds the object
  return core;
}

std::string spatial_reference_text(ISpatialReference* sr) {
  if (!sr) return "";
  ICoreSpatialReference* core = core_sr(sr);
  if (!core) {
    win32::Bstr wkt;
    if (FAILED(sr->ExportToESRISpatialReference(wkt.put(), nullptr))) return "";
    return wkt.utf8();
  }
  LONG code = SpatialReference::epsg_code(core->ogr());
  if (code > 0) return "EPSG:" + std::to_string(code);
  return wkt_of(core->ogr());
}

std::string prj_text(ICoreSpatialReference* sr) {
  static std::mutex lock;
  static std::map<int, std::string> texts;  // by system id
  {
    std::lock_guard<std::mutex> g(lock);
    if (auto it = texts.find(sr->system_id()); it != texts.end()) return it->second;
  }
  // As GDAL's shapefile driver exports it (PROJ looks the ESRI names up in its database).
  OGRSpatialReference srs(sr->ogr());
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  std::string text;
  {
    GdalErrorScope errors;
    char* wkt = nullptr;
    const char* options[] = {"FORMAT=WKT1_ESRI", nullptr};
    if (srs.exportToWkt(&wkt, options) == OGRERR_NONE && wkt) text = wkt;
    CPLFree(wkt);
  }
  std::lock_guard<std::mutex> g(lock);
  texts.emplace(sr->system_id(), text);
  return text;
}

void write_prj(const std::string& shp, ICoreSpatialReference* sr) {
  const std::string text = prj_text(sr);
  if (text.empty()) return;
  std::filesystem::path prj(shp);
  prj.replace_extension(".prj");
  // Through GDAL's files: the shapefile may be one held in memory.
  VSILFILE* out = VSIFOpenL(prj.c_str(), "wb");
  const bool written = out && VSIFWriteL(text.data(), 1, text.size(), out) == text.size();
  if ((out && VSIFCloseL(out) != 0) || !written) win32::throw_hr(E_FAIL, "cannot write " + prj.string());
}

}  // namespace gis::core

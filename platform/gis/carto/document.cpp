#include "document.h"

#include <filesystem>

#include "com_out.h"

namespace gis::carto {

Document::Document(const Json& json, const DocumentPlace& place) {
  json_ = json;
  title = member_string(json, "title", "");
  const Json& list = member_array(json, "maps", "");
  for (size_t i = 0; i < list.size(); ++i) {
    std::string where = "maps[" + std::to_string(i) + "]";
    maps.push_back(Map::make(require_object(list[i], where), where, place));
  }
  long index = member_integer(json, "focus_map", "", 0);
  if (index < 0 || (maps.empty() ? index != 0 : static_cast<size_t>(index) >= maps.size()))
    throw_document_error("focus_map", std::to_string(index) + " names no map (the document has " +
                                          std::to_string(maps.size()) + ")");
  focus = static_cast<size_t>(index);
}

std::string Document::title_text() const {
  if (!title.empty()) return title;
  if (!path.empty()) return std::filesystem::path(path).stem().string();
  return "Untitled";
}

HRESULT Document::get_Title(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, title_text()); });
}

HRESULT Document::get_Parent(IApplication** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!parent) return S_FALSE;
  parent->AddRef();
  *out = parent;
  return S_OK;
}

HRESULT Document::get_FocusMap(IMap** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (focus >= maps.size()) return S_FALSE;
  *out = win32::ComPtr<IMap>(maps[focus]).detach();
  return S_OK;
}

HRESULT Document::get_Maps(IMaps** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return win32::com_guard([&] {
    std::vector<win32::ComPtr<IMap>> list(maps.begin(), maps.end());
    *out = Maps::make(std::move(list)).detach();
    return S_OK;
  });
}

HRESULT Document::get_ActiveView(IActiveView** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (focus >= maps.size()) return S_FALSE;
  *out = win32::ComPtr<IActiveView>(maps[focus]).detach();
  return S_OK;
}

Json Document::to_json(const DocumentPlace& place) const {
  Json j;
  if (json_.contains("format")) j = json_;
  // A new document starts with the format's identification.
  j["format"] = kDocumentFormat;
  j["version"] = kDocumentVersion;
  for (auto& [key, value] : json_.items())
    if (!j.contains(key)) j[key] = value;
  if (!title.empty() || j.contains("title")) j["title"] = title;
  j["focus_map"] = static_cast<long>(focus);
  Json list = Json::array();
  for (const auto& m : maps) list.push_back(m->to_json(place));
  j["maps"] = std::move(list);
  return j;
}

}  // namespace gis::carto

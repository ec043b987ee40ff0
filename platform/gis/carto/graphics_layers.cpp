#include "graphics_layers.h"

#include <algorithm>

#include "elements.h"

namespace gis::carto {

HRESULT ElementList::add(IElement* element) {
  if (!element) return E_POINTER;
  return win32::com_guard([&] {
    items_.emplace_back(element);
    return S_OK;
  });
}

HRESULT ElementList::remove(IElement* element) {
  if (!element) return E_POINTER;
  // Identity is the object's IUnknown, whatever interface the caller holds.
  win32::ComPtr<IUnknown> id = win32::query<IUnknown>(element);
  for (size_t i = 0; i < items_.size(); ++i) {
    if (win32::query<IUnknown>(items_[i].get()) == id) {
      items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
      if (i < next_) --next_;
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

void ElementList::clear() {
  items_.clear();
  next_ = 0;
}

HRESULT ElementList::next(IElement** element) {
  if (!element) return E_POINTER;
  *element = nullptr;
  if (next_ >= items_.size()) return S_FALSE;
  *element = items_[next_++].copy();
  return S_OK;
}

void ElementList::read(const Json& list, const std::string& where, ISpatialReference* sr) {
  for (size_t i = 0; i < list.size(); ++i)
    items_.push_back(element_from_json(list[i], where + "[" + std::to_string(i) + "]", sr));
}

Json ElementList::to_json() const {
  Json list = Json::array();
  for (const auto& e : items_) {
    Json j = element_to_json(e.get());
    if (!j.is_null()) list.push_back(std::move(j));
  }
  return list;
}

GraphicsSubLayer::GraphicsSubLayer(const Json& json, const std::string& where, ISpatialReference* sr) {
  read_common(json, where);
  elements.read(member_array(json, "elements", where), where + ".elements", sr);
}

Json GraphicsSubLayer::to_json(const DocumentPlace&) const {
  Json j = json_;
  j["name"] = name;
  if (!visible || j.contains("visible")) j["visible"] = visible;
  j["elements"] = elements.to_json();
  return j;
}

BasicGraphicsLayer::BasicGraphicsLayer() { name = "<Default>"; }

BasicGraphicsLayer::BasicGraphicsLayer(const Json& json, const std::string& where, ISpatialReference* sr)
    : BasicGraphicsLayer() {
  json_ = require_object(json, where);
  elements.read(member_array(json, "elements", where), where + ".elements", sr);
  const Json& list = member_array(json, "layers", where);
  for (size_t i = 0; i < list.size(); ++i) {
    std::string at = where + ".layers[" + std::to_string(i) + "]";
    layers.push_back(GraphicsSubLayer::make(require_object(list[i], at), at, sr));
  }
}

HRESULT BasicGraphicsLayer::get_Count(LONG* count) { return out_value(count, static_cast<LONG>(layers.size())); }

HRESULT BasicGraphicsLayer::get_Layer(LONG index, ILayer** layer) {
  if (!layer) return E_POINTER;
  *layer = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= layers.size()) return E_INVALIDARG;
  return out_ref(layer, layers[static_cast<size_t>(index)]);
}

Json BasicGraphicsLayer::to_json(const DocumentPlace& place) const {
  Json j = json_;
  j["elements"] = elements.to_json();
  if (!layers.empty() || j.contains("layers")) {
    Json list = Json::array();
    for (const auto& l : layers) list.push_back(l->to_json(place));
    j["layers"] = std::move(list);
  }
  return j;
}

}  // namespace gis::carto

#include "group_layer.h"

#include "other_layer.h"

namespace gis::carto {

GroupLayer::GroupLayer(const Json& json, const std::string& where, const DocumentPlace& place) {
  read_common(json, where);
  const Json& list = member_array(json, "layers", where);
  for (size_t i = 0; i < list.size(); ++i)
    layers.push_back(layer_from_json(list[i], where + ".layers[" + std::to_string(i) + "]", place));
}

HRESULT GroupLayer::Add(ILayer* layer) {
  if (!layer) return E_POINTER;
  return win32::com_guard([&] {
    layers.emplace_back(layer);
    return S_OK;
  });
}

HRESULT GroupLayer::Delete(ILayer* layer) {
  if (!layer) return E_POINTER;
  win32::ComPtr<IUnknown> id = win32::query<IUnknown>(layer);
  for (auto it = layers.begin(); it != layers.end(); ++it) {
    if (win32::query<IUnknown>(it->get()) == id) {
      layers.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT GroupLayer::Clear() {
  layers.clear();
  return S_OK;
}

HRESULT GroupLayer::get_Count(LONG* count) { return out_value(count, static_cast<LONG>(layers.size())); }

HRESULT GroupLayer::get_Layer(LONG index, ILayer** layer) {
  if (!layer) return E_POINTER;
  *layer = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= layers.size()) return E_INVALIDARG;
  return out_ref(layer, layers[static_cast<size_t>(index)]);
}

Json GroupLayer::to_json(const DocumentPlace& place) const {
  Json j = common_json("group");
  Json list = Json::array();
  for (const auto& l : layers) list.push_back(layer_to_json(l.get(), place));
  j["layers"] = std::move(list);
  return j;
}

}  // namespace gis::carto

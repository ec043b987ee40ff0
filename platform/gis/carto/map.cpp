#include "map.h"

#include <objbase.h>
#include <win32/com_runtime.h>

#include "com_out.h"
#include "gis/core.h"
#include "other_layer.h"

namespace gis::carto {

Map::Map() : graphics(BasicGraphicsLayer::make()) {}

Map::Map(const Json& json, const std::string& where, const DocumentPlace& place) {
  json_ = json;
  name = member_string(json, "name", where);
  if (auto it = json.find("spatial_reference"); it != json.end() && !it->is_null()) {
    if (!it->is_string()) throw_document_error(where + ".spatial_reference", "expected \"EPSG:n\", a WKT text or null");
    std::string error;
    spatial_reference = SpatialReferenceFromText(it->get<std::string>(), &error);
    if (!spatial_reference)
      throw_document_error(where + ".spatial_reference", error.empty() ? "not a coordinate system" : error);
  }
  if (auto it = json.find("extent"); it != json.end() && !it->is_null()) {
    if (!it->is_array() || it->size() != 4)
      throw_document_error(where + ".extent", "expected [xmin, ymin, xmax, ymax]");
    std::array<double, 4> e{};
    for (size_t i = 0; i < 4; ++i) {
      if (!(*it)[i].is_number()) throw_document_error(where + ".extent", "expected [xmin, ymin, xmax, ymax]");
      e[i] = (*it)[i].get<double>();
    }
    if (e[0] > e[2] || e[1] > e[3]) throw_document_error(where + ".extent", "xmin > xmax or ymin > ymax");
    extent = e;
  }
  const Json& list = member_array(json, "layers", where);
  for (size_t i = 0; i < list.size(); ++i)
    layers.push_back(layer_from_json(list[i], where + ".layers[" + std::to_string(i) + "]", place));
  if (auto it = json.find("graphics"); it != json.end() && !it->is_null())
    graphics = BasicGraphicsLayer::make(*it, where + ".graphics", spatial_reference.get());
  else
    graphics = BasicGraphicsLayer::make();
}

HRESULT Map::get_Name(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, name); });
}

HRESULT Map::put_Name(BSTR value) {
  return win32::com_guard([&] {
    name = in_text(value);
    return S_OK;
  });
}

HRESULT Map::get_LayerCount(LONG* count) { return out_value(count, static_cast<LONG>(layers.size())); }

HRESULT Map::get_Layer(LONG index, ILayer** layer) {
  if (!layer) return E_POINTER;
  *layer = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= layers.size()) return E_INVALIDARG;
  return out_ref(layer, layers[static_cast<size_t>(index)]);
}

void collect_layers(const std::vector<win32::ComPtr<ILayer>>& list, const IID* iid, bool recursive,
                    std::vector<win32::ComPtr<ILayer>>* out) {
  for (const auto& layer : list) {
    bool matches = true;
    if (iid) {
      win32::ComPtr<IUnknown> p;
      matches = SUCCEEDED(layer->QueryInterface(*iid, p.put_void())) && p;
    }
    if (matches) out->push_back(layer);
    if (!recursive) continue;
    auto composite = win32::query<ICompositeLayer>(layer.get());
    if (!composite) continue;
    LONG count = 0;
    if (FAILED(composite->get_Count(&count))) continue;
    std::vector<win32::ComPtr<ILayer>> children;
    for (LONG i = 0; i < count; ++i) {
      win32::ComPtr<ILayer> child;
      if (SUCCEEDED(composite->get_Layer(i, child.put())) && child) children.push_back(child);
    }
    collect_layers(children, iid, recursive, out);
  }
}

HRESULT Map::get_Layers(IUID* uid, VARIANT_BOOL recursive, IEnumLayer** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return win32::com_guard([&] {
    IID iid{};
    bool filter = false;
    if (uid) {
      VARIANT value;
      VariantInit(&value);
      HRESULT hr = uid->get_Value(&value);
      std::string text = value.vt == VT_BSTR ? win32::bstr_to_utf8(value.bstrVal) : "";
      // A UID that holds nothing filters nothing.
      bool unset = value.vt == VT_EMPTY || value.vt == VT_NULL || (value.vt == VT_BSTR && text.empty());
      bool is_text = value.vt == VT_BSTR;
      VariantClear(&value);
      if (FAILED(hr)) return hr;
      if (!unset) {
        if (!is_text || !win32::guid_from_string(text, &iid))
          win32::throw_hr(E_INVALIDARG, "the layer filter is not an interface id: \"" + text + "\"");
        filter = true;
      }
    }
    std::vector<win32::ComPtr<ILayer>> found;
    collect_layers(layers, filter ? &iid : nullptr, recursive != VARIANT_FALSE, &found);
    *out = LayerEnum::make(std::move(found)).detach();
    return S_OK;
  });
}

HRESULT Map::AddLayer(ILayer* layer) {
  if (!layer) return E_POINTER;
  return win32::com_guard([&] {
    layers.emplace_back(layer);
    return S_OK;
  });
}

HRESULT Map::get_SpatialReference(ISpatialReference** out) { return out_ref(out, spatial_reference); }

HRESULT Map::putref_SpatialReference(ISpatialReference* value) {
  spatial_reference = win32::ComPtr<ISpatialReference>(value);
  sr_changed_ = true;
  return S_OK;
}

HRESULT Map::get_BasicGraphicsLayer(IGraphicsLayer** out) { return out_ref(out, graphics); }

HRESULT Map::get_Extent(IEnvelope** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return win32::com_guard([&] {
    win32::ComPtr<IEnvelope> envelope;
    HRESULT hr = CoCreateInstance(CLSID_Envelope, nullptr, CLSCTX_ALL, IID_IEnvelope, envelope.put_void());
    if (FAILED(hr)) return hr;
    if (extent) {
      const auto& e = *extent;
      hr = envelope->PutCoords(e[0], e[1], e[2], e[3]);
    } else {
      hr = envelope->SetEmpty();
    }
    if (FAILED(hr)) return hr;
    if (spatial_reference) envelope->putref_SpatialReference(spatial_reference.get());
    *out = envelope.detach();
    return S_OK;
  });
}

HRESULT Map::put_Extent(IEnvelope* value) {
  if (!value) return E_POINTER;
  return win32::com_guard([&] {
    VARIANT_BOOL empty = VARIANT_FALSE;
    HRESULT hr = value->get_IsEmpty(&empty);
    if (FAILED(hr)) return hr;
    if (empty != VARIANT_FALSE) {
      extent.reset();
      return S_OK;
    }
    std::array<double, 4> e{};
    if (FAILED(hr = value->get_XMin(&e[0])) || FAILED(hr = value->get_YMin(&e[1])) ||
        FAILED(hr = value->get_XMax(&e[2])) || FAILED(hr = value->get_YMax(&e[3])))
      return hr;
    extent = e;
    return S_OK;
  });
}

Json Map::to_json(const DocumentPlace& place) const {
  Json j = json_;
  j["name"] = name;
  if (sr_changed_ || !j.contains("spatial_reference")) {
    std::string text = SpatialReferenceToText(spatial_reference.get());
    j["spatial_reference"] = text.empty() ? Json(nullptr) : Json(text);
  }
  if (extent)
    j["extent"] = *extent;
  else if (j.contains("extent"))
    j["extent"] = nullptr;
  Json list = Json::array();
  for (const auto& l : layers) list.push_back(layer_to_json(l.get(), place));
  j["layers"] = std::move(list);
  j["graphics"] = graphics->to_json(place);
  return j;
}

HRESULT LayerEnum::Next(ILayer** layer) {
  if (!layer) return E_POINTER;
  *layer = nullptr;
  if (next_ >= layers_.size()) return S_FALSE;
  *layer = layers_[next_++].copy();
  return S_OK;
}

HRESULT Maps::get_Count(LONG* count) { return out_value(count, static_cast<LONG>(maps_.size())); }

HRESULT Maps::get_Item(LONG index, IMap** map) {
  if (!map) return E_POINTER;
  *map = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= maps_.size()) return E_INVALIDARG;
  *map = maps_[static_cast<size_t>(index)].copy();
  return S_OK;
}

}  // namespace gis::carto

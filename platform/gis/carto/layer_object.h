// What every layer of a document shares: name, visibility and the JSON object it was read
// from (LayerNode), and the ILayer methods over them (LayerObject, the base of each layer
// class). A layer made by this stand-in is found behind any of its interfaces with
// layer_node().
#pragma once

#include <string>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "com_out.h"
#include "document_json.h"

namespace gis::carto {

class LayerNode {
 public:
  virtual ~LayerNode() = default;
  // The layer's JSON for a document saved at `place`.
  virtual Json to_json(const DocumentPlace& place) const = 0;
  // False when the layer's data cannot be used (a missing source).
  virtual bool valid() const { return true; }

  std::string name;
  bool visible = true;

 protected:
  // Reads "name" and "visible" and keeps the object for the keys this stand-in does not know.
  void read_common(const Json& json, const std::string& where) {
    json_ = json;
    name = member_string(json, "name", where);
    visible = member_bool(json, "visible", where, true);
  }
  // The kept object with "type" (first for a new layer), "name" and "visible" set.
  Json common_json(const std::string& type) const {
    Json j;
    if (json_.contains("type")) {
      j = json_;
    } else {
      j["type"] = type;
      for (auto& [key, value] : json_.items()) j[key] = value;
    }
    j["type"] = type;
    j["name"] = name;
    if (!visible || j.contains("visible")) j["visible"] = visible;
    return j;
  }

  Json json_ = Json::object();
};

inline LayerNode* layer_node(IUnknown* layer) { return dynamic_cast<LayerNode*>(layer); }

template <class Derived, class... Interfaces>
class LayerObject : public win32::ComObject<Derived, Interfaces...>, public LayerNode {
 public:
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* out) override {
    return win32::com_guard([&] { return out_text(out, name); });
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR value) override {
    return win32::com_guard([&] {
      name = in_text(value);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* out) override { return out_bool(out, visible); }
  HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL value) override {
    visible = value != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Valid(VARIANT_BOOL* out) override { return out_bool(out, valid()); }
  HRESULT STDMETHODCALLTYPE get_AreaOfInterest(IEnvelope** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
};

}  // namespace gis::carto

// Map (a data frame): layers, spatial reference, extent and the basic graphics layer; it is
// also the map's active view (IActiveView). JSON form:
//   {"name": "…", "spatial_reference": "EPSG:n" | WKT | null, "extent": [xmin, ymin, xmax, ymax],
//    "layers": [L…], "graphics": G}
// LayerEnum is the snapshot IMap::Layers hands out; Maps the document's list of maps.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"
#include "document_json.h"
#include "graphics_layers.h"

namespace gis::carto {

class Map : public win32::ComObject<Map, IMap, IActiveView> {
 public:
  Map();
  Map(const Json& json, const std::string& where, const DocumentPlace& place);

  // IMap
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override;
  HRESULT STDMETHODCALLTYPE get_LayerCount(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) override;
  HRESULT STDMETHODCALLTYPE get_Layers(IUID* uid, VARIANT_BOOL recursive, IEnumLayer** layers) override;
  HRESULT STDMETHODCALLTYPE AddLayer(ILayer* layer) override;
  HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) override;
  HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) override;
  HRESULT STDMETHODCALLTYPE get_BasicGraphicsLayer(IGraphicsLayer** layer) override;
  // IActiveView: the extent shown (empty envelope when the map has none).
  HRESULT STDMETHODCALLTYPE get_Extent(IEnvelope** extent) override;
  HRESULT STDMETHODCALLTYPE put_Extent(IEnvelope* extent) override;
  HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }

  Json to_json(const DocumentPlace& place) const;

  std::string name;
  win32::ComPtr<ISpatialReference> spatial_reference;
  std::optional<std::array<double, 4>> extent;
  std::vector<win32::ComPtr<ILayer>> layers;
  win32::ComPtr<BasicGraphicsLayer> graphics;

 private:
  Json json_ = Json::object();
  bool sr_changed_ = false;  // the original "spatial_reference" text is written back until then
};

class LayerEnum : public win32::ComObject<LayerEnum, IEnumLayer> {
 public:
  explicit LayerEnum(std::vector<win32::ComPtr<ILayer>> layers) : layers_(std::move(layers)) {}
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(ILayer** layer) override;

 private:
  std::vector<win32::ComPtr<ILayer>> layers_;
  size_t next_ = 0;
};

class Maps : public win32::ComObject<Maps, IMaps> {
 public:
  explicit Maps(std::vector<win32::ComPtr<IMap>> maps) : maps_(std::move(maps)) {}
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, IMap** map) override;

 private:
  std::vector<win32::ComPtr<IMap>> maps_;
};

// The layers of a list, depth-first in list order when recursive (a composite layer before
// the layers it holds), keeping those that answer iid (all when iid is null).
void collect_layers(const std::vector<win32::ComPtr<ILayer>>& layers, const IID* iid, bool recursive,
                    std::vector<win32::ComPtr<ILayer>>* out);

}  // namespace gis::carto

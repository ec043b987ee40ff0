// GroupLayer (CLSID_GroupLayer): an ordered list of layers drawn as one.
// JSON form: {"type": "group", "name": "…", "visible": true, "layers": [L…]}
#pragma once

#include <string>
#include <vector>

#include "layer_object.h"

namespace gis::carto {

class GroupLayer : public LayerObject<GroupLayer, IGroupLayer, ICompositeLayer> {
 public:
  GroupLayer() = default;
  GroupLayer(const Json& json, const std::string& where, const DocumentPlace& place);

  HRESULT STDMETHODCALLTYPE Add(ILayer* layer) override;
  HRESULT STDMETHODCALLTYPE Delete(ILayer* layer) override;
  HRESULT STDMETHODCALLTYPE Clear() override;
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override;
  HRESULT STDMETHODCALLTYPE get_Layer(LONG index, ILayer** layer) override;

  Json to_json(const DocumentPlace& place) const override;

  std::vector<win32::ComPtr<ILayer>> layers;
};

}  // namespace gis::carto

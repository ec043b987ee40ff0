// FeatureLayer (CLSID_FeatureLayer): a layer drawing one feature class with a renderer.
// JSON form:
//   {"type": "feature", "name": "…", "visible": true, "source": {"path": "…", "layer": null},
//    "display_field": "NAME", "renderer": R}
// A source that cannot be opened leaves the layer without a feature class (not valid); it
// is still written back with the source it was read with. Re-pointing the layer at a
// feature class of the core (putref_FeatureClass) makes the saved source name that class.
#pragma once

#include <string>
#include <vector>

#include "layer_object.h"

namespace gis::carto {

class FeatureLayer : public LayerObject<FeatureLayer, IGeoFeatureLayer> {
 public:
  FeatureLayer() = default;
  FeatureLayer(const Json& json, const std::string& where, const DocumentPlace& place);

  HRESULT STDMETHODCALLTYPE get_FeatureClass(IFeatureClass** featureClass) override;
  HRESULT STDMETHODCALLTYPE putref_FeatureClass(IFeatureClass* featureClass) override;
  HRESULT STDMETHODCALLTYPE get_DisplayField(BSTR* field) override;
  HRESULT STDMETHODCALLTYPE put_DisplayField(BSTR field) override;
  HRESULT STDMETHODCALLTYPE get_DataSourceType(BSTR* type) override;
  HRESULT STDMETHODCALLTYPE get_Renderer(IFeatureRenderer** renderer) override;
  HRESULT STDMETHODCALLTYPE putref_Renderer(IFeatureRenderer* renderer) override;

  Json to_json(const DocumentPlace& place) const override;
  bool valid() const override { return static_cast<bool>(feature_class); }

  win32::ComPtr<IFeatureClass> feature_class;
  win32::ComPtr<IFeatureRenderer> renderer;
  std::string display_field;
  // The source: absolute UTF-8 path (empty: none) and layer name inside it.
  std::string source_path;
  std::string source_layer;
  bool has_source_layer = false;  // "layer" named a layer (not null)
  // Why the source could not be opened (empty when it was opened or never named).
  std::string open_error;
  // What the layer names but cannot use: a display or renderer field the data does not
  // have, a folder as its source. One line each.
  std::vector<std::string> warnings;

 private:
  void check_fields();

  Json source_json_ = Json::object();
  bool source_is_documents_ = true;  // false once the layer was pointed at other data
  // The source as the document named it, and the layer that opening it gave: a class of
  // that same source put back restores the document's own naming (a null "layer" stays null).
  std::string document_source_path_;
  std::string document_source_layer_;
  bool document_has_source_layer_ = false;
  std::string opened_layer_;
};

}  // namespace gis::carto

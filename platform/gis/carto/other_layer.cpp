#include "other_layer.h"

#include <filesystem>

#include "feature_layer.h"
#include "group_layer.h"

namespace gis::carto {

OtherLayer::OtherLayer(const Json& json, const std::string& where, const DocumentPlace& place) {
  read_common(json, where);
  type = member_string(json, "type", where);
  if (auto it = json.find("source"); it != json.end() && it->is_object())
    source_path = resolve_source_path(member_string(*it, "path", where + ".source"), place);
}

bool OtherLayer::valid() const {
  std::error_code ec;
  return !source_path.empty() && std::filesystem::exists(source_path, ec);
}

Json OtherLayer::to_json(const DocumentPlace& place) const {
  Json j = common_json(type);
  if (!source_path.empty()) j["source"]["path"] = stored_source_path(source_path, place);
  return j;
}

win32::ComPtr<ILayer> layer_from_json(const Json& json, const std::string& where, const DocumentPlace& place) {
  require_object(json, where);
  std::string type = member_string(json, "type", where);
  if (type == "feature") return FeatureLayer::make(json, where, place);
  if (type == "group") return GroupLayer::make(json, where, place);
  if (type.empty()) throw_document_error(where, "a layer needs a \"type\"");
  return OtherLayer::make(json, where, place);
}

Json layer_to_json(ILayer* layer, const DocumentPlace& place) {
  if (LayerNode* node = layer_node(layer)) return node->to_json(place);
  Json j;
  j["type"] = "unknown";
  win32::Bstr name;
  if (layer && SUCCEEDED(layer->get_Name(name.put()))) j["name"] = name.utf8();
  return j;
}

}  // namespace gis::carto

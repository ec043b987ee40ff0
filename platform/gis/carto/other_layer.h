// A layer this stand-in does not clip: a raster (drawn from its file, see raster_view.h), or a
// kind it does not know (not drawn). It answers ILayer only, is valid while its source file exists, and is written back as read,
// its source path following the document's path rules.
// JSON form: {"type": "raster", "name": "…", "source": {"path": "relief.tif"}}
#pragma once

#include <string>

#include "layer_object.h"

namespace gis::carto {

class OtherLayer : public LayerObject<OtherLayer, ILayer> {
 public:
  OtherLayer(const Json& json, const std::string& where, const DocumentPlace& place);

  Json to_json(const DocumentPlace& place) const override;
  bool valid() const override;

  std::string type;
  std::string source_path;  // absolute; empty when the layer names none
};

// The layer a document's JSON describes.
win32::ComPtr<ILayer> layer_from_json(const Json& json, const std::string& where, const DocumentPlace& place);
// The JSON of a layer; layers of other origin give a layer of type "unknown" with their name.
Json layer_to_json(ILayer* layer, const DocumentPlace& place);

}  // namespace gis::carto

// areaclip features DOC --layer NAME [--json]: the features of a polygon layer a cut can be made by,
// with their object ids, labels, areas and extents.
#include <cstdio>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "commands.h"
#include "cli_json.h"
#include "polygon_features.h"

namespace host {

int cmd_features(const Arguments& args) {
  const std::string document = args.positionals().front(), layer = args.value("--layer");
  if (layer.empty()) {
    std::fprintf(stderr, "areaclip features: --layer is missing\n%s", usage_text(*args.command).c_str());
    return 2;
  }
  win32::ComPtr<IMxDocument> doc;
  win32::ComPtr<IMap> map = open_focus_map(document, &doc);
  if (!map) return 2;
  std::string error;
  std::vector<PolygonFeature> features;
  if (!list_polygon_features(map.get(), layer, &features, &error)) return usage_error("%s", error.c_str());
  if (!args.json()) {
    std::fputs(feature_table(features).c_str(), stdout);
    return 0;
  }
  JsonWriter json;
  json.begin_object().key("format").string("areaclip-features/1").key("document").string(document);
  json.key("layer").string(layer).key("features").begin_array();
  for (const PolygonFeature& f : features) {
    json.begin_object().key("id").number(f.id).key("label").string(f.label).key("area").real(f.area);
    json.key("extent").begin_array().real(f.xmin).real(f.ymin).real(f.xmax).real(f.ymax).end_array().end_object();
  }
  json.end_array().end_object();
  std::fputs(json.text().c_str(), json_output());
  return 0;
}

}  // namespace host

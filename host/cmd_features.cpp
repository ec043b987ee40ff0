// areaclip features DOC --layer NAME: the features of a polygon layer a cut can be made by,
// with their object ids, labels, areas and extents.
#include <cstdio>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "commands.h"
#include "gis/document.h"
#include "gis/gis.h"
#include "polygon_features.h"

namespace host {

const char kFeaturesUsage[] =
    "usage: areaclip features DOC --layer NAME\n"
    "  lists the features of the polygon layer NAME of DOC's map: object id, label (the display\n"
    "  field's value), area and extent, for choosing one with cut --feature or --feature-id\n";

int cmd_features(int argc, char** argv) {
  std::string document, layer;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--layer" && i + 1 < argc)
      layer = argv[++i];
    else if (document.empty() && !arg.empty() && arg[0] != '-')
      document = arg;
    else
      return usage_error("unexpected argument '%s'\n%s", arg.c_str(), kFeaturesUsage);
  }
  if (document.empty() || layer.empty()) return usage_error("%s", kFeaturesUsage);
  gis::RegisterClasses();
  std::string error;
  win32::ComPtr<IMxDocument> doc = gis::LoadDocument(document, &error);
  if (!doc) return usage_error("%s", error.c_str());
  win32::ComPtr<IMap> map;
  doc->get_FocusMap(map.put());
  if (!map) return usage_error("%s has no map", document.c_str());
  std::vector<PolygonFeature> features;
  if (!list_polygon_features(map.get(), layer, &features, &error)) return usage_error("%s", error.c_str());
  std::fputs(feature_table(features).c_str(), stdout);
  return 0;
}

}  // namespace host

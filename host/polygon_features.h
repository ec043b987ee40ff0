// The features of a polygon layer of the open map as a user chooses among them: object id,
// label (the display field's value), area and extent. Used by `areaclip features` and by
// `cut --feature`, which cuts only when exactly one feature has the label given.
#pragma once

#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"

namespace host {

struct PolygonFeature {
  long id = -1;
  std::string label;  // UTF-8; "" when the layer has no display field or the value is null
  double area = 0;
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

// The features of the first polygon feature layer of map named layer (groups searched).
// False with *error set (listing the polygon layers there are) when there is none.
bool list_polygon_features(IMap* map, const std::string& layer, std::vector<PolygonFeature>* features,
                           std::string* error);

// Whether exactly one feature has label. message is "" when so; otherwise it lists the
// features sharing the label (ids and areas, pointing to --feature-id; duplicates set), or
// says none has it and lists those whose label matches but for letter case and surrounding
// space, if any.
struct LabelCheck {
  bool duplicates = false;
  std::string message;
};
LabelCheck check_label(const std::vector<PolygonFeature>& features, const std::string& layer, const std::string& label);

// A table of features, one a line: id, label, area, extent.
std::string feature_table(const std::vector<PolygonFeature>& features);

}  // namespace host

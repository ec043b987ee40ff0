// The polygons a user chooses among, as the cut dialog's pickers list them: the layer
// picker's feature layers and the feature picker's features with their object ids, labels,
// areas and extents. Used by `areaclip features`, by `cut --feature` (which cuts only when
// the label names exactly one entry of the feature picker) and by the dialog's user finding
// the entry of `--feature-id`: one definition of what the pickers list, so that the host's
// choice and the dialog's are the same feature.
//
// The pickers follow the dialog: its layer picker lists the map's feature layers (groups
// searched, in the map's order) whose shape type is polygon or line, its feature picker
// their features of those shapes in the order the feature class gives them, each shown by
// its display field's value, or by its object id when the layer has no display field. The
// pickers show texts in the system's ANSI code page (Windows-1251): labels that differ
// only in letters the code page lacks ("Zörich", "Zürich", both "Z?rich") are one text to
// the picker and cannot be told apart there.
#pragma once

#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace host {

// Whether the pickers list layers and features of this shape type.
bool picker_shape(esriGeometryType type);

// The layer picker's entries: the layers and their names (UTF-8), in the picker's order.
struct PickerLayer {
  std::string name;
  win32::ComPtr<IFeatureLayer> layer;
};
std::vector<PickerLayer> picker_layers(IMap* map);

struct PolygonFeature {
  long id = -1;
  std::string label;  // UTF-8; "" when the layer has no display field or the value is null
  std::string entry;  // the feature picker's text for it, in the ANSI code page
  double area = 0;
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

// The feature picker's entries for the first layer of the layer picker named `layer` (as
// the picker shows names), in the picker's order: entry k (k ≥ 1 after "Не выбран") is
// (*features)[k - 1]. False with *error set (listing the layers the picker lists) when
// there is none, or when the features cannot be read.
bool list_polygon_features(IMap* map, const std::string& layer, std::vector<PolygonFeature>* features,
                           std::string* error);

// The feature picker's entries for one layer of the layer picker, in the picker's order.
// False with *error set when the features cannot be read.
bool picker_features(const PickerLayer& layer, std::vector<PolygonFeature>* features, std::string* error);

// Whether the label names exactly one entry of the feature picker, so that the picker
// picks the feature that has it. message is "" when so. refused is set when it names none
// the picker can tell from another: several features show as the label (duplicates: their
// ids, areas and extents are listed, pointing to --feature-id), or the one that shows as
// it has another label (differing in letters the code page lacks). Otherwise, when no
// feature has the label, message lists those whose label matches but for letter case and
// surrounding space, if any.
struct LabelCheck {
  bool refused = false;
  std::string message;
};
LabelCheck check_label(const std::vector<PolygonFeature>& features, const std::string& layer, const std::string& label);

// A table of features, one a line: id, label, area, extent.
std::string feature_table(const std::vector<PolygonFeature>& features);

}  // namespace host

// Identify: the features under a point of the focus map, in every visible feature layer,
// with their fields' values; and the panel listing them (layer → feature → field, value).
// The features are read through the layers' feature classes, only those the source's
// spatial index finds near the point (gis::ReadShapes with a small box).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <QTreeWidget>

#include "arcobjects/arcobjects.h"

namespace host {

struct FoundFeature {
  std::vector<std::pair<std::string, std::string>> fields;  // name, value as a table shows it (UTF-8)
};

struct FoundLayer {
  std::string name;
  std::vector<FoundFeature> features;
};

// The fields a person reads of a feature class: all but the shape's, as (index, UTF-8 name).
std::vector<std::pair<LONG, std::string>> AttributeFields(IFeatureClass* feature_class);

// The features of the focus map's visible feature layers (the first of the table of contents
// first) whose shapes, in the map's system, come within `tolerance` map units of (x, y):
// a point or line that near, an area that holds the point or has its edge that near. Layers
// with none are left out, as are layers whose source cannot be read.
std::vector<FoundLayer> IdentifyFeatures(IMxDocument* document, double x, double y, double tolerance);

// The found features as a tree: each layer, its features (by the first field's value), and
// their fields with values in the second column.
class IdentifyPanel : public QTreeWidget {
 public:
  explicit IdentifyPanel(QWidget* parent = nullptr);
  void show_found(const std::vector<FoundLayer>& found);
};

}  // namespace host

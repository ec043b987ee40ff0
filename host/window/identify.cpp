#include "identify.h"

#include <QHeaderView>

#include <algorithm>
#include <cmath>

#include <gis/core.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

namespace host {

namespace {

double segment_distance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Whether a shape comes within tolerance of (x, y); an area also when it holds the point
// (its rings taken even-odd, so a hole holds nothing).
bool near(const gis::ShapeParts& s, double x, double y, double tolerance) {
  const std::vector<double>& xy = s.xy;
  if (s.dimension == 0) {
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
      if (std::hypot(xy[i] - x, xy[i + 1] - y) <= tolerance) return true;
    return false;
  }
  bool inside = false;
  int begin = 0;
  for (int end : s.part_ends) {
    for (int i = begin; i + 1 < end; ++i) {
      const double ax = xy[2 * i], ay = xy[2 * i + 1], bx = xy[2 * i + 2], by = xy[2 * i + 3];
      if (segment_distance(x, y, ax, ay, bx, by) <= tolerance) return true;
      if (s.dimension == 2 && (ay > y) != (by > y) && x < ax + (y - ay) * (bx - ax) / (by - ay)) inside = !inside;
    }
    begin = end;
  }
  return inside;
}

// The visible feature layers under `layer` (itself, or a group's, switched on all the way).
void visible_feature_layers(ILayer* layer, std::vector<win32::ComPtr<ILayer>>& out) {
  VARIANT_BOOL visible = VARIANT_FALSE;
  if (FAILED(layer->get_Visible(&visible)) || visible == VARIANT_FALSE) return;
  if (auto group = win32::query<ICompositeLayer>(layer)) {
    LONG count = 0;
    group->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
      win32::ComPtr<ILayer> sub;
      if (SUCCEEDED(group->get_Layer(i, sub.put())) && sub) visible_feature_layers(sub.get(), out);
    }
  } else if (win32::query<IFeatureLayer>(layer)) {
    out.emplace_back(layer);
  }
}

}  // namespace

std::vector<std::pair<LONG, std::string>> AttributeFields(IFeatureClass* feature_class) {
  std::vector<std::pair<LONG, std::string>> out;
  win32::ComPtr<IFields> fields;
  if (!feature_class || FAILED(feature_class->get_Fields(fields.put())) || !fields) return out;
  LONG count = 0;
  fields->get_FieldCount(&count);
  for (LONG f = 0; f < count; ++f) {
    win32::ComPtr<IField> field;
    esriFieldType type = esriFieldTypeString;
    if (FAILED(fields->get_Field(f, field.put())) || !field || FAILED(field->get_Type(&type)) ||
        type == esriFieldTypeGeometry)
      continue;
    win32::Bstr name;
    field->get_Name(name.put());
    out.emplace_back(f, name.utf8());
  }
  return out;
}

std::vector<FoundLayer> IdentifyFeatures(IMxDocument* document, double x, double y, double tolerance) {
  std::vector<FoundLayer> found;
  win32::ComPtr<IMap> map;
  if (!document || FAILED(document->get_FocusMap(map.put())) || !map) return found;
  win32::ComPtr<ISpatialReference> system;
  map->get_SpatialReference(system.put());
  std::vector<win32::ComPtr<ILayer>> layers;
  LONG count = 0;
  map->get_LayerCount(&count);
  for (LONG i = 0; i < count; ++i) {
    win32::ComPtr<ILayer> layer;
    if (SUCCEEDED(map->get_Layer(i, layer.put())) && layer) visible_feature_layers(layer.get(), layers);
  }
  const double box[4] = {x - tolerance, y - tolerance, x + tolerance, y + tolerance};
  for (const auto& layer : layers) {
    win32::ComPtr<IFeatureClass> feature_class;
    win32::query<IFeatureLayer>(layer.get())->get_FeatureClass(feature_class.put());
    if (!feature_class) continue;
    std::vector<LONG> asked;
    std::vector<std::string> names;
    for (auto& [index, field_name] : AttributeFields(feature_class.get())) {
      asked.push_back(index);
      names.push_back(std::move(field_name));
    }
    FoundLayer hits;
    win32::Bstr name;
    layer->get_Name(name.put());
    hits.name = name.utf8();
    gis::ReadShapes(feature_class.get(), box, system.get(), asked,
                    [&](const std::vector<gis::ShapeParts>& shapes, const std::vector<std::string>& values) {
                      if (std::none_of(shapes.begin(), shapes.end(),
                                       [&](const gis::ShapeParts& s) { return near(s, x, y, tolerance); }))
                        return;
                      FoundFeature feature;
                      for (size_t k = 0; k < names.size() && k < values.size(); ++k)
                        feature.fields.emplace_back(names[k], values[k]);
                      hits.features.push_back(std::move(feature));
                    });
    if (!hits.features.empty()) found.push_back(std::move(hits));
  }
  return found;
}

IdentifyPanel::IdentifyPanel(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("identify");
  setColumnCount(2);
  setHeaderLabels({"Field", "Value"});
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

void IdentifyPanel::show_found(const std::vector<FoundLayer>& found) {
  clear();
  for (const FoundLayer& layer : found) {
    auto* layer_item = new QTreeWidgetItem(this, {QString::fromStdString(layer.name)});
    for (const FoundFeature& feature : layer.features) {
      // Named by its first field (the object id, as a rule): "FID 12".
      const QString title = feature.fields.empty() ? QString("feature")
                                                   : QString::fromStdString(feature.fields.front().first + " " +
                                                                            feature.fields.front().second);
      auto* feature_item = new QTreeWidgetItem(layer_item, {title});
      for (const auto& [field, value] : feature.fields)
        new QTreeWidgetItem(feature_item, {QString::fromStdString(field), QString::fromStdString(value)});
    }
  }
  expandToDepth(1);
}

}  // namespace host

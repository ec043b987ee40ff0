#include "polygon_features.h"

#include <cctype>
#include <cstdio>

#include <oleauto.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

#include "gis/core.h"
#include "gis/document.h"

namespace host {

namespace {

using win32::ComPtr;

std::string name_of(ILayer* layer) {
  win32::Bstr name;
  layer->get_Name(name.put());
  return name.utf8();
}

// Lower case ASCII, surrounding space dropped: how a person would expect to find a label.
std::string loose(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  std::string out = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string number(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string line(const PolygonFeature& f) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%8ld  ", f.id);
  return buf + ("\"" + f.label + "\"") + "  area " + number(f.area, 2) + "  extent " + number(f.xmin, 2) + " " +
         number(f.ymin, 2) + " – " + number(f.xmax, 2) + " " + number(f.ymax, 2);
}

}  // namespace

bool list_polygon_features(IMap* map, const std::string& layer_name, std::vector<PolygonFeature>* out,
                           std::string* error) {
  ComPtr<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  ComPtr<IFeatureClass> feature_class;
  std::string display, polygon_layers;
  while (layers && layers->Next(layer.put()) == S_OK && layer) {
    auto feature_layer = win32::query<IFeatureLayer>(layer.get());
    ComPtr<IFeatureClass> fc;
    esriGeometryType shape = esriGeometryNull;
    if (!feature_layer || FAILED(feature_layer->get_FeatureClass(fc.put())) || !fc ||
        FAILED(fc->get_ShapeType(&shape)) || shape != esriGeometryPolygon)
      continue;
    const std::string name = name_of(layer.get());
    polygon_layers += "\n  " + name;
    if (name != layer_name || feature_class) continue;
    feature_class = fc;
    win32::Bstr field;
    feature_layer->get_DisplayField(field.put());
    display = field.utf8();
  }
  if (!feature_class) {
    *error = "no polygon layer '" + layer_name + "'; the map's polygon layers are:" +
             (polygon_layers.empty() ? "\n  (none)" : polygon_layers);
    return false;
  }
  LONG field_index = -1;
  if (!display.empty()) {
    win32::Bstr b = win32::Bstr::from_utf8(display);
    feature_class->FindField(b.get(), &field_index);
  }
  ComPtr<IFeatureCursor> cursor;
  if (FAILED(feature_class->Search(nullptr, VARIANT_FALSE, cursor.put())) || !cursor) {
    *error = "the features of layer '" + layer_name + "' cannot be read";
    return false;
  }
  ComPtr<IFeature> feature;
  HRESULT hr;
  while ((hr = cursor->NextFeature(feature.put())) == S_OK && feature) {
    PolygonFeature f;
    LONG oid = -1;
    feature->get_OID(&oid);
    f.id = oid;
    if (field_index >= 0) {
      VARIANT v;
      VariantInit(&v);
      if (SUCCEEDED(feature->get_Value(field_index, &v))) f.label = gis::ValueText(v);
      VariantClear(&v);
    }
    ComPtr<IGeometry> shape;
    if (SUCCEEDED(feature->get_Shape(shape.put())) && shape) {
      if (auto area = win32::query<IArea>(shape.get())) area->get_Area(&f.area);
      ComPtr<IEnvelope> e;
      if (SUCCEEDED(shape->get_Envelope(e.put())) && e) {
        e->get_XMin(&f.xmin), e->get_YMin(&f.ymin), e->get_XMax(&f.xmax), e->get_YMax(&f.ymax);
      }
    }
    out->push_back(std::move(f));
  }
  if (FAILED(hr)) {
    *error = "the features of layer '" + layer_name + "' cannot be read whole";
    return false;
  }
  return true;
}

LabelCheck check_label(const std::vector<PolygonFeature>& features, const std::string& layer, const std::string& label) {
  std::vector<const PolygonFeature*> same, close;
  for (const PolygonFeature& f : features) {
    if (f.label == label) same.push_back(&f);
    else if (loose(f.label) == loose(label)) close.push_back(&f);
  }
  LabelCheck check;
  if (same.size() == 1) return check;
  if (same.size() > 1) {
    check.duplicates = true;
    check.message = std::to_string(same.size()) + " features of layer '" + layer + "' have the label '" + label +
                    "'; choose one with --feature-id ID:";
    for (const PolygonFeature* f : same) check.message += "\n" + line(*f);
    return check;
  }
  if (!close.empty()) {
    check.message = "no feature of layer '" + layer + "' has the label '" + label + "' exactly; did you mean:";
    for (const PolygonFeature* f : close) check.message += "\n" + line(*f);
  }
  return check;
}

std::string feature_table(const std::vector<PolygonFeature>& features) {
  std::string out = "      id  label  area  extent (xmin ymin – xmax ymax)\n";
  for (const PolygonFeature& f : features) out += line(f) + "\n";
  return out;
}

}  // namespace host

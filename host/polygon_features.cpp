#include "polygon_features.h"

#include <cctype>
#include <cstdio>

#include <oleauto.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

#include "gis/core.h"
#include "gis/document.h"
#include "cut_dialog_user.h"

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

// One feature: id, label, area, extent, and the picker's text when its code page changes it.
std::string line(const PolygonFeature& f) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%8ld  ", f.id);
  const std::string shown = win32::ansi_to_utf8(f.entry);
  return buf + ("\"" + f.label + "\"") + "  area " + number(f.area, 2) + "  extent " + number(f.xmin, 2) + " " +
         number(f.ymin, 2) + " – " + number(f.xmax, 2) + " " + number(f.ymax, 2) +
         (f.label.empty() || shown == f.label ? "" : "  (the feature picker shows \"" + shown + "\")");
}

}  // namespace

bool picker_shape(esriGeometryType type) { return type == esriGeometryPolygon || type == esriGeometryLine; }

std::vector<PickerLayer> picker_layers(IMap* map) {
  std::vector<PickerLayer> out;
  ComPtr<IEnumLayer> layers;
  if (map) map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK && layer) {
    auto feature_layer = win32::query<IFeatureLayer>(layer.get());
    ComPtr<IFeatureClass> fc;
    esriGeometryType shape = esriGeometryNull;
    if (!feature_layer || FAILED(feature_layer->get_FeatureClass(fc.put())) || !fc ||
        FAILED(fc->get_ShapeType(&shape)) || !picker_shape(shape))
      continue;
    out.push_back({name_of(layer.get()), feature_layer});
  }
  return out;
}

bool list_polygon_features(IMap* map, const std::string& layer_name, std::vector<PolygonFeature>* out,
                           std::string* error) {
  const std::vector<PickerLayer> layers = picker_layers(map);
  const std::string wanted = win32::utf8_to_ansi(layer_name);
  const PickerLayer* chosen = nullptr;
  std::vector<std::string> names;
  for (const PickerLayer& l : layers) {
    names.push_back(l.name);
    if (!chosen && win32::utf8_to_ansi(l.name) == wanted) chosen = &l;
  }
  if (!chosen) {
    *error = "no polygon layer '" + layer_name + "'; the map's polygon layers are:" + listing(names);
    return false;
  }
  return picker_features(*chosen, out, error);
}

bool picker_features(const PickerLayer& picked, std::vector<PolygonFeature>* out, std::string* error) {
  const std::string& layer_name = picked.name;
  ComPtr<IFeatureClass> feature_class;
  picked.layer->get_FeatureClass(feature_class.put());
  if (!feature_class) {
    *error = "layer '" + layer_name + "' has no data";
    return false;
  }
  win32::Bstr field;
  picked.layer->get_DisplayField(field.put());
  LONG field_index = -1;
  if (!field.utf8().empty() && FAILED(feature_class->FindField(field.get(), &field_index))) field_index = -1;
  ComPtr<IFeatureCursor> cursor;
  if (FAILED(feature_class->Search(nullptr, VARIANT_FALSE, cursor.put())) || !cursor) {
    *error = "the features of layer '" + layer_name + "' cannot be read";
    return false;
  }
  ComPtr<IFeature> feature;
  HRESULT hr;
  while ((hr = cursor->NextFeature(feature.put())) == S_OK && feature) {
    ComPtr<IGeometry> shape;
    esriGeometryType type = esriGeometryNull;
    if (FAILED(feature->get_Shape(shape.put())) || !shape || FAILED(shape->get_GeometryType(&type)) ||
        !picker_shape(type))
      continue;
    PolygonFeature f;
    LONG oid = -1;
    feature->get_OID(&oid);
    f.id = oid;
    if (field_index >= 0) {
      VARIANT v;
      VariantInit(&v);
      if (SUCCEEDED(feature->get_Value(field_index, &v))) f.label = gis::ValueText(v);
      VariantClear(&v);
      f.entry = win32::utf8_to_ansi(f.label);
    } else {
      f.entry = std::to_string(f.id);
    }
    if (auto area = win32::query<IArea>(shape.get())) area->get_Area(&f.area);
    ComPtr<IEnvelope> e;
    if (SUCCEEDED(shape->get_Envelope(e.put())) && e) {
      e->get_XMin(&f.xmin), e->get_YMin(&f.ymin), e->get_XMax(&f.xmax), e->get_YMax(&f.ymax);
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
  // What the picker compares is its entries' text: the label in the code page.
  const std::string entry = win32::utf8_to_ansi(label);
  const auto has_label = [&](const PolygonFeature& f) { return f.label == label || win32::ansi_to_utf8(f.entry) == label; };
  std::vector<const PolygonFeature*> shown, close;
  for (const PolygonFeature& f : features) {
    if (f.entry == entry) shown.push_back(&f);
    else if (loose(f.label) == loose(label)) close.push_back(&f);
  }
  LabelCheck check;
  if (shown.size() == 1 && has_label(*shown.front())) return check;
  const std::string layer_text = "layer '" + layer + "'";
  const std::string picker_text = "'" + win32::ansi_to_utf8(entry) + "'";
  if (shown.size() > 1) {
    bool same = true;
    for (const PolygonFeature* f : shown) same = same && f->label == label;
    check.refused = true;
    check.message = same ? std::to_string(shown.size()) + " features of " + layer_text + " have the label '" + label +
                               "'; choose one with --feature-id ID:"
                         : std::to_string(shown.size()) + " features of " + layer_text +
                               " have labels the feature picker shows alike, as " + picker_text +
                               " (its code page lacks some of their letters); choose one with --feature-id ID:";
    for (const PolygonFeature* f : shown) check.message += "\n" + line(*f);
    return check;
  }
  if (shown.size() == 1) {
    check.refused = true;
    check.message = "no feature of " + layer_text + " has the label '" + label +
                    "'; the feature picker shows this one as " + picker_text +
                    " (its code page lacks some of the letters); choose it with --feature-id ID:\n" + line(*shown.front());
    return check;
  }
  if (!close.empty()) {
    check.message = "no feature of " + layer_text + " has the label '" + label + "' exactly; did you mean:";
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

#include "feature_layer.h"

#include <cctype>
#include <filesystem>

#include "gis/core.h"
#include "renderers.h"

namespace gis::carto {

FeatureLayer::FeatureLayer(const Json& json, const std::string& where, const DocumentPlace& place) {
  read_common(json, where);
  display_field = member_string(json, "display_field", where);
  if (auto it = json.find("source"); it != json.end() && !it->is_null()) {
    source_json_ = require_object(*it, where + ".source");
    source_path = resolve_source_path(member_string(source_json_, "path", where + ".source"), place);
    has_source_layer = source_json_.contains("layer") && !source_json_["layer"].is_null();
    source_layer = member_string(source_json_, "layer", where + ".source");
  }
  if (auto it = json.find("renderer"); it != json.end()) renderer = renderer_from_json(*it, where + ".renderer");
  if (source_path.empty()) {
    std::string provider = member_string(source_json_, "provider", where + ".source");
    open_error = provider.empty() ? "the layer names no source"
                                  : "its data comes through the QGIS provider \"" + provider + "\", which is not read";
    return;
  }
  std::string error;
  // A system given to data that names none (the source's "crs").
  win32::ComPtr<ISpatialReference> assigned;
  if (const std::string crs = member_string(source_json_, "crs", where + ".source"); !crs.empty()) {
    assigned = SpatialReferenceFromText(crs, &error);
    if (!assigned) {
      open_error = "its source's coordinate system " + crs + " is none: " + error;
      return;
    }
  }
  // The features the layer shows (the source's "filter", as QGIS keeps a layer's subset).
  const std::string filter = member_string(source_json_, "filter", where + ".source");
  feature_class = OpenFeatureClass(source_path, source_layer, &error, assigned.get(), filter);
  if (!feature_class) {
    open_error = error.empty() ? "cannot be opened" : error;
    return;
  }
  check_fields();
  std::string opened_path;
  if (!FeatureClassSource(feature_class.get(), &opened_path, &opened_layer_)) return;
  std::error_code ec;
  if (std::filesystem::is_directory(source_path, ec))
    warnings.push_back("its source is a folder: the layer reads its " +
                       (opened_layer_.empty() ? std::string("first data set") : "data set \"" + opened_layer_ + "\""));
  document_source_path_ = opened_path;
  document_source_layer_ = source_layer;
  document_has_source_layer_ = has_source_layer;
}

void FeatureLayer::check_fields() {
  auto has_field = [&](const std::string& name) {
    LONG index = -1;
    win32::Bstr b = win32::Bstr::from_utf8(name);
    return SUCCEEDED(feature_class->FindField(b.get(), &index)) && index >= 0;
  };
  if (!display_field.empty() && !has_field(display_field))
    warnings.push_back("the display field " + display_field + " is not a field of its data");
  std::vector<std::string> fields;
  if (auto* unique = dynamic_cast<UniqueValueRenderer*>(renderer.get())) fields = unique->fields;
  if (auto* breaks = dynamic_cast<ClassBreaksRenderer*>(renderer.get()); breaks && !breaks->field.empty())
    fields.push_back(breaks->field);
  for (const std::string& f : fields)
    if (!has_field(f)) warnings.push_back("the renderer's field " + f + " is not a field of its data");
}

HRESULT FeatureLayer::get_FeatureClass(IFeatureClass** out) { return out_ref(out, feature_class); }

HRESULT FeatureLayer::putref_FeatureClass(IFeatureClass* value) {
  return win32::com_guard([&] {
    feature_class = win32::ComPtr<IFeatureClass>(value);
    open_error.clear();
    if (!value) return S_OK;
    std::string path, layer;
    if (FeatureClassSource(value, &path, &layer) && !document_source_path_.empty() &&
        path == document_source_path_ && layer == opened_layer_) {
      source_path = path;
      source_layer = document_source_layer_;
      has_source_layer = document_has_source_layer_;
      source_is_documents_ = true;
    } else if (FeatureClassSource(value, &path, &layer)) {
      source_path = path;
      source_layer = layer;
      has_source_layer = !layer.empty();
      source_is_documents_ = false;
    } else {
      // A class of other origin cannot be named in a document: the saved layer names no source.
      source_is_documents_ = false;
      source_path.clear();
      source_layer.clear();
      has_source_layer = false;
    }
    return S_OK;
  });
}

HRESULT FeatureLayer::get_DisplayField(BSTR* out) {
  return win32::com_guard([&] { return out_text(out, display_field); });
}

HRESULT FeatureLayer::put_DisplayField(BSTR value) {
  return win32::com_guard([&] {
    display_field = in_text(value);
    return S_OK;
  });
}

HRESULT FeatureLayer::get_DataSourceType(BSTR* out) {
  return win32::com_guard([&] {
    std::string ext = source_path.size() >= 4 ? source_path.substr(source_path.size() - 4) : "";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out_text(out, ext == ".shp" ? "Shapefile Feature Class" : "Feature Class");
  });
}

HRESULT FeatureLayer::get_Renderer(IFeatureRenderer** out) { return out_ref(out, renderer); }

HRESULT FeatureLayer::putref_Renderer(IFeatureRenderer* value) {
  renderer = win32::ComPtr<IFeatureRenderer>(value);
  return S_OK;
}

Json FeatureLayer::to_json(const DocumentPlace& place) const {
  Json j = common_json("feature");
  Json source = source_json_;
  if (!source_is_documents_) {
    // The system given to the old data and its filter are not the new data's: that names its
    // own system and holds the features the filter kept.
    source.erase("crs");
    source.erase("filter");
  }
  source["path"] = source_path.empty() ? Json(nullptr) : Json(stored_source_path(source_path, place));
  if (has_source_layer)
    source["layer"] = source_layer;
  else if (source.contains("layer"))
    source["layer"] = nullptr;
  j["source"] = std::move(source);
  if (!display_field.empty() || j.contains("display_field")) j["display_field"] = display_field;
  if (renderer) {
    Json r = renderer_to_json(renderer.get());
    if (!r.is_null()) j["renderer"] = std::move(r);
  } else {
    j.erase("renderer");
  }
  return j;
}

}  // namespace gis::carto

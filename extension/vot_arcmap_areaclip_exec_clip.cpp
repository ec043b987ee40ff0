// Stage 3: every feature layer clipped into a new shapefile.
#include <windows.h>

#include "extension/vot_arcmap_areaclip_error_info.h"
#include "extension/vot_arcmap_areaclip_exec.h"

esriGeometryDimension intersection_dimension(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return esriGeometry0Dimension;
    case esriGeometryPolyline:
    case esriGeometryLine: return esriGeometry1Dimension;
    case esriGeometryPolygon: return esriGeometry2Dimension;
    default: return esriGeometryNoDimension;
  }
}

namespace {

int geometry_class(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return 1;
    case esriGeometryPolyline:
    case esriGeometryLine: return 2;
    case esriGeometryPolygon: return 3;
    default: return 0;
  }
}

bool same_class(esriGeometryType a, esriGeometryType b) {
  int ca = geometry_class(a);
  return ca != 0 && ca == geometry_class(b);
}

}  // namespace

int Tvo_arcmap_areaclip_execute::clip_layers() {
  // The result folder itself, also when no layer writes into it: the document goes there.
  if (!force_folder(params->get_newmap()->get_map_path())) return 1;
  for (int i = 0; i < records->count(); ++i) {
    Tvo_arcmap_areaclip_lr* record = records->get(i);
    Tvo_arcgis_ptr_layer* handle = record->get_layer();
    if (!handle->is_feature_layer()) continue;
    show_progress_text("Обрабатывается: " + handle->name());
    TComInterface<IFeatureLayer> layer;
    layer = handle->get_layer();
    int code = clip_layer(polygon, layer, record->get_file_name(), &record->get_field_names());
    record->set_done(true);
    if (code != 0) return code;
  }
  return 0;
}

int Tvo_arcmap_areaclip_execute::clip_layer(TComInterface<IPolygon> cutter, TComInterface<IFeatureLayer> layer,
                                           const std::string& path, Tvo_arcgis_field_names* field_names) {
  if (!layer) return 0;
  TComInterface<IFeatureClass> source;
  layer->get_FeatureClass(&source);
  if (!source) return 0;
  LONG total = 0;
  source->FeatureCount(nullptr, &total);
  esriGeometryType shape_type = esriGeometryNull;
  source->get_ShapeType(&shape_type);

  if (!force_folder(path)) return 1;
  std::string folder, file;
  split_file_path(path, folder, file);
  std::vector<std::string> parts;
  size_t dot = path.find_last_of('.');
  std::string base = dot != std::string::npos && dot >= folder.size() ? path.substr(0, dot) : path;
  for (const char* ext : shapefile_parts) parts.push_back(base + ext);
  undo->files_to_create(parts);
  TComInterface<IFeatureClass> target =
      create_shapefile_feature_class(path, shape_type, false, false, spatial_reference);
  // Without the output class nothing of this layer can be written: the run fails.
  if (!target) return 1;
  copy_attribute_fields(source, target);
  if (field_names) *field_names = result_field_names(source, target);

  TComInterface<IFeatureCursor> cursor;
  source->Search(nullptr, VARIANT_FALSE, &cursor);
  if (!cursor) return 0;

  TComInterface<IFeature> feature;
  // A record that cannot be read fails the run: passing over it would lose it unseen.
  if (FAILED(cursor->NextFeature(&feature))) return 1;
  int counter = 0;
  while (feature) {
    TComInterface<IGeometry> shape;
    feature->get_Shape(&shape);
    if (shape) {
      if (spatial_reference) shape->Project(spatial_reference);
      esriGeometryType type = esriGeometryNull;
      shape->get_GeometryType(&type);
      if (type == shape_type) {
        TComInterface<ITopologicalOperator> topology;
        topology = cutter;
        TComInterface<IGeometry> result;
        if (topology) topology->Intersect(shape, intersection_dimension(type), &result);
        VARIANT_BOOL empty = VARIANT_TRUE;
        if (result) result->get_IsEmpty(&empty);
        esriGeometryType result_type = esriGeometryNull;
        if (result && !empty) result->get_GeometryType(&result_type);
        if (result && !empty && same_class(result_type, type)) {
          TComInterface<IFeature> output;
          target->CreateFeature(&output);
          if (!output) return 1;
          output->putref_Shape(result);
          copy_attribute_values(feature, output);
          // A feature the shapefile refuses would be lost without a word.
          if (FAILED(output->Store())) return 1;
        }
      }
    }
    if (FAILED(cursor->NextFeature(&feature))) return 1;
    ++counter;
    show_progress(counter, total);
  }
  return 0;
}

namespace {

// The system's text for a Win32 error code, without the line end; "" when it has none.
std::string system_error_text(DWORD code) {
  char text[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) out.pop_back();
  return out;
}

// Leaves the reason of a failed step for the caller of the command, as its failed calls do.
void set_run_error(const std::string& message) {
  vot_set_error_info(IID_ICommand, GUID_NULL, message);
}

}  // namespace

bool Tvo_arcmap_areaclip_execute::force_folder(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return true;
  std::string folder = path.substr(0, cut + 1);
  // Create every folder along the way, from the top down.
  for (size_t pos = 0; pos < folder.size(); ++pos) {
    char c = folder[pos];
    if ((c != '\\' && c != '/') || pos == 0) continue;
    std::string part = folder.substr(0, pos);
    if (part.size() == 2 && part[1] == ':') continue;
    if (GetFileAttributesA(part.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    if (CreateDirectoryA(part.c_str(), nullptr)) {
      undo->folder_created(part);
      continue;
    }
    const DWORD error = GetLastError();
    set_run_error("Не удалось создать папку " + part + ": " + system_error_text(error));
    return false;
  }
  DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  set_run_error("Папка " + folder.substr(0, cut) + " недоступна: это не папка");
  return false;
}

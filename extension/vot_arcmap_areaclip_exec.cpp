// The run driver: entry point, stage chain, stage 1 and 2, output file naming, progress.
#include "vot_arcmap_areaclip_exec.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "extension/vot_arcmap_areaclip_progress_cast.h"

const char* const layer_codes[22] = {"BASE", "OVER", "RMET", "ALTR", "TECT", "STRC", "ISLN", "VOLC",
                                     "TECH", "BEDD", "ROBS", "OOBS", "STRA", "PETR", "DRUD", "DPLC",
                                     "PANN", "CHEM", "PHYS", "MFA2", "SECT", "DNET"};

const char* const shapefile_parts[5] = {".shp", ".shx", ".dbf", ".prj", ".cpg"};

Tvo_arcmap_areaclip_progress::~Tvo_arcmap_areaclip_progress() = default;

// ---- layer records ----

Tvo_arcmap_areaclip_lr::Tvo_arcmap_areaclip_lr() : layer(new Tvo_arcgis_ptr_layer), done(false) {}
Tvo_arcmap_areaclip_lr::~Tvo_arcmap_areaclip_lr() { delete layer; }
Tvo_arcgis_ptr_layer* Tvo_arcmap_areaclip_lr::get_layer() const { return layer; }
const std::string& Tvo_arcmap_areaclip_lr::get_file_name() const { return file_name; }
void Tvo_arcmap_areaclip_lr::set_file_name(const std::string& value) { file_name = value; }
bool Tvo_arcmap_areaclip_lr::is_done() const { return done; }
void Tvo_arcmap_areaclip_lr::set_done(bool value) { done = value; }
Tvo_arcgis_field_names& Tvo_arcmap_areaclip_lr::get_field_names() { return field_names; }

Tvo_arcmap_areaclip_lrs::Tvo_arcmap_areaclip_lrs() = default;
Tvo_arcmap_areaclip_lrs::~Tvo_arcmap_areaclip_lrs() { clear(); }

Tvo_arcmap_areaclip_lr* Tvo_arcmap_areaclip_lrs::add() {
  items.reserve(items.size() + 1);
  items.push_back(new Tvo_arcmap_areaclip_lr);
  return items.back();
}

int Tvo_arcmap_areaclip_lrs::count() const { return static_cast<int>(items.size()); }
Tvo_arcmap_areaclip_lr* Tvo_arcmap_areaclip_lrs::get(int index) const { return items[static_cast<size_t>(index)]; }

void Tvo_arcmap_areaclip_lrs::clear() {
  for (Tvo_arcmap_areaclip_lr* record : items) delete record;
  items.clear();
  items.shrink_to_fit();
}

// ---- the run object ----

Tvo_arcmap_areaclip_execute::Tvo_arcmap_areaclip_execute()
    : params(nullptr),
      records(new Tvo_arcmap_areaclip_lrs),
      feature_layer(new Tvo_arcgis_ptr_feature_layer),
      renderer(new Tvo_arcgis_ptr_feature_renderer),
      graphics_layers(new Tvo_arcgis_ptr_layers),
      used_files(new std::unordered_set<std::string>),
      undo(new Tvo_arcmap_areaclip_undo) {}

Tvo_arcmap_areaclip_execute::~Tvo_arcmap_areaclip_execute() {
  delete undo;
  delete used_files;
  delete graphics_layers;
  delete records;
  delete renderer;
  delete feature_layer;
  polygon.Reset();
  spatial_reference.Reset();
}

int execute_cut(Tvo_arcmap_areaclip_params* params) {
  std::unique_ptr<Tvo_arcmap_areaclip_execute> run;
  try {
    run = std::make_unique<Tvo_arcmap_areaclip_execute>();
    int code = run->run(params);
    run.reset();
    return code;
  } catch (...) {
    run.reset();
    return 1;
  }
}

int Tvo_arcmap_areaclip_execute::run(Tvo_arcmap_areaclip_params* run_params) {
  params = run_params;
  if (!params) return 1;
  int code = 1;
  try {
    code = run_stages();
  } catch (...) {
    roll_back();
    throw;
  }
  if (code != 0) roll_back();
  else undo->clear();
  return code;
}

void Tvo_arcmap_areaclip_execute::roll_back() {
  // The run's own holders let go of the layers and shapefiles first.
  renderer->set_renderer(nullptr);
  feature_layer->set_layer(nullptr);
  graphics_layers->clear();
  undo->undo();
}

int Tvo_arcmap_areaclip_execute::run_stages() {
  int (Tvo_arcmap_areaclip_execute::*const stages[])() = {
      &Tvo_arcmap_areaclip_execute::collect_layers, &Tvo_arcmap_areaclip_execute::prepare,
      &Tvo_arcmap_areaclip_execute::clip_layers,    &Tvo_arcmap_areaclip_execute::relink_layers,
      &Tvo_arcmap_areaclip_execute::clip_graphics,  &Tvo_arcmap_areaclip_execute::save_map};
  for (auto stage : stages) {
    int code = (this->*stage)();
    if (code != 0) return code;
  }
  return 0;
}

namespace {

TComInterface<IMap> focus_map_of(const Tvo_arcmap_areaclip_params* params) {
  TComInterface<IMap> map;
  TComInterface<IMxDocument> document = params->get_document();
  if (document) document->get_FocusMap(&map);
  return map;
}

}  // namespace

int Tvo_arcmap_areaclip_execute::collect_layers() {
  records->clear();
  TComInterface<IMap> map = focus_map_of(params);
  if (!map) return 0;
  TComInterface<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, &layers);
  if (!layers) return 0;
  layers->Reset();
  TComInterface<ILayer> layer;
  while (layers->Next(&layer) == S_OK) records->add()->get_layer()->set_layer(layer);
  return 0;
}

int Tvo_arcmap_areaclip_execute::prepare() {
  TComInterface<IMap> map = focus_map_of(params);
  if (map) map->get_SpatialReference(&spatial_reference);

  TComInterface<IFeature> feature = params->get_pgnobj()->get_feature();
  if (!feature) return 1;
  TComInterface<IGeometry> shape;
  feature->get_ShapeCopy(&shape);
  if (!shape) return 1;
  esriGeometryType type = esriGeometryNull;
  shape->get_GeometryType(&type);
  if (type != esriGeometryPolygon) return 1;
  // An empty shape would cut everything away and still report success.
  VARIANT_BOOL empty = VARIANT_TRUE;
  shape->get_IsEmpty(&empty);
  if (empty) return 1;

  polygon.Reset();
  polygon = shape;
  if (!polygon) return 1;
  if (spatial_reference) polygon->Project(spatial_reference);

  assign_file_names();
  return 0;
}

// ---- output file naming ----

std::string safe_dataset_name(const std::string& name) {
  auto is_trimmed = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
  size_t first = 0, last = name.size();
  while (first < last && is_trimmed(static_cast<unsigned char>(name[first]))) ++first;
  while (last > first && is_trimmed(static_cast<unsigned char>(name[last - 1]))) --last;
  std::string safe = name.substr(first, last - first);
  for (char& c : safe) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < ' ' || u == 0x7F || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  }
  return safe;
}

void Tvo_arcmap_areaclip_execute::assign_file_names() {
  const std::string& folder = params->get_newmap()->get_folder();
  for (int i = 0; i < records->count(); ++i) {
    Tvo_arcmap_areaclip_lr* record = records->get(i);
    std::string path = folder + "\\" + "cross" + std::to_string(i) + ".shp";
    if (record->get_layer()->is_feature_layer()) {
      TComInterface<IFeatureLayer> layer;
      layer = record->get_layer()->get_layer();
      feature_layer->set_layer(layer);
      std::optional<std::string> dataset = feature_layer->dataset_name();
      if (dataset) {
        std::string name = safe_dataset_name(*dataset);
        // A name that is empty once trimmed would give a file without a base name.
        if (!name.empty()) path = folder + "\\" + code_folder_name(name) + ".shp";
      }
    }
    record->set_file_name(unique_file_name(path));
  }
}

std::string Tvo_arcmap_areaclip_execute::code_folder_name(const std::string& name) const {
  if (name.size() > 4) {
    for (const char* code : layer_codes) {
      bool same = true;
      for (int k = 0; k < 4 && same; ++k) {
        char a = name[k], b = code[k];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        same = a == b;
      }
      if (same) return std::string(code) + "\\" + name;
    }
  }
  return name;
}

namespace {

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool Tvo_arcmap_areaclip_execute::file_used(const std::string& path) const {
  if (file_exists(path)) return true;
  // A shapefile is several files: an existing .dbf or .shx of that name is taken as well.
  size_t dot = path.find_last_of('.');
  size_t sep = path.find_last_of("\\/:");
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep) &&
      ansi_lower_case(path.substr(dot)) == ".shp") {
    std::string base = path.substr(0, dot);
    for (const char* ext : shapefile_parts)
      if (file_exists(base + ext)) return true;
  }
  return used_files->count(ansi_lower_case(path)) != 0;
}

std::string Tvo_arcmap_areaclip_execute::unique_file_name(const std::string& path) {
  std::string result = path;
  if (file_used(path)) {
    size_t dot = path.find_last_of('.');
    size_t sep = path.find_last_of("\\/:");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) dot = path.size();
    std::string base = path.substr(0, dot), ext = path.substr(dot);
    for (long n = 1;; ++n) {
      result = base + "_" + std::to_string(n) + ext;
      if (!file_used(result)) break;
    }
  }
  used_files->insert(ansi_lower_case(result));
  return result;
}

std::string ansi_lower_case(const std::string& text) {
  if (text.empty()) return text;
  Tvo_bstr wide(text);
  OLECHAR* chars = wide.get();
  for (UINT i = 0, n = SysStringLen(chars); i < n; ++i) {
    OLECHAR& c = chars[i];
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
        (c >= 0x410 && c <= 0x42F))
      c = static_cast<OLECHAR>(c + 0x20);
    else if (c >= 0x400 && c <= 0x40F)
      c = static_cast<OLECHAR>(c + 0x50);
    else if (c == 0x490)
      c = 0x491;
  }
  return wide.ansi();
}

// ---- progress ----

int progress_percent(int done, int total) {
  if (total <= 0) return 0;
  return static_cast<int>(static_cast<int64_t>(done) * 100 / total);
}

Tvo_arcmap_areaclip_progress* Tvo_arcmap_areaclip_execute::progress_target() {
  TObject* owner = params->get_owner();
  if (owner != progress_owner) {
    progress_owner = owner;
    progress = progress_receiver(owner);
  }
  return progress;
}

void Tvo_arcmap_areaclip_execute::show_progress_text(const std::string& text) {
  if (Tvo_arcmap_areaclip_progress* receiver = progress_target()) receiver->set_progress_text(text);
}

void Tvo_arcmap_areaclip_execute::show_progress(int done, int total) {
  if (Tvo_arcmap_areaclip_progress* receiver = progress_target())
    receiver->set_progress_position(progress_percent(done, total));
}

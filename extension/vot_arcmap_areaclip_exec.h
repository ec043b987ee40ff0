// The cut run: one layer record per map layer, output file naming, the chain of six
// stages (collect, prepare, clip, relink, graphics, save) and progress reporting.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"
#include "extension/vot_arcmap_areaclip_params.h"
#include "extension/vot_arcmap_areaclip_undo.h"
#include "vot_arcgis/vot_arcgis_params.h"

// What the run reports its progress to (the cut dialog, or a host printing a progress
// line). The run finds it by casting the parameter set's owner.
class Tvo_arcmap_areaclip_progress {
 public:
  virtual ~Tvo_arcmap_areaclip_progress();
  virtual void set_progress_text(const std::string& text) = 0;
  virtual void set_progress_position(int percent) = 0;
};

// One layer of the focus map and the shapefile that receives its clipped features.
class Tvo_arcmap_areaclip_lr {
 public:
  Tvo_arcmap_areaclip_lr();
  virtual ~Tvo_arcmap_areaclip_lr();
  Tvo_arcmap_areaclip_lr(const Tvo_arcmap_areaclip_lr&) = delete;
  Tvo_arcmap_areaclip_lr& operator=(const Tvo_arcmap_areaclip_lr&) = delete;

  Tvo_arcgis_ptr_layer* get_layer() const;
  const std::string& get_file_name() const;
  void set_file_name(const std::string& value);
  bool is_done() const;
  void set_done(bool value);
  // The names the layer's fields got in its shapefile (filled when it is clipped).
  Tvo_arcgis_field_names& get_field_names();

 private:
  Tvo_arcgis_ptr_layer* layer;
  std::string file_name;
  bool done;
  Tvo_arcgis_field_names field_names;
};

// The run's records, in the order the map's layer enumeration yields them; owns them.
class Tvo_arcmap_areaclip_lrs {
 public:
  Tvo_arcmap_areaclip_lrs();
  virtual ~Tvo_arcmap_areaclip_lrs();
  Tvo_arcmap_areaclip_lrs(const Tvo_arcmap_areaclip_lrs&) = delete;
  Tvo_arcmap_areaclip_lrs& operator=(const Tvo_arcmap_areaclip_lrs&) = delete;

  Tvo_arcmap_areaclip_lr* add();
  int count() const;
  // index in 0 .. count() - 1.
  Tvo_arcmap_areaclip_lr* get(int index) const;
  void clear();

 private:
  std::vector<Tvo_arcmap_areaclip_lr*> items;
};

// The 22 four-letter layer codes; a dataset whose name begins with one goes into a
// subfolder named by the code.
extern const char* const layer_codes[22];

// The files a shapefile is made of, by extension: a name is free only when none exists.
extern const char* const shapefile_parts[5];

// One cut. Lives for one call of execute_cut. A run that fails, or that an exception
// leaves, takes back what it changed (Tvo_arcmap_areaclip_undo) before it returns.
class Tvo_arcmap_areaclip_execute {
 public:
  Tvo_arcmap_areaclip_execute();
  virtual ~Tvo_arcmap_areaclip_execute();
  Tvo_arcmap_areaclip_execute(const Tvo_arcmap_areaclip_execute&) = delete;
  Tvo_arcmap_areaclip_execute& operator=(const Tvo_arcmap_areaclip_execute&) = delete;

  int run(Tvo_arcmap_areaclip_params* run_params);
  int run_stages();

  int collect_layers();
  int prepare();
  int clip_layers();
  int relink_layers();
  int clip_graphics();
  int save_map();

  void assign_file_names();
  std::string code_folder_name(const std::string& name) const;
  bool file_used(const std::string& path) const;
  std::string unique_file_name(const std::string& path);

  // Clips one layer into one shapefile; 0, or 1 when the output cannot be written.
  // field_names, when given, receives the names the layer's fields got in the shapefile.
  int clip_layer(TComInterface<IPolygon> cutter, TComInterface<IFeatureLayer> layer, const std::string& path,
                 Tvo_arcgis_field_names* field_names = nullptr);
  int collect_graphics_layers();
  int delete_outside_graphics();

  void show_progress_text(const std::string& text);
  void show_progress(int done, int total);
  // Creates the folder of a file path with every missing folder above it.
  bool force_folder(const std::string& path);
  // Takes back what the run changed: the open document's layers and graphics, the files
  // and folders it created.
  void roll_back();

  const Tvo_arcmap_areaclip_lrs* get_records() const { return records; }

 private:
  Tvo_arcmap_areaclip_params* params;
  TComInterface<ISpatialReference> spatial_reference;
  Tvo_arcmap_areaclip_lrs* records;
  TComInterface<IPolygon> polygon;
  Tvo_arcgis_ptr_feature_layer* feature_layer;
  Tvo_arcgis_ptr_feature_renderer* renderer;
  Tvo_arcgis_ptr_layers* graphics_layers;
  std::unordered_set<std::string>* used_files;
  Tvo_arcmap_areaclip_undo* undo;
  // The progress receiver found behind the owner last asked for (progress is shown after
  // every feature).
  TObject* progress_owner = nullptr;
  Tvo_arcmap_areaclip_progress* progress = nullptr;
  Tvo_arcmap_areaclip_progress* progress_target();
};

// The run entry: builds a run object, runs it, destroys it. 0 on success, 1 on failure;
// no exception leaves it.
int execute_cut(Tvo_arcmap_areaclip_params* params);

// The dimension asked of an intersection with a geometry of this type: points 1, lines 2,
// polygons 4; -1 for types that are not cut.
esriGeometryDimension intersection_dimension(esriGeometryType type);
// Percentage of done in total, 0 when total is not positive (64-bit arithmetic).
int progress_percent(int done, int total);
// Lower case of ANSI text by the rules of the process code page.
std::string ansi_lower_case(const std::string& text);
// A dataset name made safe as a file name: trimmed of blanks and control characters, with
// path separators and characters invalid in file names replaced by "_".
std::string safe_dataset_name(const std::string& name);

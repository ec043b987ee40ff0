// What a cut changed, kept so that a run that fails or is cancelled can be taken back: the
// layers it re-pointed get their data, display field and renderer fields back, the graphics
// containers it deleted from get back the elements they held, in their order, and the files
// and folders it created are removed. Nothing that was there before the run is removed: a
// file is only noted as the run's when it did not exist before, a folder only when the run
// made it, and a folder is removed only once it is empty again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_atl.h"

class Tvo_arcmap_areaclip_undo {
 public:
  Tvo_arcmap_areaclip_undo();
  virtual ~Tvo_arcmap_areaclip_undo();
  Tvo_arcmap_areaclip_undo(const Tvo_arcmap_areaclip_undo&) = delete;
  Tvo_arcmap_areaclip_undo& operator=(const Tvo_arcmap_areaclip_undo&) = delete;

  // The run made this folder.
  void folder_created(const std::string& path);
  // The run is about to write these files: those that do not exist yet become the run's.
  void files_to_create(const std::vector<std::string>& paths);
  // The layer is about to be re-pointed: its feature class, display field and the fields
  // its renderer reads are kept. Only the first call for a layer counts.
  void layer_changing(TComInterface<IFeatureLayer> layer);
  // Elements are about to be deleted from the container: the elements it holds are kept.
  void graphics_changing(TComInterface<IGraphicsContainer> container);

  // Takes everything back, the newest change first. Never throws; what cannot be taken
  // back is left as it is.
  void undo();
  // Forgets everything (the run succeeded: its changes stay).
  void clear();

 private:
  struct Layer_state;
  struct Graphics_state;

  std::vector<std::string> folders;
  std::vector<std::string> files;
  std::vector<std::unique_ptr<Layer_state>> layers;
  std::vector<std::unique_ptr<Graphics_state>> graphics;
};

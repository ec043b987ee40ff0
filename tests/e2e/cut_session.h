// A cut run in process, as the cut dialog starts it: a map document opened in the stand-in
// application, one feature of one of its layers as the cutting polygon, a result folder,
// and a receiver that records the run's progress.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <toolkit/tobject.h>
#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_exec.h"

namespace cut_session {

// Records every progress text (Windows-1251) and percentage the run reports.
class ProgressRecorder : public TObject, public Tvo_arcmap_areaclip_progress {
 public:
  void set_progress_text(const std::string& text) override { texts.push_back(text); }
  void set_progress_position(int percent) override { positions.push_back(percent); }
  std::vector<std::string> texts;
  std::vector<int> positions;
};

// A document open in a new stand-in application.
struct OpenDocument {
  win32::ComPtr<IApplication> app;
  win32::ComPtr<IMxDocument> document;
  win32::ComPtr<IMap> focus_map;
};

// Opens document in a new application whose templates live in templates_folder; a document
// that does not open fails the test and leaves document and focus_map empty.
OpenDocument open(const std::filesystem::path& document, const std::filesystem::path& templates_folder);

// Feature oid of the map's layer named layer_name (UTF-8, group contents included); a layer
// or feature that is not there fails the test and gives null.
win32::ComPtr<IFeature> feature_of(IMap* map, const std::string& layer_name, LONG oid);

// Fills a parameter set as the dialog's Apply does (owner, application, document, cutting
// feature, folder and folder\cross.mxd) and runs execute_cut; its code.
int run_cut(IApplication* app, IMxDocument* document, IFeature* cutter, const std::filesystem::path& folder,
            TObject* owner);

}  // namespace cut_session

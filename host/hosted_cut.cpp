// The cut as the host runs it: open the document, show the cut dialog and answer it as a
// user would, print every message box and the run's progress, and report.
#include "hosted_cut.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <objbase.h>
#include <windows.h>
#include <gis/application.h>
#include <gis/core.h>
#include <gis/document.h>
#include <win32/text.h>

#include "commands.h"
#include "cut_summary.h"
#include "extension.h"

namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

// Ctrl-C and SIGTERM cancel the cut: the GIS fails its next call, the run ends through its
// ordinary failure path and takes back what it did. A second signal ends the program at
// once (the handler is reset when it runs).
volatile sig_atomic_t g_cancel_signal = 0;

void on_cancel_signal(int signal_number) {
  g_cancel_signal = signal_number;
  gis::RequestCancel();
}

// The folders made for the result folder, removed again (when empty) unless the cut keeps
// them: a failed or cancelled cut leaves nothing behind, whichever way it returns.
class MadeFolders {
 public:
  explicit MadeFolders(const fs::path& folder) {
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && !fs::exists(fs::symlink_status(p, ec)); p = p.parent_path()) {
      made_.push_back(p);
      if (p == p.parent_path()) break;
    }
  }
  ~MadeFolders() {
    if (kept_) return;
    std::error_code ec;
    for (const fs::path& p : made_)
      if (!fs::is_directory(p, ec) || !fs::is_empty(p, ec) || !fs::remove(p, ec)) break;
  }
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  // The cut succeeded: its folders stay.
  void keep() { kept_ = true; }

 private:
  std::vector<fs::path> made_;  // the deepest first
  bool kept_ = false;
};

std::string name_of(ILayer* layer) {
  Bstr name;
  layer->get_Name(name.put());
  return name.utf8();
}

// The map's layers as the run walks them, groups opened.
std::vector<ComPtr<ILayer>> layers_of(IMap* map) {
  std::vector<ComPtr<ILayer>> out;
  ComPtr<IEnumLayer> layers;
  if (map) map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK && layer) out.push_back(std::move(layer));
  return out;
}

// Where each layer of the map takes its data ("" for none), in the run's order.
std::vector<std::string> sources_of(IMap* map) {
  std::vector<std::string> out;
  for (const auto& layer : layers_of(map)) {
    gis::LayerSource source;
    out.push_back(gis::GetLayerSource(layer.get(), &source) ? source.path : std::string());
  }
  return out;
}

// A feature layer whose source cannot be opened has nothing to cut: the run leaves it
// naming its source. Says so for each such layer before the run.
std::vector<host::LayerNotCut> layers_not_cut(IMap* map) {
  std::vector<host::LayerNotCut> out;
  for (const auto& layer : layers_of(map)) {
    gis::LayerSource source;
    if (gis::LayerType(layer.get()) != "feature" || !gis::GetLayerSource(layer.get(), &source) ||
        source.open_error.empty())
      continue;
    out.push_back({name_of(layer.get()), source.open_error});
    std::fprintf(stderr, "areaclip: layer \"%s\" is not cut: %s\n", out.back().name.c_str(), source.open_error.c_str());
  }
  return out;
}

// True when path lies inside folder, compared by whole path components.
bool inside(const fs::path& folder, const fs::path& path) {
  auto f = folder.begin(), p = path.begin();
  for (; f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // the empty last component of a folder ending in "/"
    if (p == path.end() || *f != *p) return false;
  }
  return p != path.end();
}

// The layers of the saved result whose data the run wrote: re-pointed at a file inside the
// result folder (sources_before: the layers' sources before the run, in the same order).
std::vector<host::CutLayer> result_layers(const fs::path& folder, const fs::path& document,
                                          const std::vector<std::string>& sources_before, std::string* error) {
  std::vector<host::CutLayer> out;
  ComPtr<IMxDocument> saved = gis::LoadDocument(document.string(), error);
  if (!saved) return out;
  ComPtr<IMap> map;
  saved->get_FocusMap(map.put());
  const std::vector<ComPtr<ILayer>> layers = layers_of(map.get());
  for (size_t i = 0; i < layers.size(); ++i) {
    ILayer* layer = layers[i].get();
    gis::LayerSource source;
    if (!gis::GetLayerSource(layer, &source) || source.path.empty()) continue;
    const fs::path path = fs::path(source.path).lexically_normal();
    if (!inside(folder, path) || (i < sources_before.size() && sources_before[i] == source.path)) continue;
    ComPtr<IFeatureLayer> feature_layer = ComPtr<ILayer>(layers[i]).as<IFeatureLayer>();
    ComPtr<IFeatureClass> feature_class;
    if (feature_layer) feature_layer->get_FeatureClass(feature_class.put());
    if (!feature_class) continue;
    LONG count = 0;
    feature_class->FeatureCount(nullptr, &count);
    out.push_back({path.lexically_relative(folder).string(), name_of(layer), static_cast<long>(count), {}});
  }
  return out;
}

// The name and the feature count of each feature layer of the map whose data can be read,
// in the run's order: the run reads every feature of a layer it cuts.
std::vector<std::pair<std::string, long>> features_to_read(IMap* map) {
  std::vector<std::pair<std::string, long>> out;
  ComPtr<IEnumLayer> layers;
  if (map) map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK && layer) {
    ComPtr<IFeatureLayer> feature_layer = ComPtr<ILayer>(layer).as<IFeatureLayer>();
    ComPtr<IFeatureClass> feature_class;
    LONG count = 0;
    if (feature_layer && SUCCEEDED(feature_layer->get_FeatureClass(feature_class.put())) && feature_class &&
        SUCCEEDED(feature_class->FeatureCount(nullptr, &count))) {
      Bstr name;
      layer->get_Name(name.put());
      out.emplace_back(name.utf8(), static_cast<long>(count));
    }
  }
  return out;
}

// Each result layer's features read: the layers of the result are those of the map, in the
// same order, so each takes the count of the next layer of its name.
void add_features_read(const std::vector<std::pair<std::string, long>>& before, std::vector<host::CutLayer>* layers) {
  size_t next = 0;
  for (host::CutLayer& l : *layers)
    for (size_t k = next; k < before.size(); ++k)
      if (before[k].first == l.name) {
        l.features_read = before[k].second;
        next = k + 1;
        break;
      }
}

// Says why the cut ends (standard error, and the summary); the exit code.
int fail(host::CutSummary* summary, int code, const std::string& message) {
  std::fprintf(stderr, "areaclip: %s\n", message.c_str());
  summary->failure.push_back(message);
  return code;
}

}  // namespace

namespace host {

const char* signal_name(int signal_number) { return signal_number == SIGTERM ? "SIGTERM" : "SIGINT"; }

CancelSignals::CancelSignals() {
  struct sigaction action = {};
  action.sa_handler = on_cancel_signal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

CancelSignals::~CancelSignals() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

int CancelSignals::received() { return g_cancel_signal; }

namespace {

// The cut behind run_cut; its exit code, with the summary filled on the way.
int cut(const CutRequest& request, CutSummary* summary) {
  // From the start: a large document takes a while to open, and a signal then must not end
  // the program between a folder made and its removal.
  CancelSignals cancel_signals;
  std::string error;
  if (!gis::LoadDocument(request.document, &error)) return fail(summary, kCutBadInput, error);
  fs::path folder = fs::absolute(request.folder).lexically_normal();
  std::string folder_text = folder.string();
  while (folder_text.size() > 1 && folder_text.back() == '/') folder_text.pop_back();
  folder = folder_text;
  summary->folder = folder_text;
  std::string folder_ansi = win32::utf8_to_ansi(folder_text);
  if (win32::ansi_to_utf8(folder_ansi) != folder_text)
    return fail(summary, kCutBadInput,
                "the folder name " + folder_text + " has characters the ANSI code page (" +
                    std::to_string(GetACP()) + ") cannot hold");

  ComPtr<IApplication> app = gis::CreateApplication();
  Bstr path = Bstr::from_utf8(fs::absolute(request.document).string());
  if (FAILED(app->OpenDocument(path.get()))) return fail(summary, kCutBadInput, "cannot open " + request.document);
  ComPtr<IDocument> document;
  app->get_Document(document.put());
  ComPtr<IMxDocument> mx = document.as<IMxDocument>();
  ComPtr<IMap> map;
  if (mx) mx->get_FocusMap(map.put());
  if (!map) return fail(summary, kCutBadInput, request.document + " has no map");

  if (request.prepare && !request.prepare(map.get(), &error)) return fail(summary, kCutBadInput, error);
  summary->not_cut = layers_not_cut(map.get());
  const std::vector<std::string> sources_before = sources_of(map.get());
  const std::vector<std::pair<std::string, long>> read_before = features_to_read(map.get());
  const fs::path result_document = folder / "cross.mxd";
  const std::string result_project = gis::ProjectSavedWith(app.get(), result_document.string());
  if (const int signal_number = CancelSignals::received())
    return fail(summary, 128 + signal_number,
                std::string("cancelled (") + signal_name(signal_number) + ") before the cut began");

  // The folder dialog shows existing folders only; the run would create the folder anyway.
  MadeFolders made_folders(folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::error_code status;  // a name the system refuses (too long, say) is no folder either
  if (!fs::is_directory(folder, status)) {
    if (!ec) ec = status;
    const int code = fail(summary, kCutFailed,
                          "cannot make the result folder " + folder_text + (ec ? ": " + ec.message() : ""));
    std::fprintf(stderr, "Ошибка при выполнении.\n");
    return code;
  }

  // The command as the host finds it: toolbar by ProgID, its item, the command, its hook.
  host::HostedCommand command;
  if (!host::load_toolbar_command(host::kToolbarProgId, 0, host::default_module_path(), &command, &error))
    return fail(summary, kCutBadInput, error);
  if (!command.enabled)
    return fail(summary, kCutBadInput,
                "the command " + command.caption + " (" + command.prog_id + ") is not enabled");
  ComPtr<IDispatch> hook = app.as<IDispatch>();
  HRESULT hr = command.command->OnCreate(hook.get());
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return fail(summary, kCutBadInput, "the command " + command.prog_id + " refused the application: " + code);
  }

  gis::TakeDataChanges();  // what reading the document changed is not the cut's
  CutDialogUser user(request.choice, folder_ansi, map.get());
  hr = user.click(command.command.get());
  command.command->OnCreate(nullptr);
  command.command.reset();
  CoFreeUnusedLibraries();
  ComPtr<IDocument> result;
  app->get_Document(result.put());
  const bool succeeded = SUCCEEDED(hr) && user.error().empty() && !user.folder_failed() && user.applied() &&
                         gis::DocumentPath(result.get()) == result_document.string();
  // What the dialog said and why, for the summary (it printed them already).
  if (!succeeded) summary->failure = user.messages();
  if (!succeeded && CancelSignals::received()) {
    const int signal_number = CancelSignals::received();
    return fail(summary, 128 + signal_number,
                std::string("cancelled (") + signal_name(signal_number) +
                    "): the files and folders of this cut were removed");
  }
  if (FAILED(hr)) {
    std::string description = host::take_error_description();
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return fail(summary, kCutFailed,
                "the command " + command.prog_id + " failed: " + code + (description.empty() ? "" : ": " + description));
  }
  if (!user.error().empty()) return fail(summary, kCutBadInput, user.error());
  if (user.folder_failed()) return fail(summary, kCutFailed, "the folder dialog could not open " + folder_text);
  if (!succeeded) return kCutFailed;
  made_folders.keep();

  std::string unreadable;  // the saved result read back
  summary->layers = result_layers(folder, result_document, sources_before, &unreadable);
  add_features_read(read_before, &summary->layers);
  if (!unreadable.empty()) std::fprintf(stderr, "areaclip: %s\n", unreadable.c_str());
  // Every change the GIS made to a layer's data on the way, under its layer.
  for (const gis::DataChange& c : gis::TakeDataChanges())
    for (CutLayer& l : summary->layers)
      if (c.file == (folder / l.file).lexically_normal().string()) l.warnings.push_back({c.message, c.count});
  summary->documents.push_back(result_document.string());
  if (!result_project.empty()) summary->documents.push_back(result_project);
  return summary->not_cut.empty() ? kCutDone : kCutPartial;
}

}  // namespace

int run_cut(const CutRequest& request, CutSummary* out) {
  CutSummary own;
  CutSummary& summary = out ? *out : own;
  summary = CutSummary{};
  summary.status = cut(request, &summary);
  if (request.print_summary && summary.written()) print_summary(summary, stdout);
  if (summary.status == kCutPartial)
    std::fprintf(stderr, "areaclip: %zu layer%s not cut (exit %d)\n", summary.not_cut.size(),
                 summary.not_cut.size() == 1 ? " was" : "s were", kCutPartial);
  return summary.status;
}

}  // namespace host

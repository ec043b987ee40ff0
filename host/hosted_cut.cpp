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

// The folders made for the result folder, removed again (when empty) if the cut does not
// succeed: a failed or cancelled cut leaves nothing behind.
class MadeFolders {
 public:
  explicit MadeFolders(const fs::path& folder) {
    std::error_code ec;
    for (fs::path p = folder; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
      made_.push_back(p);
      if (p == p.parent_path()) break;
    }
  }
  void remove_empty() const {
    std::error_code ec;
    for (const fs::path& p : made_)
      if (!fs::is_directory(p, ec) || !fs::is_empty(p, ec) || !fs::remove(p, ec)) break;
  }

 private:
  std::vector<fs::path> made_;  // the deepest first
};

std::string name_of(ILayer* layer) {
  Bstr name;
  layer->get_Name(name.put());
  return name.utf8();
}

// A feature layer whose source cannot be opened has nothing to cut: the run leaves it
// naming its source. Says so for each such layer before the run.
void warn_layers_not_cut(IMap* map) {
  ComPtr<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK && layer) {
    gis::LayerSource source;
    if (gis::LayerType(layer.get()) != "feature" || !gis::GetLayerSource(layer.get(), &source) ||
        source.open_error.empty())
      continue;
    std::fprintf(stderr, "areaclip: layer \"%s\" is not cut: %s\n", name_of(layer.get()).c_str(),
                 source.open_error.c_str());
  }
}

// The layers of the saved result whose data lies in the result folder, with their counts.
std::vector<host::ResultLayer> result_layers(const fs::path& folder, const fs::path& document) {
  std::vector<host::ResultLayer> out;
  std::string error;
  ComPtr<IMxDocument> saved = gis::LoadDocument(document.string(), &error);
  if (!saved) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return out;
  }
  ComPtr<IMap> map;
  saved->get_FocusMap(map.put());
  ComPtr<IEnumLayer> layers;
  if (map) map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  ComPtr<ILayer> layer;
  while (layers && layers->Next(layer.put()) == S_OK) {
    gis::LayerSource source;
    if (!gis::GetLayerSource(layer.get(), &source) || source.path.empty()) continue;
    fs::path path(source.path);
    if (path.string().rfind(folder.string(), 0) != 0) continue;
    ComPtr<IFeatureLayer> feature_layer = layer.as<IFeatureLayer>();
    ComPtr<IFeatureClass> feature_class;
    if (feature_layer) feature_layer->get_FeatureClass(feature_class.put());
    LONG count = 0;
    if (feature_class) feature_class->FeatureCount(nullptr, &count);
    out.push_back({fs::relative(path, folder).string(), name_of(layer.get()), static_cast<long>(count)});
  }
  return out;
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

int run_cut(const CutRequest& request, std::vector<ResultLayer>* layers) {
  // From the start: a large document takes a while to open, and a signal then must not end
  // the program between a folder made and its removal.
  CancelSignals cancel_signals;
  std::string error;
  if (!gis::LoadDocument(request.document, &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  fs::path folder = fs::absolute(request.folder).lexically_normal();
  std::string folder_text = folder.string();
  while (folder_text.size() > 1 && folder_text.back() == '/') folder_text.pop_back();
  std::string folder_ansi = win32::utf8_to_ansi(folder_text);
  if (win32::ansi_to_utf8(folder_ansi) != folder_text) {
    std::fprintf(stderr, "areaclip: the folder name %s has characters the ANSI code page (%u) cannot hold\n",
                 folder_text.c_str(), GetACP());
    return 2;
  }

  ComPtr<IApplication> app = gis::CreateApplication();
  Bstr path = Bstr::from_utf8(fs::absolute(request.document).string());
  if (FAILED(app->OpenDocument(path.get()))) {
    std::fprintf(stderr, "areaclip: cannot open %s\n", request.document.c_str());
    return 2;
  }
  ComPtr<IDocument> document;
  app->get_Document(document.put());
  ComPtr<IMxDocument> mx = document.as<IMxDocument>();
  ComPtr<IMap> map;
  if (mx) mx->get_FocusMap(map.put());
  if (!map) {
    std::fprintf(stderr, "areaclip: %s has no map\n", request.document.c_str());
    return 2;
  }

  if (request.prepare && !request.prepare(map.get(), &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  warn_layers_not_cut(map.get());
  if (const int signal_number = CancelSignals::received()) {
    std::fprintf(stderr, "areaclip: cancelled (%s) before the cut began\n", signal_name(signal_number));
    return 128 + signal_number;
  }

  // The folder dialog shows existing folders only; the run would create the folder anyway.
  MadeFolders made_folders(folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  std::error_code status;  // a name the system refuses (too long, say) is no folder either
  if (!fs::is_directory(folder, status)) {
    made_folders.remove_empty();
    if (!ec) ec = status;
    std::fprintf(stderr, "areaclip: cannot make the result folder %s%s%s\n", folder_text.c_str(), ec ? ": " : "",
                 ec ? ec.message().c_str() : "");
    std::fprintf(stderr, "Ошибка при выполнении.\n");
    return 1;
  }

  // The command as the host finds it: toolbar by ProgID, its item, the command, its hook.
  host::HostedCommand command;
  if (!host::load_toolbar_command(host::kToolbarProgId, 0, host::default_module_path(), &command, &error)) {
    made_folders.remove_empty();
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  if (!command.enabled) {
    made_folders.remove_empty();
    std::fprintf(stderr, "areaclip: the command %s (%s) is not enabled\n", command.caption.c_str(),
                 command.prog_id.c_str());
    return 2;
  }
  ComPtr<IDispatch> hook = app.as<IDispatch>();
  HRESULT hr = command.command->OnCreate(hook.get());
  if (FAILED(hr)) {
    made_folders.remove_empty();
    std::fprintf(stderr, "areaclip: the command %s refused the application: 0x%08X\n", command.prog_id.c_str(),
                 static_cast<unsigned>(hr));
    return 2;
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
                         gis::DocumentPath(result.get()) == (folder / "cross.mxd").string();
  if (!succeeded) made_folders.remove_empty();
  if (!succeeded && CancelSignals::received()) {
    const int signal_number = CancelSignals::received();
    std::fprintf(stderr, "areaclip: cancelled (%s): the files and folders of this cut were removed\n",
                 signal_name(signal_number));
    return 128 + signal_number;
  }
  if (FAILED(hr)) {
    std::string description = host::take_error_description();
    std::fprintf(stderr, "areaclip: the command %s failed: 0x%08X%s%s\n", command.prog_id.c_str(),
                 static_cast<unsigned>(hr), description.empty() ? "" : ": ", description.c_str());
    return 1;
  }
  if (!user.error().empty()) {
    std::fprintf(stderr, "areaclip: %s\n", user.error().c_str());
    return 2;
  }
  if (user.folder_failed()) {
    std::fprintf(stderr, "areaclip: the folder dialog could not open %s\n", folder_text.c_str());
    return 1;
  }
  if (!succeeded) return 1;
  const fs::path result_document = folder / "cross.mxd";
  // A QGIS project also gets its result as a project: the document as the run left it,
  // written back into the project it was read from.
  const fs::path result_project = folder / "cross.qgs";
  const bool qgis = gis::ReadFromQgisProject(mx.get());
  if (qgis && !gis::SaveDocument(mx.get(), result_project.string(), &error)) {
    std::fprintf(stderr, "areaclip: the result project cannot be written: %s\n", error.c_str());
    return 1;
  }
  std::vector<ResultLayer> written = result_layers(folder, result_document);
  const std::vector<gis::DataChange> changes = gis::TakeDataChanges();
  if (request.print_summary) {
    for (const ResultLayer& l : written) {
      std::printf("  %-40s %8ld features  (%s)\n", l.file.c_str(), l.features, l.name.c_str());
      // Every change the GIS made to this layer's data on the way.
      for (const gis::DataChange& c : changes)
        if (c.file == (folder / l.file).lexically_normal().string())
          std::printf("      warning: %s (%ld)\n", c.message.c_str(), c.count);
    }
    std::printf("result document: %s\n", result_document.string().c_str());
    if (qgis) std::printf("result project: %s\n", result_project.string().c_str());
  }
  if (layers) *layers = std::move(written);
  return 0;
}

}  // namespace host

// The cut as the host runs it: open the document, show the cut dialog and answer it as a
// user would (the layer and feature in the pickers, the folder through the folder dialog,
// then "Применить"), print every message box and the run's progress, and report.
#include "commands.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include <objbase.h>
#include <windows.h>
#include <gis/application.h>
#include <gis/core.h>
#include <gis/document.h>
#include <toolkit/vcl.h>
#include <toolkit/snapshot.h>
#include <toolkit/user_agent.h>
#include <win32/paths.h>
#include <win32/text.h>

#include "extension.h"

namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

// A folder path without its trailing separators, for comparing.
std::string trimmed(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

// Ctrl-C and SIGTERM cancel the cut: the GIS fails its next call, the run ends through its
// ordinary failure path and takes back what it did. A second signal ends the program at
// once (the handler is reset when it runs).
volatile sig_atomic_t g_cancel_signal = 0;

void on_cancel_signal(int signal_number) {
  g_cancel_signal = signal_number;
  gis::RequestCancel();
}

class CancelSignals {
 public:
  CancelSignals() {
    struct sigaction action = {};
    action.sa_handler = on_cancel_signal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~CancelSignals() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }
  CancelSignals(const CancelSignals&) = delete;
  CancelSignals& operator=(const CancelSignals&) = delete;

  static int received() { return g_cancel_signal; }

 private:
  struct sigaction old_int_ = {}, old_term_ = {};
};

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

const char kCutUsage[] = "usage: areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n";

// Prints the run's progress on one updating terminal line, a few times a second at most.
class TerminalProgress {
 public:
  TerminalProgress() : interactive_(isatty(STDOUT_FILENO)) {}
  ~TerminalProgress() { finish(); }

  void set_progress_text(const std::string& text) {
    finish();
    text_ = win32::ansi_to_utf8(text);
    percent_ = -1;
    draw(true);
  }
  void set_progress_position(int percent) {
    if (percent == percent_) return;
    percent_ = percent;
    draw(percent >= 100);
  }
  void finish() {
    if (!text_.empty()) {
      draw(true, true);
      text_.clear();
    }
  }

 private:
  void draw(bool force, bool last = false) {
    auto now = std::chrono::steady_clock::now();
    if (!force && now - drawn_ < std::chrono::milliseconds(200)) return;
    drawn_ = now;
    std::string percent = percent_ >= 0 ? " " + std::to_string(percent_) + "%" : "";
    if (interactive_) {
      std::printf("\r\x1b[2K%s%s", text_.c_str(), percent.c_str());
      if (last) std::printf("\n");
    } else if (last) {
      std::printf("%s%s\n", text_.c_str(), percent.c_str());
    }
    std::fflush(stdout);
  }

  bool interactive_;
  std::string text_;
  int percent_ = -1;
  std::chrono::steady_clock::time_point drawn_{};
};

struct Arguments {
  std::string document, layer, feature, folder;
  long feature_id = -1;
  bool by_id = false;
};

bool parse(int argc, char** argv, Arguments* a, std::string* error) {
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string id;
    if (arg == "--layer") {
      if (!value(&a->layer)) return false;
    } else if (arg == "--feature") {
      if (!value(&a->feature)) return false;
    } else if (arg == "--feature-id") {
      if (!value(&id)) return false;
      char* end = nullptr;
      a->feature_id = std::strtol(id.c_str(), &end, 10);
      if (id.empty() || *end || a->feature_id < 0) {
        *error = "--feature-id takes a non-negative object id, not '" + id + "'";
        return false;
      }
      a->by_id = true;
    } else if (arg == "--folder") {
      if (!value(&a->folder)) return false;
    } else if (a->document.empty() && !arg.empty() && arg[0] != '-') {
      a->document = arg;
    } else {
      *error = "unexpected argument '" + arg + "'";
      return false;
    }
  }
  if (a->document.empty()) *error = "the map document is missing";
  else if (a->layer.empty()) *error = "--layer is missing";
  else if (a->feature.empty() == !a->by_id) *error = "give one of --feature and --feature-id";
  else if (a->folder.empty()) *error = "--folder is missing";
  return error->empty();
}

std::string name_of(ILayer* layer) {
  Bstr name;
  layer->get_Name(name.put());
  return name.utf8();
}

std::string list(const std::vector<std::string>& entries) {
  std::string out;
  size_t shown = 0;
  for (const std::string& e : entries) {
    if (shown == 20) {
      out += "\n  … and " + std::to_string(entries.size() - shown) + " more";
      break;
    }
    out += "\n  " + e;
    ++shown;
  }
  return entries.empty() ? "\n  (none)" : out;
}

// The toolkit asks its clock for the time each time it processes messages (to find due
// timers), which the run's progress calls do after every change of the dialog's progress
// label and bar: the host reads them there. Time itself is the steady clock's.
// The cut dialog's form name, and its controls by name.
const char kDialogName[] = "vo_arcmap_areaclip_form";

template <class T>
T* control(TControl* root, const char* name) {
  return dynamic_cast<T*>(toolkit::FindControl(root, name));
}

class WatchingClock : public TClock {
 public:
  explicit WatchingClock(std::function<void()> watch) : watch_(std::move(watch)) {}
  int64_t NowMs() override {
    if (watch_ && !watching_) {
      watching_ = true;
      watch_();
      watching_ = false;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void WaitMs(int64_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

 private:
  std::function<void()> watch_;
  bool watching_ = false;
};

// The user of the cut dialog, built from the command line: picks the layer and the feature
// in the pickers, chooses the folder through "..." and the folder dialog, presses
// "Применить". Every message box is printed (UTF-8) and answered with its default button;
// after a refusal or a failure it presses "Закрыть". A layer or feature the pickers do not
// list is an error naming the entries they do list.
class DialogUser : public TUserAgent {
 public:
  DialogUser(const Arguments& args, const std::string& folder_ansi, IMap* map)
      : args_(args), folder_(folder_ansi), map_(map) {}

  const std::string& error() const { return error_; }
  bool folder_failed() const { return folder_failed_; }
  bool applied() const { return applied_; }

  int AnswerMessageBox(const TMessageBoxInfo& box) override {
    end_progress();
    std::fprintf(stderr, "[%s] %s\n", box.CaptionUtf8().c_str(), box.TextUtf8().c_str());
    // A box after "Применить" may follow a failed call of the run: the GIS's own words for
    // it say what the box cannot.
    if (applied_) {
      const std::string reason = host::take_error_description();
      if (!reason.empty()) std::fprintf(stderr, "areaclip: %s\n", reason.c_str());
    }
    return box.default_button;
  }

  TUserAction NextAction(TForm& form) override {
    TUserAction action;
    if (form.Name != kDialogName) {
      // The folder dialog: open the folder, then confirm.
      auto* list = control<TDirectoryListBox>(&form, "f_directory_list");
      if (gis::CancelRequested()) {
        folder_failed_ = true;
        action.target = "f_cancel_button";
      } else if (!folder_opened_) {
        folder_opened_ = true;
        action.kind = TUserAction::OpenFolder;
        action.target = "f_directory_list";
        action.value = folder_;
      } else if (!list || trimmed(list->Directory) != trimmed(folder_)) {
        // The list is not at the folder asked for: never apply some other folder.
        folder_failed_ = true;
        action.target = "f_cancel_button";
      } else {
        action.target = "f_ok_button";
      }
      return action;
    }
    if (closing_ || !error_.empty() || folder_failed_ || gis::CancelRequested()) {
      action.target = "f_close_button";
      return action;
    }
    switch (step_++) {
      case 0: {
        auto* layers = control<TComboBox>(&form, "f_layers_combo");
        layer_index_ = layers ? listed(layers, win32::utf8_to_ansi(args_.layer)) : -1;
        if (layer_index_ < 1)
          return refuse("no polygon layer '" + args_.layer + "'; the layer picker lists:" + entries(layers));
        action.kind = TUserAction::Choose;
        action.target = "f_layers_combo";
        action.index = layer_index_;
        return action;
      }
      case 1: {
        auto* features = control<TComboBox>(&form, "f_objects_combo");
        int index = args_.by_id ? feature_entry(layer_index_, args_.feature_id)
                                : (features ? listed(features, win32::utf8_to_ansi(args_.feature)) : -1);
        if (index < 1 || !features || index >= features->Items->Count()) {
          if (args_.by_id)
            return refuse("layer '" + args_.layer + "' has no feature " + std::to_string(args_.feature_id) +
                          " that the feature picker lists");
          return refuse("layer '" + args_.layer + "' has no feature '" + args_.feature +
                        "'; the feature picker lists:" + entries(features));
        }
        action.kind = TUserAction::Choose;
        action.target = "f_objects_combo";
        action.index = index;
        return action;
      }
      case 2:
        action.target = "f_choose_button";
        return action;
      case 3:
        applied_ = true;
        SetErrorInfo(0, nullptr);  // what the pickers left is not the run's
        action.target = "f_apply_button";
        return action;
      default:
        // Apply was refused or the run failed: the dialog is still open.
        applied_ = false;
        action.target = "f_close_button";
        return action;
    }
  }

  void Refused(const TUserAction& action, const Exception& e) override {
    if (error_.empty()) error_ = "cannot " + action.Describe() + ": " + win32::ansi_to_utf8(e.Message);
    closing_ = true;
  }

  // Called whenever messages are processed (also inside the run's progress calls).
  void watch_progress() {
    TForm* dialog = Application->ModalForm();
    if (!dialog || dialog->Name != kDialogName) return;
    if (dialog != watched_) {
      // Looked up once per dialog: this runs after every feature.
      watched_ = dialog;
      panel_ = control<TPanel>(dialog, "f_progress_panel");
      label_ = control<TLabel>(dialog, "f_progress_label");
      bar_ = control<TProgressBar>(dialog, "f_progress_bar");
    }
    TPanel* panel = panel_;
    TLabel* label = label_;
    TProgressBar* bar = bar_;
    if (!panel || !label || !bar || !panel->Visible) return;
    const std::string text = label->Caption();
    if (text == "Apply!!!") return;  // the dialog's own mark before the run reports
    const int position = bar->Position;
    if (text != text_) {
      // The run announces a layer before its first feature: the bar still shows where the
      // previous layer ended, and keeps that value until the new layer moves it.
      if (progress_) progress_->set_progress_position(position);
      text_ = text;
      stale_position_ = position;
      moved_ = false;
      if (!progress_) progress_ = std::make_unique<TerminalProgress>();
      progress_->set_progress_text(text);
      return;
    }
    if (progress_ && (moved_ || position != stale_position_)) {
      moved_ = true;
      progress_->set_progress_position(position);
      ++layers_moved_;
      picture(*dialog);
    }
  }
  // Called when the dialog is gone, or about to be.
  void end_progress() {
    progress_.reset();
    text_.clear();
    watched_ = nullptr;
  }

 private:
  // With AREACLIP_DIALOG_PICTURE set, one picture of the dialog (PNG, or SVG by extension)
  // is written there during the run, once a few features have been reported.
  void picture(const TForm& dialog) {
    const char* path = std::getenv("AREACLIP_DIALOG_PICTURE");
    if (pictured_ || !path || !*path || layers_moved_ < 3) return;
    pictured_ = true;
    try {
      std::string p = path;
      if (p.size() > 4 && p.substr(p.size() - 4) == ".svg")
        toolkit::SaveSvg(dialog, p);
      else
        toolkit::SavePng(dialog, p);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "areaclip: no picture of the dialog: %s\n", e.what());
    }
  }
  static int listed(TComboBox* combo, const std::string& entry) {
    for (int i = 1; i < combo->Items->Count(); ++i)
      if (combo->Items->Strings(i) == entry) return i;
    return -1;
  }
  static std::string entries(TComboBox* combo) {
    std::vector<std::string> names;
    if (combo)
      for (int i = 1; i < combo->Items->Count(); ++i) names.push_back(win32::ansi_to_utf8(combo->Items->Strings(i)));
    return list(names);
  }
  TUserAction refuse(const std::string& message) {
    error_ = message;
    TUserAction action;
    action.target = "f_close_button";
    return action;
  }

  // The entry of the feature picker that shows feature `id` of the layer at entry
  // `layer_entry` of the layer picker: the pickers list the map's feature layers of polygons
  // and lines, and their features of those shapes, in the order the map and the feature
  // class give them.
  int feature_entry(int layer_entry, long id) const {
    const auto drawn = [](esriGeometryType type) { return type == esriGeometryPolygon || type == esriGeometryLine; };
    ComPtr<IEnumLayer> layers;
    map_->get_Layers(nullptr, VARIANT_TRUE, layers.put());
    ComPtr<ILayer> layer;
    int entry = 0;
    while (layers && layers->Next(layer.put()) == S_OK && layer) {
      ComPtr<IFeatureLayer> feature_layer = layer.as<IFeatureLayer>();
      ComPtr<IFeatureClass> feature_class;
      if (feature_layer) feature_layer->get_FeatureClass(feature_class.put());
      esriGeometryType type = esriGeometryNull;
      if (!feature_class || FAILED(feature_class->get_ShapeType(&type)) || !drawn(type)) continue;
      if (++entry < layer_entry) continue;
      ComPtr<IFeatureCursor> cursor;
      feature_class->Search(nullptr, VARIANT_FALSE, cursor.put());
      ComPtr<IFeature> feature;
      int index = 0;
      while (cursor && cursor->NextFeature(feature.put()) == S_OK && feature) {
        ComPtr<IGeometry> shape;
        feature->get_Shape(shape.put());
        if (!shape || FAILED(shape->get_GeometryType(&type)) || !drawn(type)) continue;
        ++index;
        LONG oid = -1;
        if (SUCCEEDED(feature->get_OID(&oid)) && oid == id) return index;
      }
      return -1;
    }
    return -1;
  }

  const Arguments& args_;
  std::string folder_;
  IMap* map_;
  int layer_index_ = -1;
  int step_ = 0;
  bool folder_opened_ = false;
  bool closing_ = false;
  bool folder_failed_ = false;
  bool applied_ = false;
  std::string error_;
  std::string text_;
  int stale_position_ = 0;
  bool moved_ = false;
  int layers_moved_ = 0;
  bool pictured_ = false;
  std::unique_ptr<TerminalProgress> progress_;
  TForm* watched_ = nullptr;
  TPanel* panel_ = nullptr;
  TLabel* label_ = nullptr;
  TProgressBar* bar_ = nullptr;
};

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

void print_summary(const fs::path& folder, const fs::path& document) {
  std::string error;
  ComPtr<IMxDocument> saved = gis::LoadDocument(document.string(), &error);
  if (!saved) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return;
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
    std::printf("  %-40s %8ld features  (%s)\n", fs::relative(path, folder).string().c_str(), static_cast<long>(count),
                name_of(layer.get()).c_str());
  }
  std::printf("result document: %s\n", document.string().c_str());
}

}  // namespace

namespace host {

int cmd_cut(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!parse(argc, argv, &args, &error)) {
    std::fprintf(stderr, "areaclip cut: %s\n%s", error.c_str(), kCutUsage);
    return 2;
  }
  if (!gis::LoadDocument(args.document, &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  fs::path folder = fs::absolute(args.folder).lexically_normal();
  std::string folder_text = folder.string();
  while (folder_text.size() > 1 && folder_text.back() == '/') folder_text.pop_back();
  std::string folder_ansi = win32::utf8_to_ansi(folder_text);
  if (win32::ansi_to_utf8(folder_ansi) != folder_text) {
    std::fprintf(stderr, "areaclip: the folder name %s has characters the ANSI code page (%u) cannot hold\n",
                 folder_text.c_str(), GetACP());
    return 2;
  }

  ComPtr<IApplication> app = gis::CreateApplication();
  Bstr path = Bstr::from_utf8(fs::absolute(args.document).string());
  if (FAILED(app->OpenDocument(path.get()))) {
    std::fprintf(stderr, "areaclip: cannot open %s\n", args.document.c_str());
    return 2;
  }
  ComPtr<IDocument> document;
  app->get_Document(document.put());
  ComPtr<IMxDocument> mx = document.as<IMxDocument>();
  ComPtr<IMap> map;
  if (mx) mx->get_FocusMap(map.put());
  if (!map) {
    std::fprintf(stderr, "areaclip: %s has no map\n", args.document.c_str());
    return 2;
  }

  warn_layers_not_cut(map.get());

  CancelSignals cancel_signals;
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

  DialogUser user(args, folder_ansi, map.get());
  {
    TScopedUserAgent use(&user);
    WatchingClock clock([&user] { user.watch_progress(); });
    TScopedClock use_clock(&clock);
    hr = command.command->OnClick();
    user.watch_progress();
    user.end_progress();
  }
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
                 signal_number == SIGTERM ? "SIGTERM" : "SIGINT");
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
  print_summary(folder, folder / "cross.mxd");
  return 0;
}

}  // namespace host

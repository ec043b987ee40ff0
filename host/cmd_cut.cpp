// The cut as the host runs it: open the document, pick the polygon layer and feature the
// way the dialog's pickers list them, fill the parameter set, run, and report.
#include "commands.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gis/application.h>
#include <gis/document.h>
#include <toolkit/tobject.h>
#include <win32/paths.h>
#include <win32/text.h>

#include "extension/vot_arcmap_areaclip_exec.h"

namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

const char kCutUsage[] = "usage: areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n";

// Prints the run's progress on one updating terminal line, a few times a second at most.
class TerminalProgress : public TObject, public Tvo_arcmap_areaclip_progress {
 public:
  TerminalProgress() : interactive_(isatty(STDOUT_FILENO)) {}
  ~TerminalProgress() override { finish(); }

  void set_progress_text(const std::string& text) override {
    finish();
    text_ = win32::ansi_to_utf8(text);
    percent_ = -1;
    draw(true);
  }
  void set_progress_position(int percent) override {
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

// The polygon layers of the focus map, as the cut dialog's layer picker lists them.
std::vector<ComPtr<IFeatureLayer>> polygon_layers(IMap* map) {
  std::vector<ComPtr<IFeatureLayer>> out;
  ComPtr<IEnumLayer> layers;
  map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
  if (!layers) return out;
  layers->Reset();
  ComPtr<ILayer> layer;
  while (layers->Next(layer.put()) == S_OK) {
    ComPtr<IFeatureLayer> feature_layer = layer.as<IFeatureLayer>();
    if (!feature_layer) continue;
    ComPtr<IFeatureClass> feature_class;
    feature_layer->get_FeatureClass(feature_class.put());
    esriGeometryType type = esriGeometryNull;
    if (feature_class) feature_class->get_ShapeType(&type);
    if (type == esriGeometryPolygon || type == esriGeometryLine) out.push_back(feature_layer);
  }
  return out;
}

// The label of a feature as the feature picker shows it: the display field's value, or the
// object id when the layer has no usable display field.
std::string label_of(IFeature* feature, LONG display_field) {
  LONG oid = -1;
  feature->get_OID(&oid);
  if (display_field < 0) return std::to_string(oid);
  VARIANT value, text;
  VariantInit(&value);
  VariantInit(&text);
  feature->get_Value(display_field, &value);
  std::string label;
  if (value.vt != VT_NULL && value.vt != VT_EMPTY && SUCCEEDED(VariantChangeType(&text, &value, 0, VT_BSTR)))
    label = win32::bstr_to_utf8(text.bstrVal);
  VariantClear(&value);
  VariantClear(&text);
  return label;
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

  std::vector<std::string> names;
  ComPtr<IFeatureLayer> layer;
  for (const auto& candidate : polygon_layers(map.get())) {
    names.push_back(name_of(candidate.get()));
    if (!layer && names.back() == args.layer) layer = candidate;
  }
  if (!layer) {
    std::fprintf(stderr, "areaclip: no polygon layer '%s'; the map lists:%s\n", args.layer.c_str(), list(names).c_str());
    return 2;
  }

  ComPtr<IFeatureClass> feature_class;
  layer->get_FeatureClass(feature_class.put());
  ComPtr<IFeature> feature;
  std::vector<std::string> labels;
  if (args.by_id) {
    feature_class->GetFeature(static_cast<LONG>(args.feature_id), feature.put());
  } else {
    Bstr display;
    layer->get_DisplayField(display.put());
    LONG field = -1;
    feature_class->FindField(display.get(), &field);
    ComPtr<IFeatureCursor> cursor;
    feature_class->Search(nullptr, VARIANT_FALSE, cursor.put());
    ComPtr<IFeature> candidate;
    while (cursor && cursor->NextFeature(candidate.put()) == S_OK) {
      labels.push_back(label_of(candidate.get(), field));
      if (!feature && labels.back() == args.feature) feature = candidate;
    }
  }
  if (!feature) {
    if (args.by_id)
      std::fprintf(stderr, "areaclip: layer '%s' has no feature %ld\n", args.layer.c_str(), args.feature_id);
    else
      std::fprintf(stderr, "areaclip: layer '%s' has no feature '%s'; it lists:%s\n", args.layer.c_str(),
                   args.feature.c_str(), list(labels).c_str());
    return 2;
  }

  int code = 0;
  {
    TerminalProgress progress;
    Tvo_arcmap_areaclip_params params;
    params.set_owner(&progress);
    params.set_application(app.get());
    params.set_document(mx.get());
    params.get_pgnobj()->set_feature(feature.get());
    params.get_newmap()->set_folder(folder_ansi);
    params.get_newmap()->set_map_path(folder_ansi + "\\cross.mxd");
    code = execute_cut(&params);
  }
  if (code != 0) {
    std::fprintf(stderr, "Ошибка при выполнении.\n");
    return 1;
  }
  print_summary(folder, folder / "cross.mxd");
  return 0;
}

}  // namespace host

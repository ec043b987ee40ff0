#include "cut_summary.h"

#include <cctype>
#include <filesystem>

#include <gis/core.h>
#include <gis/document.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

namespace {

namespace fs = std::filesystem;
using win32::Bstr;
using win32::ComPtr;

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
// naming its source.
std::vector<host::LayerNotCut> layers_not_cut(IMap* map) {
  std::vector<host::LayerNotCut> out;
  for (const auto& layer : layers_of(map)) {
    gis::LayerSource source;
    if (gis::LayerType(layer.get()) != "feature" || !gis::GetLayerSource(layer.get(), &source) ||
        source.open_error.empty())
      continue;
    out.push_back({name_of(layer.get()), source.open_error});
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
// opened: the saved document as already read from disk, or null to read it here.
std::vector<host::CutLayer> result_layers(const fs::path& folder, const fs::path& document, IMxDocument* opened,
                                          const std::vector<std::string>& sources_before, std::string* error) {
  std::vector<host::CutLayer> out;
  ComPtr<IMxDocument> saved = opened ? ComPtr<IMxDocument>(opened) : gis::LoadDocument(document.string(), error);
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

}  // namespace

namespace host {

std::string result_not_whole(const std::string& folder, const std::string& document) {
  std::string error;
  ComPtr<IMxDocument> doc = gis::LoadDocument(document, &error);
  if (!doc) return error;
  ComPtr<IMap> map;
  doc->get_FocusMap(map.put());
  for (const auto& layer : layers_of(map.get())) {
    gis::LayerSource source;
    if (!gis::GetLayerSource(layer.get(), &source) || source.path.empty()) continue;
    const fs::path path = fs::path(source.path).lexically_normal();
    if (!inside(fs::path(folder), path)) continue;
    if (!source.open_error.empty()) return source.open_error;
    std::string ext = path.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".shp" && !gis::ShapefileWhole(path.string())) return path.string() + " is not whole";
  }
  return "";
}

}  // namespace host

namespace {

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

}  // namespace

namespace host {

long CutSummary::features(const std::string& except) const {
  long total = 0;
  for (const CutLayer& l : layers)
    if (except.empty() || l.name != except) total += l.features;
  return total;
}

namespace {

// printf into a string.
template <typename... Args>
void append(std::string& out, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  std::string line(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(line.data(), line.size(), format, args...);
  line.pop_back();
  out += line;
}

}  // namespace

std::string summary_lines(const CutSummary& summary) {
  std::string out;
  for (const CutLayer& l : summary.layers) {
    append(out, "  %-40s %8ld features  (%s)\n", l.file.c_str(), l.features, l.name.c_str());
    for (const CutWarning& w : l.warnings) append(out, "      warning: %s (%ld)\n", w.message.c_str(), w.count);
  }
  for (const LayerNotCut& l : summary.not_cut) append(out, "  not cut: %s: %s\n", l.name.c_str(), l.reason.c_str());
  for (size_t i = 0; i < summary.documents.size(); ++i)
    append(out, "%s: %s\n", i == 0 ? "result document" : "result project", summary.documents[i].c_str());
  return out;
}

void print_summary(const CutSummary& summary, std::FILE* out) { std::fputs(summary_lines(summary).c_str(), out); }

CutWatch::CutWatch(IMap* map)
    : sources_before_(sources_of(map)), read_before_(features_to_read(map)), not_cut_(layers_not_cut(map)) {}

void CutWatch::finish(const std::string& folder, const std::string& document, const std::string& project,
                      IMxDocument* opened, CutSummary* summary, std::string* unreadable) const {
  const fs::path where(folder);
  summary->not_cut = not_cut_;
  summary->layers = result_layers(where, document, opened, sources_before_, unreadable);
  add_features_read(read_before_, &summary->layers);
  // Every change the GIS made to a layer's data on the way, under its layer.
  for (const gis::DataChange& c : gis::TakeDataChanges())
    for (CutLayer& l : summary->layers)
      if (c.file == (where / l.file).lexically_normal().string()) l.warnings.push_back({c.message, c.count});
  summary->documents.push_back(document);
  if (!project.empty()) summary->documents.push_back(project);
  summary->status = not_cut_.empty() ? kCutDone : kCutPartial;
}

}  // namespace host

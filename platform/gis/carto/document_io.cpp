// Reading and writing document files, and the non-COM entry points of gis/document.h.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "atomic_file.h"
#include "document.h"
#include "elements.h"
#include "feature_layer.h"
#include "group_layer.h"
#include "gis/document.h"
#include "other_layer.h"
#include "qgis/xml_tree.h"

namespace gis::carto {

namespace fs = std::filesystem;

namespace {

DocumentPlace place_of(const std::string& path) {
  return DocumentPlace{fs::absolute(fs::path(path)).lexically_normal().parent_path()};
}


// Line and column (1-based) of a byte offset.
std::string position_of(const std::string& text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Documents nest a few levels (groups of groups); far deeper nesting is refused before the
// recursive parts of reading and writing see it.
constexpr size_t kMaxDepth = 256;

size_t depth_of(const Json& root) {
  size_t deepest = 0;
  std::vector<std::pair<const Json*, size_t>> stack{{&root, 1}};
  while (!stack.empty()) {
    auto [value, depth] = stack.back();
    stack.pop_back();
    deepest = std::max(deepest, depth);
    if (depth > kMaxDepth) break;
    if (value->is_structured())
      for (const Json& child : *value) stack.emplace_back(&child, depth + 1);
  }
  return deepest;
}

Json parse_text(const std::string& text) {
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::string_view body(text.data() + start, text.size() - start);
  if (body.find_first_not_of(" \t\r\n") == std::string_view::npos) throw DocumentError("is empty");
  try {
    Json json = Json::parse(body);
    if (depth_of(json) > kMaxDepth) throw DocumentError("is not a valid map document: it is nested too deeply");
    return json;
  } catch (const Json::parse_error& e) {
    size_t at = e.byte > 0 ? e.byte - 1 : 0;
    if (e.byte >= body.size())
      throw DocumentError("is cut short: the JSON text ends before the document is complete");
    std::string what = e.what();
    // Keep the parser's reason, without its own prefix and position.
    if (auto p = what.find(": syntax error"); p != std::string::npos) what = what.substr(p + 2);
    throw DocumentError("is not a valid map document: bad JSON at " + position_of(std::string(body), at) + " (" +
                        what + ")");
  } catch (const Json::exception& e) {
    // Well-formed but unreadable JSON: a number beyond a double's range ("1e999").
    std::string what = e.what();
    if (auto p = what.find("] "); p != std::string::npos) what = what.substr(p + 2);
    throw DocumentError("is not a valid map document: bad JSON (" + what + ")");
  }
}

void check_format(const Json& json) {
  if (!json.is_object()) throw DocumentError("is not a map document: the JSON text is not an object");
  auto format = json.find("format");
  if (format == json.end()) throw DocumentError("is not an areaclip map document (it has no \"format\")");
  if (!format->is_string() || format->get<std::string>() != kDocumentFormat)
    throw DocumentError("is not an areaclip map document (its format is " + format->dump() + ", not \"" +
                        kDocumentFormat + "\")");
  auto version = json.find("version");
  if (version == json.end() || !version->is_number_integer() || version->get<long>() < 1)
    throw DocumentError("has no valid \"version\" (expected a whole number from 1)");
  long v = version->get<long>();
  if (v > kDocumentVersion)
    throw DocumentError("was written by a newer version of the program (document version " + std::to_string(v) +
                        "; this program reads version " + std::to_string(kDocumentVersion) + " and older)");
}

// What the layers of a document name but cannot use, "layer \"name\": …" each.
std::vector<std::string> layer_warnings(const Document& document) {
  std::vector<std::string> out;
  for (const auto& map : document.maps) {
    std::vector<win32::ComPtr<ILayer>> layers;
    collect_layers(map->layers, nullptr, true, &layers);
    for (const auto& layer : layers)
      if (auto* f = dynamic_cast<FeatureLayer*>(layer_node(layer.get())))
        for (const std::string& w : f->warnings) out.push_back("layer \"" + f->name + "\": " + w);
  }
  return out;
}

// The document a JSON value describes; every error message begins with `name`.
win32::ComPtr<Document> document_from_json(const Json& json, const std::string& name, const DocumentPlace& place) {
  try {
    auto document = Document::make(json, place);
    document->notes = layer_warnings(*document);
    return document;
  } catch (const DocumentError& e) {
    throw DocumentError(name + "is not valid: " + e.what());
  } catch (const Json::exception& e) {
    throw DocumentError(name + "is not valid: " + e.what());
  }
}

// The document a text holds; every error message begins with `name`.
win32::ComPtr<Document> document_from_text(const std::string& text, const std::string& name,
                                           const DocumentPlace& place) {
  Json json;
  try {
    json = parse_text(text);
    check_format(json);
  } catch (const DocumentError& e) {
    throw DocumentError(name + e.what());
  }
  return document_from_json(json, name, place);
}

// The key of a map document that carries the QGIS project it was converted from.
constexpr const char* kCarriedProject = "qgis_project";

// The project a map document carries becomes its origin for writing it as a project; one that
// cannot be read is left out with a note.
void carried_project(const Json& json, const DocumentPlace& place, Document* document) {
  auto it = json.find(kCarriedProject);
  if (it == json.end() || !it->is_object() || !it->contains("text") || !(*it)["text"].is_string()) return;
  try {
    auto xml = std::make_shared<XmlDocument>(XmlDocument::parse((*it)["text"].get<std::string>()));
    if (!xml_is(xml->root(), "qgis")) throw DocumentError("its root element is not <qgis>");
    document->qgis.xml = std::move(xml);
    document->qgis.place = place;
    document->qgis.carried = true;
  } catch (const DocumentError& e) {
    document->notes.push_back(std::string("the QGIS project the document carries is left out: ") + e.what());
  }
}

}  // namespace

std::string read_document_bytes(const std::string& path, std::uint64_t limit) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw DocumentError("is a folder, not a map document");
  if (std::uintmax_t size = fs::file_size(path, ec); !ec && size > limit)
    throw DocumentError("is too large: it holds more than " + std::to_string(limit >> 20) +
                        " MiB (the most a document may hold)");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DocumentError(std::string("cannot be read: ") + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw DocumentError(std::string("cannot be read: ") + std::strerror(errno));
  return text.str();
}

win32::ComPtr<Document> read_document(const std::string& path) {
  const std::string name = "map document \"" + path + "\" ";
  if (is_qgis_path(path)) {
    QgisRead project;
    try {
      project = read_qgis_project(path, place_of(path));
    } catch (const DocumentError& e) {
      throw DocumentError(name + e.what());
    }
    auto document = document_from_json(project.document, name, place_of(path));
    document->qgis = std::move(project.origin);
    document->notes.insert(document->notes.begin(), project.notes.begin(), project.notes.end());
    document->path = fs::absolute(fs::path(path)).lexically_normal().string();
    return document;
  }
  Json json;
  try {
    json = parse_text(read_document_bytes(path));
    check_format(json);
  } catch (const DocumentError& e) {
    throw DocumentError(name + e.what());
  }
  auto document = document_from_json(json, name, place_of(path));
  document->path = fs::absolute(fs::path(path)).lexically_normal().string();
  carried_project(json, place_of(path), document.get());
  return document;
}

std::string document_text(const Document& document, const std::string& path) {
  Json json = document.to_json(place_of(path));
  if (is_qgis_path(path)) return qgis_project_text(json, document.qgis, place_of(path));
  if (document.qgis.xml) {
    // The project goes along as it would be written beside the document, so that writing the
    // document as a project again gives back what the map document does not model.
    json[kCarriedProject] = {{"text", qgis_project_text(json, document.qgis, place_of(path))}};
  }
  return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void write_document(const Document& document, const std::string& path) {
  if (is_qgis_path(path)) {
    write_qgis_project(document.to_json(place_of(path)), document.qgis, place_of(path), path);
    return;
  }
  write_file_atomically(path, document_text(document, path));
}

}  // namespace gis::carto

namespace gis {

namespace fs = std::filesystem;

win32::ComPtr<IMxDocument> LoadDocument(const std::string& path, std::string* error) {
  try {
    return carto::read_document(path);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

win32::ComPtr<IMxDocument> LoadDocumentText(std::string_view text, const std::string& folder, std::string* error) {
  try {
    carto::DocumentPlace place{fs::absolute(fs::path(folder)).lexically_normal()};
    return carto::document_from_text(std::string(text), "map document text ", place);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

bool SaveDocument(IUnknown* document, const std::string& path, std::string* error) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl) {
    if (error) *error = "not a map document of this program";
    return false;
  }
  try {
    carto::write_document(*impl, path);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void DeferDocumentSync(bool defer) { carto::defer_sync(defer); }

bool SyncFileSystem(const std::string& folder, std::string* error) {
  try {
    carto::sync_file_system(folder);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

std::vector<std::string> DocumentNotes(IUnknown* document) {
  carto::Document* impl = carto::document_impl(document);
  return impl ? impl->notes : std::vector<std::string>();
}

bool ReadFromQgisProject(IUnknown* document) {
  carto::Document* impl = carto::document_impl(document);
  return impl && impl->qgis.xml && !impl->qgis.carried;
}

std::vector<std::string> ConversionLosses(IUnknown* document, const std::string& path) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl) return {};
  std::vector<std::string> out;
  const carto::DocumentPlace place{fs::absolute(fs::path(path)).lexically_normal().parent_path()};
  const bool to_project = carto::is_qgis_path(path);
  const carto::QgisOrigin& origin = impl->qgis;
  if (!to_project) {
    // The project goes along whole; only its other files stay behind.
    if (origin.archive_members && !origin.archive_members->empty())
      out.push_back("the project's " + std::to_string(origin.archive_members->size()) +
                    " other file(s) (auxiliary storage, attachments) are not carried: a map document holds the "
                    "project's text only");
    return out;
  }
  if (origin.xml) return out;  // written back into the project it came from
  const carto::Json json = impl->to_json(place);
  auto text = [](const carto::Json& j, const char* key) {
    return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
  };
  const carto::Json maps = json.value("maps", carto::Json::array());
  for (size_t i = 0; i < maps.size(); ++i) {
    if (i == impl->focus) continue;
    out.push_back("map \"" + text(maps[i], "name") + "\" is not written: a project holds one map (the focus map)");
  }
  if (json.contains("page_layout") && !json["page_layout"].is_null())
    out.push_back("the page layout is not written: a project written from a map document has no layout");
  if (impl->focus >= maps.size()) return out;
  const carto::Json& map = maps[impl->focus];
  std::function<void(const carto::Json&)> layers = [&](const carto::Json& list) {
    for (const carto::Json& layer : list) {
      std::string type = text(layer, "type");
      if (type == "group") {
        layers(layer.value("layers", carto::Json::array()));
      } else if (type != "feature" && type != "raster") {
        out.push_back("layer \"" + text(layer, "name") + "\" (" + type + ") is not written: a project written from a "
                      "map document holds feature and raster layers");
      } else if (text(layer.value("source", carto::Json()), "path").empty()) {
        out.push_back("layer \"" + text(layer, "name") + "\" is not written: it names no file");
      }
    }
  };
  layers(map.value("layers", carto::Json::array()));
  const carto::Json graphics = map.value("graphics", carto::Json::object());
  auto elements = [&](const carto::Json& list) {
    for (const carto::Json& e : list) {
      std::string kind = text(e, "type");
      std::string geometry = text(e.value("geometry", carto::Json()), "type");
      if (kind == "text" && geometry == "Polygon")
        out.push_back("text \"" + text(e, "text") + "\" is written at the centre of its frame, without the frame");
      else if (!((kind == "text" || kind == "marker") && geometry == "Point") && geometry != "LineString" &&
               geometry != "Polygon")
        out.push_back("a graphic element (" + kind + ") is not written: its shape has no annotation item");
    }
  };
  if (graphics.is_object()) {
    elements(graphics.value("elements", carto::Json::array()));
    for (const carto::Json& group : graphics.value("layers", carto::Json::array())) {
      out.push_back("graphics layer \"" + text(group, "name") + "\" is written as its elements, without the layer");
      elements(group.value("elements", carto::Json::array()));
    }
  }
  return out;
}

std::string DocumentPath(IUnknown* document) {
  carto::Document* impl = carto::document_impl(document);
  return impl ? impl->path : std::string();
}

bool GetLayerSource(ILayer* layer, LayerSource* source) {
  if (!source) return false;
  *source = LayerSource{};
  if (auto* f = dynamic_cast<carto::FeatureLayer*>(carto::layer_node(layer))) {
    source->path = f->source_path;
    source->layer = f->source_layer;
    source->open_error = f->open_error;
    return true;
  }
  if (auto* o = dynamic_cast<carto::OtherLayer*>(carto::layer_node(layer))) {
    source->path = o->source_path;
    if (!o->valid()) source->open_error = o->source_path.empty() ? "the layer names no source" : "file not found";
    return true;
  }
  return false;
}

std::string LayerType(ILayer* layer) {
  carto::LayerNode* node = carto::layer_node(layer);
  if (!node) return "unknown";
  if (dynamic_cast<carto::FeatureLayer*>(node)) return "feature";
  if (auto* o = dynamic_cast<carto::OtherLayer*>(node)) return o->type;
  if (dynamic_cast<carto::GroupLayer*>(node)) return "group";
  return "graphics";
}

std::string ElementKind(IElement* element) {
  carto::ElementNode* node = carto::element_node(element);
  return node ? node->kind : std::string();
}

}  // namespace gis

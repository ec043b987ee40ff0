// QGIS project -> map document JSON (see qgis_project.h).
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../document.h"
#include "qgis_gdal.h"
#include "qgis_project.h"
#include "qgis_sources.h"
#include "qgis_symbols.h"
#include "xml_tree.h"

namespace gis::carto {

namespace fs = std::filesystem;

namespace {

class ProjectReader {
 public:
  ProjectReader(const xmlNode* root, const DocumentPlace& place, std::vector<std::string>* notes)
      : notes_(notes), place_(place) {
    for (xmlNode* layer : xml_children(xml_child(root, "projectlayers"), "maplayer"))
      maplayers_[xml_child_text(layer, "id")] = layer;
  }

  Json tree(const xmlNode* group) {
    Json layers = Json::array();
    for (xmlNode* n = group ? group->children : nullptr; n; n = n->next) {
      if (xml_is(n, "layer-tree-layer"))
        layers.push_back(layer(n));
      else if (xml_is(n, "layer-tree-group"))
        layers.push_back({{"type", "group"},
                          {"name", xml_attr(n, "name")},
                          {"visible", xml_attr(n, "checked") != "Qt::Unchecked"},
                          {"layers", tree(n)}});
    }
    return layers;
  }

 private:
  void note(const std::string& layer, const std::string& what) { notes_->push_back("layer \"" + layer + "\": " + what); }

  Json layer(const xmlNode* node) {
    std::string id = xml_attr(node, "id");
    std::string name = xml_attr(node, "name");
    Json j = {{"type", ""}, {"name", name}, {"visible", xml_attr(node, "checked") != "Qt::Unchecked"}, {"qgis_id", id}};
    auto it = maplayers_.find(id);
    if (it == maplayers_.end()) {
      note(name, "the project holds no layer with id " + id);
      j["type"] = "qgis:missing";
      return j;
    }
    const xmlNode* map_layer = it->second;
    if (name.empty()) j["name"] = name = xml_child_text(map_layer, "layername");
    std::string type = xml_attr(map_layer, "type");
    std::string provider = xml_child_text(map_layer, "provider");
    std::string datasource = xml_child_text(map_layer, "datasource");
    if (type == "vector") {
      j["type"] = "feature";
      vector_layer(map_layer, name, provider, datasource, &j);
    } else if (type == "raster") {
      j["type"] = "raster";
      if (provider == "gdal") {
        j["source"] = {{"path", datasource.substr(0, datasource.find('|'))}};
      } else {
        j["source"] = {{"path", nullptr}, {"provider", provider}};
        note(name, "raster provider \"" + provider + "\" is kept, not drawn");
      }
    } else {
      j["type"] = "qgis:" + type;
      note(name, "a " + type + " layer is kept, not drawn or cut");
    }
    return j;
  }

  void vector_layer(const xmlNode* map_layer, const std::string& name, const std::string& provider,
                    const std::string& datasource, Json* j) {
    if (provider != "ogr") {
      (*j)["source"] = {{"path", nullptr}, {"provider", provider}};
      note(name, "data of the \"" + provider + "\" provider is not read: the layer is kept, not cut");
    } else {
      // path|layername=roads|subset=… : the file, then the provider's options. A layer named
      // by its number is looked up as QGIS looks it up, by its index in the file.
      OgrSource ogr = parse_ogr_source(datasource);
      Json source = {{"path", ogr.path}, {"layer", nullptr}};
      if (std::string layer = ogr_layer(ogr, place_.folder); !layer.empty()) {
        source["layer"] = layer;
        if (ogr.layername.empty() && layer.rfind("layerid=", 0) == 0)
          note(name, "the file has no layer number " + std::to_string(ogr.layerid));
      }
      // A subset is a condition of OGR SQL, as QGIS hands it to OGR; a whole SELECT statement
      // is not a condition.
      if (ascii_lower(ogr.subset).rfind("select ", 0) == 0)
        note(name, "the filter " + ogr.subset + " is not applied: every feature is cut");
      else if (!ogr.subset.empty())
        source["filter"] = ogr.subset;
      if (!ogr.geometrytype.empty())
        note(name, "only the " + ogr.geometrytype + " features are drawn by QGIS: every feature is cut");
      for (const std::string& p : ogr.others) note(name, "source option " + p + " is not applied");
      (*j)["source"] = std::move(source);
    }
    if (const xmlNode* srs = xml_path(map_layer, {"srs", "spatialrefsys"}))
      if (std::string crs = crs_from_qgis(srs); !crs.empty()) (*j)["spatial_reference"] = crs;
    std::string expression = xml_child_text(map_layer, "previewExpression");
    std::string field = plain_field(expression);
    if (!field.empty())
      (*j)["display_field"] = field;
    else if (!expression.empty())
      note(name, "the display expression " + expression + " is not a field: features are listed by id");
    if (const xmlNode* renderer = xml_child(map_layer, "renderer-v2")) {
      std::vector<std::string> renderer_notes;
      (*j)["renderer"] = renderer_from_qgis(renderer, &renderer_notes);
      std::sort(renderer_notes.begin(), renderer_notes.end());
      renderer_notes.erase(std::unique(renderer_notes.begin(), renderer_notes.end()), renderer_notes.end());
      for (const std::string& n : renderer_notes) note(name, n);
    }
    if (xml_attr(map_layer, "labelsEnabled") == "1") note(name, "labels are kept in the project, not drawn");
  }

  std::vector<std::string>* notes_;
  const DocumentPlace& place_;
  std::map<std::string, const xmlNode*> maplayers_;
};

// The text, marker, line and polygon items of the main annotation layer as elements.
Json annotation_elements(const xmlNode* root, std::vector<std::string>* notes) {
  Json elements = Json::array();
  std::map<std::string, int> kept;
  for (xmlNode* item : xml_children(xml_path(root, {"main-annotation-layer", "items"}), "item")) {
    std::string type = xml_attr(item, "type");
    Json e = {{"type", ""}};
    Json geometry;
    if (type == "pointtext" || type == "marker") {
      e["type"] = type == "pointtext" ? "text" : "marker";
      geometry = {{"type", "Point"},
                  {"coordinates", {std::atof(xml_attr(item, "x").c_str()), std::atof(xml_attr(item, "y").c_str())}}};
      if (type == "pointtext") e["text"] = xml_attr(item, "text");
    } else if (type == "linestring" || type == "polygon") {
      e["type"] = type == "linestring" ? "line" : "polygon";
      geometry = geojson_from_wkt(xml_attr(item, "wkt"));
    }
    if (geometry.is_null()) {
      ++kept[type];
      continue;
    }
    e["geometry"] = std::move(geometry);
    e["qgis_item"] = xml_attr(item, "id");
    elements.push_back(std::move(e));
  }
  for (const auto& [type, count] : kept)
    notes->push_back(std::to_string(count) + " annotation item(s) of type \"" + type + "\" kept, not drawn or cut");
  if (const xmlNode* old = xml_child(root, "Annotations"); old && xml_child(old, nullptr)) {
    size_t count = 0;
    for (xmlNode* n = old->children; n; n = n->next) count += xml_is(n, nullptr);
    notes->push_back(std::to_string(count) + " map canvas annotation(s) kept, not drawn or cut");
  }
  return elements;
}

Json map_extent(const xmlNode* root) {
  const xmlNode* extent = xml_path(root, {"mapcanvas", "extent"});
  if (!extent) return nullptr;
  double v[4];
  const char* names[] = {"xmin", "ymin", "xmax", "ymax"};
  for (int i = 0; i < 4; ++i) {
    std::string text = xml_child_text(extent, names[i]);
    if (text.empty()) return nullptr;
    v[i] = std::atof(text.c_str());
  }
  if (!(v[0] <= v[2] && v[1] <= v[3])) return nullptr;
  return {v[0], v[1], v[2], v[3]};
}

// What QGIS writes beside a .qgs for what a .qgz holds inside: the auxiliary storage
// (NAME.qgd) and the attached files (NAME_attachments.zip), taken as the members of an
// archive so that they go with the project wherever it is written.
void files_beside(const std::string& path, std::uint64_t limit, QgisOrigin* origin) {
  const fs::path file(path);
  const std::string base = file.stem().string();
  std::vector<QgzMember> members;
  std::error_code ec;
  const fs::path storage = file.parent_path() / (base + ".qgd");
  const fs::path attachments = file.parent_path() / (base + "_attachments.zip");
  try {
    if (fs::is_regular_file(storage, ec)) {
      members.emplace_back(base + ".qgd", read_document_bytes(storage.string(), limit));
      limit -= members.back().second.size();
    }
    if (fs::is_regular_file(attachments, ec))
      for (QgzMember& member : read_zip(attachments.string(), limit))
        if (member.first != base + ".qgd") members.push_back(std::move(member));
  } catch (const DocumentError& e) {
    throw DocumentError("has files beside it (" + storage.filename().string() + ", " +
                        attachments.filename().string() + ") that cannot be read: " + e.what());
  }
  if (members.empty()) return;
  origin->archive_project = base + ".qgs";
  origin->archive_members = std::make_shared<const std::vector<QgzMember>>(std::move(members));
}

}  // namespace

bool is_qgis_path(const std::string& path) {
  std::string ext = ascii_lower(fs::path(path).extension().string());
  return ext == ".qgs" || ext == ".qgz";
}

QgisRead read_qgis_project(const std::string& path, const DocumentPlace& place) {
  QgisRead out;
  std::string text;
  if (ascii_lower(fs::path(path).extension().string()) == ".qgz") {
    read_document_bytes(path, kMaxProjectBytes);  // the archive's own errors first (a folder, no access)
    QgzContent archive = read_qgz(path);
    text = std::move(archive.text);
    out.origin.archive_project = archive.project;
    out.origin.archive_members =
        std::make_shared<const std::vector<QgzMember>>(std::move(archive.others));
  } else {
    text = read_document_bytes(path, kMaxProjectBytes);
    files_beside(path, kMaxProjectBytes - text.size(), &out.origin);
  }
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) throw DocumentError("is empty");
  auto xml = std::make_shared<XmlDocument>(XmlDocument::parse(text));
  const xmlNode* root = xml->root();
  if (!xml_is(root, "qgis")) throw DocumentError("is not a QGIS project (its root element is not <qgis>)");

  out.origin.xml = xml;
  out.origin.place = place;
  ProjectReader reader(root, place, &out.notes);
  Json map = {{"name", "Layers"}, {"spatial_reference", nullptr}};
  if (const xmlNode* srs = xml_path(root, {"projectCrs", "spatialrefsys"}))
    if (std::string crs = crs_from_qgis(srs); !crs.empty()) map["spatial_reference"] = crs;
  if (Json extent = map_extent(root); !extent.is_null()) map["extent"] = extent;
  map["layers"] = reader.tree(xml_child(root, "layer-tree-group"));
  map["graphics"] = {{"elements", annotation_elements(root, &out.notes)}};
  std::string title = xml_child_text(root, "title");
  if (title.empty()) title = xml_attr(root, "projectname");
  out.document = {{"format", "areaclip-map"}, {"version", 1}};
  if (!title.empty()) out.document["title"] = title;
  out.document["focus_map"] = 0;
  out.document["maps"] = Json::array({std::move(map)});
  return out;
}

}  // namespace gis::carto

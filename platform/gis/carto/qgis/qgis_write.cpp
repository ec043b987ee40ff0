// Map document JSON -> QGIS project (see qgis_project.h).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <libxml/tree.h>

#include "atomic_file.h"
#include "qgis_gdal.h"
#include "gis/core.h"
#include "qgis_project.h"
#include "qgis_sources.h"
#include "qgis_symbols.h"
#include "xml_tree.h"

namespace gis::carto {

namespace fs = std::filesystem;

namespace {

std::string text_member(const Json& j, const char* key) {
  return j.is_object() && j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : "";
}

std::string id_text(const std::string& name, size_t n) {
  std::string base;
  for (char c : name) base += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  if (base.empty()) base = "layer";
  // QGIS takes an id of 10 characters or fewer for none and gives the layer a new one, which
  // the layer tree then does not find.
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_%016zx", n);
  return base + suffix;
}

std::string item_id(size_t n) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "{00000000-0000-4000-8000-%012zx}", n);
  return buf;
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

class ProjectWriter {
 public:
  ProjectWriter(XmlDocument xml, const QgisOrigin& origin, const DocumentPlace& place, const std::string& map_crs)
      : xml_(std::move(xml)), origin_(origin), place_(place), map_crs_(map_crs) {
    root_ = xml_.root();
    relative_ = relative_paths(root_);
    projectlayers_ = xml_ensure(root_, "projectlayers");
    tree_root_ = xml_ensure(root_, "layer-tree-group");
    for (xmlNode* layer : xml_children(projectlayers_, "maplayer")) maplayers_[xml_child_text(layer, "id")] = layer;
    index_tree(tree_root_);
  }

  void layers(const Json& list, xmlNode* group) {
    std::set<xmlNode*> used_groups;
    for (const Json& layer : list) {
      std::string type = text_member(layer, "type");
      if (type == "group") {
        xmlNode* node = nullptr;
        for (xmlNode* g : xml_children(group, "layer-tree-group"))
          if (!used_groups.count(g) && xml_attr(g, "name") == text_member(layer, "name")) {
            node = g;
            break;
          }
        if (!node) node = add_tree_node(group, "layer-tree-group");
        used_groups.insert(node);
        xml_set_attr(node, "name", text_member(layer, "name"));
        xml_set_attr(node, "checked", layer.value("visible", true) ? "Qt::Checked" : "Qt::Unchecked");
        if (!xml_has_attr(node, "expanded")) xml_set_attr(node, "expanded", "1");
        layers(layer.value("layers", Json::array()), node);
        continue;
      }
      std::string id = text_member(layer, "qgis_id");
      if (!id.empty()) seen_.insert(id);
      if (!id.empty() && maplayers_.count(id) && tree_layers_.count(id)) {
        patch_layer(layer, maplayers_[id], tree_layers_[id]);
      } else if (type == "feature" || type == "raster") {
        add_layer(layer, group);
      }
    }
  }

  // Layers of the project the document no longer holds.
  void remove_unseen_layers() {
    for (auto& [id, node] : tree_layers_) {
      if (seen_.count(id)) continue;
      xml_remove(node);
      if (auto it = maplayers_.find(id); it != maplayers_.end()) xml_remove(it->second);
      for (xmlNode* order : xml_children(tree_root_, "custom-order"))
        for (xmlNode* item : xml_children(order, "item"))
          if (xml_text(item) == id) xml_remove(item);
    }
  }

  // Items of the main annotation layer: those read as elements and no longer in the document
  // are removed, elements the project did not hold are added.
  void annotations(const Json& elements) {
    xmlNode* layer = xml_child(root_, "main-annotation-layer");
    if (!layer) {
      if (elements.empty()) return;
      layer = xml_add(root_, "main-annotation-layer");
      xml_set_attr(layer, "type", "annotation");
      xml_add(layer, "id", "Annotations_0");
      xml_add(layer, "datasource");
      xml_add(layer, "layername", "Annotations");
      add_qgis_crs(xml_add(layer, "srs"), map_crs_);
    }
    xmlNode* items = xml_ensure(layer, "items");
    std::set<std::string> kept;
    for (const Json& e : elements)
      if (std::string id = text_member(e, "qgis_item"); !id.empty()) kept.insert(id);
    for (xmlNode* item : xml_children(items, "item")) {
      std::string type = xml_attr(item, "type");
      bool modelled = type == "pointtext" || type == "marker" ||
                      ((type == "linestring" || type == "polygon") && !geojson_from_wkt(xml_attr(item, "wkt")).is_null());
      if (modelled && !kept.count(xml_attr(item, "id"))) xml_remove(item);
    }
    size_t n = 0;
    for (const Json& e : elements) {
      // An item id names an item of the project the document was read from, if any.
      if (origin_.xml && !text_member(e, "qgis_item").empty()) continue;
      add_item(items, e, ++n);
    }
  }

  const XmlDocument& xml() const { return xml_; }

 private:
  void index_tree(xmlNode* group) {
    for (xmlNode* n = group->children; n; n = n->next) {
      if (xml_is(n, "layer-tree-layer")) tree_layers_[xml_attr(n, "id")] = n;
      if (xml_is(n, "layer-tree-group")) index_tree(n);
    }
  }

  // A new tree node in group, before its custom order list.
  xmlNode* add_tree_node(xmlNode* group, const char* name) {
    xmlNode* node = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>(name));
    if (xmlNode* order = xml_child(group, "custom-order"))
      xmlAddPrevSibling(order, node);
    else
      xmlAddChild(group, node);
    return node;
  }

  void set_tree_common(const Json& layer, xmlNode* tree_node) {
    xml_set_attr(tree_node, "name", text_member(layer, "name"));
    xml_set_attr(tree_node, "checked", layer.value("visible", true) ? "Qt::Checked" : "Qt::Unchecked");
  }

  std::string absolute(const std::string& stored, const DocumentPlace& place) const {
    return resolve_source_path(stored, place);
  }

  // A file as this project stores it, in its path mode.
  std::string file_path(const std::string& absolute) const {
    return project_path(absolute, place_.folder, relative_);
  }

  // The datasource of an "ogr" layer for a document source, keeping the provider's options
  // of the old datasource other than the layer's name.
  std::string ogr_datasource(const Json& source, const std::string& old_datasource) const {
    std::string out = file_path(absolute(text_member(source, "path"), place_));
    if (std::string layer = text_member(source, "layer"); !layer.empty()) out += "|layername=" + layer;
    OgrSource old = parse_ogr_source(old_datasource);
    for (const std::string& option : old.others) out += "|" + option;
    if (!old.geometrytype.empty()) out += "|geometrytype=" + old.geometrytype;
    if (!old.subset.empty()) out += "|subset=" + old.subset;
    return out;
  }

  void set_datasource(xmlNode* map_layer, xmlNode* tree_node, const std::string& text) {
    xml_set_text(xml_ensure(map_layer, "datasource"), text);
    if (tree_node) xml_set_attr(tree_node, "source", text);
  }

  void patch_layer(const Json& layer, xmlNode* map_layer, xmlNode* tree_node) {
    set_tree_common(layer, tree_node);
    if (xmlNode* name = xml_child(map_layer, "layername")) xml_set_text(name, text_member(layer, "name"));
    const Json source = layer.value("source", Json(nullptr));
    std::string path = text_member(source, "path");
    std::string old = xml_child_text(map_layer, "datasource");
    std::string provider = xml_child_text(map_layer, "provider");
    const bool feature = text_member(layer, "type") == "feature";
    if (!path.empty() && (provider == "ogr" || provider == "gdal" || feature)) {
      // The document changed the source when it names another file or layer than the project.
      std::string new_path = absolute(path, place_);
      bool repointed = provider != (feature ? "ogr" : "gdal");
      SourceText old_source;
      if (!repointed && split_source(provider, old, &old_source))
        repointed = new_path != absolute(old_source.path, origin_.place) ||
                    (feature && text_member(source, "layer") != ogr_layer(parse_ogr_source(old), origin_.place.folder));
      else
        repointed = true;
      if (repointed) {
        repointed_.insert(map_layer);
        set_datasource(map_layer, tree_node, feature ? ogr_datasource(source, old) : file_path(new_path));
      }
      if (feature && repointed) {
        xml_set_text(xml_ensure(map_layer, "provider"), "ogr");
        xml_set_attr(tree_node, "providerKey", "ogr");
        VectorSourceInfo info = vector_source_info(new_path, text_member(source, "layer"));
        if (!info.crs.empty()) {
          xmlNode* srs = xml_ensure(map_layer, "srs");
          while (xmlNode* old_srs = xml_child(srs, nullptr)) xml_remove(old_srs);
          add_qgis_crs(srs, info.crs);
        }
        rename_fields(layer, map_layer, tree_node, new_path);
      }
    }
    if (text_member(layer, "type") != "feature") return;
    patch_renderer(layer, map_layer);
    std::string display = text_member(layer, "display_field");
    xmlNode* preview = xml_child(map_layer, "previewExpression");
    if (!display.empty() && plain_field(xml_text(preview)) != display)
      xml_set_text(preview ? preview : xml_add(map_layer, "previewExpression"), field_expression(display));
  }

  // The field references of a layer whose data now lie in a file that shortened field names.
  void rename_fields(const Json& layer, xmlNode* map_layer, xmlNode* tree_node, const std::string& file) {
    FieldRenames renames = gis::RenamedFields(file);
    if (renames.empty()) return;
    std::vector<std::string> unsafe;
    rename_layer_fields(map_layer, renames, &unsafe);
    if (tree_node) xml_set_attr(tree_node, "source", xml_child_text(map_layer, "datasource"));
    for (const std::string& expression : unsafe)
      gis::ReportDataChange(file, "layer \"" + text_member(layer, "name") + "\": the expression " + expression +
                                      " names a shortened field in a way that cannot be renamed: it is kept as it was");
  }

 public:
  // Every source the document did not change, re-based to name the same file from the new
  // project's folder in the project's path mode; kept as it was in the project's own folder.
  void rebase_sources() {
    if (!origin_.xml || origin_.place.folder == place_.folder) return;
    std::map<xmlNode*, xmlNode*> tree_of;
    for (auto& [id, node] : tree_layers_)
      if (auto it = maplayers_.find(id); it != maplayers_.end()) tree_of[it->second] = node;
    for (xmlNode* map_layer : xml_children(projectlayers_, "maplayer")) {
      if (repointed_.count(map_layer)) continue;
      std::string old = xml_child_text(map_layer, "datasource");
      SourceText source;
      if (!split_source(xml_child_text(map_layer, "provider"), old, &source)) continue;
      source.path = file_path(absolute(source.path, origin_.place));
      if (std::string text = join_source(source); text != old) {
        auto it = tree_of.find(map_layer);
        set_datasource(map_layer, it == tree_of.end() ? nullptr : it->second, text);
      }
    }
  }

 private:
  void patch_renderer(const Json& layer, xmlNode* map_layer) {
    if (!layer.contains("renderer") || !layer["renderer"].is_object()) return;
    const Json& r = layer["renderer"];
    std::string type = text_member(r, "type");
    if (type.rfind("qgis:", 0) == 0) return;
    xmlNode* renderer = xml_child(map_layer, "renderer-v2");
    std::string old_type = xml_attr(renderer, "type");
    bool same = (old_type == "singleSymbol" && type == "simple") ||
                (old_type == "categorizedSymbol" && type == "unique_value") ||
                (old_type == "graduatedSymbol" && type == "class_breaks");
    if (!same) {
      if (renderer) xml_remove(renderer);
      add_qgis_renderer(map_layer, r);
      return;
    }
    std::string field = type == "unique_value" && r.contains("fields") && r["fields"].is_array() && !r["fields"].empty() &&
                                r["fields"][0].is_string()
                            ? r["fields"][0].get<std::string>()
                            : text_member(r, "field");
    std::string attr = xml_attr(renderer, "attr");
    if (!field.empty() && plain_field(attr) != field)
      xml_set_attr(renderer, "attr", attr.find('"') != std::string::npos ? field_expression(field) : field);
  }

  void add_layer(const Json& layer, xmlNode* group) {
    const Json source = layer.value("source", Json(nullptr));
    std::string path = text_member(source, "path");
    if (path.empty()) return;  // a layer without a file cannot be named in a project
    bool vector = text_member(layer, "type") == "feature";
    std::string id = id_text(text_member(layer, "name"), ++added_);
    while (maplayers_.count(id)) id = id_text(text_member(layer, "name"), ++added_);
    std::string datasource = vector ? ogr_datasource(source, "") : file_path(absolute(path, place_));

    xmlNode* map_layer = xml_add(projectlayers_, "maplayer");
    maplayers_[id] = map_layer;
    // Its source is named from the new folder already: nothing for rebase_sources to do.
    repointed_.insert(map_layer);
    xml_set_attr(map_layer, "type", vector ? "vector" : "raster");
    VectorSourceInfo info;
    if (vector) {
      info = vector_source_info(absolute(path, place_), text_member(source, "layer"));
      if (!info.geometry.empty()) xml_set_attr(map_layer, "geometry", info.geometry);
      if (!info.wkb_type.empty()) xml_set_attr(map_layer, "wkbType", info.wkb_type);
    }
    xml_add(map_layer, "id", id);
    xml_add(map_layer, "datasource", datasource);
    xml_add(map_layer, "layername", text_member(layer, "name"));
    std::string crs = !info.crs.empty() ? info.crs : text_member(layer, "spatial_reference");
    add_qgis_crs(xml_add(map_layer, "srs"), crs.empty() ? map_crs_ : crs);
    xmlNode* provider = xml_add(map_layer, "provider", vector ? "ogr" : "gdal");
    if (vector) xml_set_attr(provider, "encoding", "UTF-8");
    if (vector) {
      if (layer.contains("renderer") && layer["renderer"].is_object() &&
          text_member(layer["renderer"], "type").rfind("qgis:", 0) != 0)
        add_qgis_renderer(map_layer, layer["renderer"]);
      else
        add_qgis_renderer(map_layer, Json::object());
      if (std::string display = text_member(layer, "display_field"); !display.empty())
        xml_add(map_layer, "previewExpression", field_expression(display));
    }

    xmlNode* tree_node = add_tree_node(group, "layer-tree-layer");
    xml_set_attr(tree_node, "id", id);
    set_tree_common(layer, tree_node);
    xml_set_attr(tree_node, "source", datasource);
    xml_set_attr(tree_node, "providerKey", vector ? "ogr" : "gdal");
    xml_set_attr(tree_node, "expanded", "1");
    tree_layers_[id] = tree_node;
    seen_.insert(id);
  }

  // Where a text or marker item stands: its point, or for a text in a frame (a polygon) the
  // centre of the frame's extent.
  static bool anchor(const Json& geometry, bool framed, double* x, double* y) {
    const Json coordinates = geometry.value("coordinates", Json());
    std::string type = text_member(geometry, "type");
    if (type == "Point" && coordinates.is_array() && coordinates.size() >= 2 && coordinates[0].is_number() &&
        coordinates[1].is_number()) {
      *x = coordinates[0].get<double>();
      *y = coordinates[1].get<double>();
      return true;
    }
    if (!framed || type != "Polygon" || !coordinates.is_array() || coordinates.empty() || !coordinates[0].is_array())
      return false;
    double box[4] = {1e300, 1e300, -1e300, -1e300};
    for (const Json& p : coordinates[0])
      if (p.is_array() && p.size() >= 2 && p[0].is_number() && p[1].is_number()) {
        box[0] = std::min(box[0], p[0].get<double>());
        box[1] = std::min(box[1], p[1].get<double>());
        box[2] = std::max(box[2], p[0].get<double>());
        box[3] = std::max(box[3], p[1].get<double>());
      }
    if (box[0] > box[2]) return false;
    *x = (box[0] + box[2]) / 2;
    *y = (box[1] + box[3]) / 2;
    return true;
  }

  void add_item(xmlNode* items, const Json& e, size_t n) {
    std::string kind = text_member(e, "type");
    const Json geometry = e.value("geometry", Json(nullptr));
    xmlNode* item = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("item"));
    std::string geometry_type = text_member(geometry, "type");
    double x = 0, y = 0;
    if ((kind == "text" || kind == "marker") && anchor(geometry, kind == "text", &x, &y)) {
      xml_set_attr(item, "type", kind == "text" ? "pointtext" : "marker");
      xml_set_attr(item, "x", number(x));
      xml_set_attr(item, "y", number(y));
      if (kind == "text") {
        xml_set_attr(item, "text", text_member(e, "text"));
        xml_set_attr(item, "angle", "0");
        xml_set_attr(item, "alignment", "4");
      }
    } else if (std::string wkt = wkt_from_geojson(geometry); !wkt.empty() &&
               (geometry_type == "LineString" || geometry_type == "Polygon")) {
      xml_set_attr(item, "type", geometry_type == "LineString" ? "linestring" : "polygon");
      xml_set_attr(item, "wkt", wkt);
    } else {
      xmlFreeNode(item);
      return;
    }
    xml_set_attr(item, "id", item_id(n));
    xml_set_attr(item, "zIndex", "0");
    xmlAddChild(items, item);
  }

  XmlDocument xml_;
  const QgisOrigin& origin_;
  const DocumentPlace& place_;
  std::string map_crs_;
  xmlNode* root_ = nullptr;
  xmlNode* projectlayers_ = nullptr;
  xmlNode* tree_root_ = nullptr;
  bool relative_ = true;
  std::map<std::string, xmlNode*> maplayers_, tree_layers_;
  std::set<xmlNode*> repointed_;  // layers whose source the document set: named from the new folder
  std::set<std::string> seen_;
  size_t added_ = 0;
};

// The skeleton of a new project: title, coordinate system, canvas and path settings.
XmlDocument new_project(const Json& document, const Json& map) {
  XmlDocument xml = XmlDocument::make("qgis");
  xmlNode* root = xml.root();
  xmlCreateIntSubset(root->doc, reinterpret_cast<const xmlChar*>("qgis"),
                     reinterpret_cast<const xmlChar*>("http://mrcc.com/qgis.dtd"),
                     reinterpret_cast<const xmlChar*>("SYSTEM"));
  std::string title = text_member(document, "title");
  xml_set_attr(root, "version", "3.22.16-Białowieża");
  xml_set_attr(root, "projectname", title);
  xml_set_attr(xml_add(root, "homePath"), "path", "");
  xml_add(root, "title", title);
  std::string crs = text_member(map, "spatial_reference");
  add_qgis_crs(xml_add(root, "projectCrs"), crs);
  xml_add(root, "layer-tree-group");
  xmlNode* canvas = xml_add(root, "mapcanvas");
  xml_set_attr(canvas, "name", "theMapCanvas");
  xml_set_attr(canvas, "annotationsVisible", "1");
  if (map.contains("extent") && map["extent"].is_array() && map["extent"].size() == 4) {
    xmlNode* extent = xml_add(canvas, "extent");
    const char* names[] = {"xmin", "ymin", "xmax", "ymax"};
    for (size_t i = 0; i < 4; ++i)
      xml_add(extent, names[i], map["extent"][i].is_number() ? number(map["extent"][i].get<double>()) : "0");
  }
  xml_add(canvas, "rotation", "0");
  add_qgis_crs(xml_add(canvas, "destinationsrs"), crs);
  xml_add(root, "projectlayers");
  xmlNode* properties = xml_add(root, "properties");
  xml_set_attr(xml_add(xml_add(properties, "Paths"), "Absolute", "false"), "type", "bool");
  // QGIS reads <projectCrs> only with this set.
  xml_set_attr(xml_add(xml_add(properties, "SpatialRefSys"), "ProjectionsEnabled", "1"), "type", "int");
  return xml;
}

// The elements of a map's graphics, sub-layers included.
Json all_elements(const Json& map) {
  Json out = Json::array();
  const Json graphics = map.value("graphics", Json::object());
  if (!graphics.is_object()) return out;
  for (const Json& e : graphics.value("elements", Json::array())) out.push_back(e);
  for (const Json& layer : graphics.value("layers", Json::array()))
    if (layer.is_object())
      for (const Json& e : layer.value("elements", Json::array())) out.push_back(e);
  return out;
}

}  // namespace

std::string qgis_project_text(const Json& document, const QgisOrigin& origin, const DocumentPlace& place) {
  const Json maps = document.value("maps", Json::array());
  size_t focus = document.value("focus_map", 0);
  const Json map = focus < maps.size() ? maps[focus] : Json::object();
  XmlDocument xml = origin.xml ? origin.xml->copy() : new_project(document, map);
  ProjectWriter writer(std::move(xml), origin, place, text_member(map, "spatial_reference"));
  writer.layers(map.value("layers", Json::array()), xml_child(writer.xml().root(), "layer-tree-group"));
  if (origin.xml) writer.remove_unseen_layers();
  writer.rebase_sources();
  writer.annotations(all_elements(map));
  return writer.xml().text();
}

void write_qgis_project(const Json& document, const QgisOrigin& origin, const DocumentPlace& place,
                        const std::string& path) {
  std::string text = qgis_project_text(document, origin, place);
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string base = fs::path(path).stem().string();
  // The archive's auxiliary storage is named after its project; the other members keep their
  // names (the project refers to attached files by them).
  const std::string old_base = fs::path(origin.archive_project).stem().string();
  const std::string old_storage = old_base + ".qgd";
  std::vector<QgzMember> others;
  const QgzMember* storage = nullptr;
  if (origin.archive_members) {
    for (const QgzMember& member : *origin.archive_members) {
      if (member.first == old_storage)
        storage = &member;
      else
        others.push_back(member);
    }
  }
  if (ext == ".qgz") {
    std::vector<QgzMember> members{{base + ".qgs", std::move(text)}};
    if (storage) members.emplace_back(base + ".qgd", storage->second);
    members.insert(members.end(), others.begin(), others.end());
    write_file_atomically(path, make_qgz(members));
    return;
  }
  const fs::path folder = fs::path(path).parent_path();
  if (storage) write_file_atomically((folder / (base + ".qgd")).string(), storage->second);
  if (!others.empty()) write_file_atomically((folder / (base + "_attachments.zip")).string(), make_qgz(others));
  write_file_atomically(path, text);
}

}  // namespace gis::carto

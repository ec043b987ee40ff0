#include "document_data.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "gdal_quiet.h"
#include "gis/core.h"
#include "gis/gis.h"
#include "group_layer.h"
#include "other_layer.h"

namespace gis::carto {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The text field a person would pick as the label: one called NAME or LABEL (or holding NAME),
// else the first text field; "" without text fields.
std::string label_field(OGRFeatureDefnH definition) {
  std::vector<std::string> texts;
  for (int i = 0; i < OGR_FD_GetFieldCount(definition); ++i) {
    OGRFieldDefnH field = OGR_FD_GetFieldDefn(definition, i);
    if (OGR_Fld_GetType(field) == OFTString) texts.push_back(OGR_Fld_GetNameRef(field));
  }
  for (const char* wanted : {"NAME", "LABEL", "TITLE"})
    for (const std::string& t : texts)
      if (upper(t) == wanted) return t;
  for (const std::string& t : texts)
    if (upper(t).find("NAME") != std::string::npos) return t;
  return texts.empty() ? "" : texts.front();
}

std::string crs_text(OGRLayerH layer) {
  OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer);
  if (!srs) return "";
  const char* key = OSRIsProjected(srs) ? "PROJCS" : "GEOGCS";
  const char* authority = OSRGetAuthorityName(srs, key);
  const char* code = OSRGetAuthorityCode(srs, key);
  if (authority && code && std::string(authority) == "EPSG") return std::string("EPSG:") + code;
  char* wkt = nullptr;
  OSRExportToWkt(srs, &wkt);
  std::string out = wkt ? wkt : "";
  CPLFree(wkt);
  return out;
}

DataLayer describe(const std::string& path, OGRLayerH layer, bool named, const std::string& argument) {
  DataLayer d;
  d.path = path;
  d.layer = named ? OGR_L_GetName(layer) : "";
  d.name = named ? OGR_L_GetName(layer) : fs::path(path).stem().string();
  OGRwkbGeometryType flat = wkbFlatten(OGR_L_GetGeomType(layer));
  d.geometry = flat == wkbPolygon || flat == wkbMultiPolygon       ? "polygon"
               : flat == wkbLineString || flat == wkbMultiLineString ? "line"
               : flat == wkbPoint || flat == wkbMultiPoint           ? "point"
                                                                     : "";
  if (d.geometry.empty())
    throw DocumentError(argument + ": layer " + OGR_L_GetName(layer) +
                        " has no single kind of geometry (points, lines or polygons)");
  d.display_field = label_field(OGR_L_GetLayerDefn(layer));
  d.crs = crs_text(layer);
  return d;
}

const char* const kPalette[] = {"#E6C85A", "#5A9BD4", "#7AC36A", "#F15A60", "#CE7058", "#9E67AB", "#737373"};

}  // namespace

std::vector<DataLayer> find_data_layers(const std::string& argument) {
  gis::RegisterClasses();
  GDALAllRegister();
  QuietGdalErrors quiet;
  std::error_code ec;
  std::string path = argument, layer_name;
  if (!fs::exists(path, ec)) {
    auto colon = argument.rfind(':');
    if (colon != std::string::npos && colon > 0 && fs::exists(argument.substr(0, colon), ec)) {
      path = argument.substr(0, colon);
      layer_name = argument.substr(colon + 1);
    } else {
      throw DocumentError(argument + ": no such file");
    }
  }
  if (fs::is_directory(path, ec)) throw DocumentError(argument + ": is a folder; name the data files in it");
  path = fs::absolute(path).lexically_normal().string();
  GdalDatasetPtr dataset(
      GDALDataset::FromHandle(GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
  if (!dataset) {
    std::string why = CPLGetLastErrorMsg();
    throw DocumentError(argument + ": not vector data GDAL can read" + (why.empty() ? "" : " (" + why + ")"));
  }
  const int count = GDALDatasetGetLayerCount(dataset.get());
  const bool multi = count > 1 || !layer_name.empty();
  std::vector<DataLayer> out;
  if (!layer_name.empty()) {
    OGRLayerH layer = GDALDatasetGetLayerByName(dataset.get(), layer_name.c_str());
    if (!layer) {
      std::string names;
      for (int i = 0; i < count; ++i)
        names += std::string(names.empty() ? "" : ", ") + OGR_L_GetName(GDALDatasetGetLayer(dataset.get(), i));
      throw DocumentError(argument + ": the file has no layer \"" + layer_name + "\" (it has: " +
                          (names.empty() ? "none" : names) + ")");
    }
    out.push_back(describe(path, layer, true, argument));
    return out;
  }
  for (int i = 0; i < count; ++i) {
    OGRLayerH layer = GDALDatasetGetLayer(dataset.get(), i);
    // A GeoPackage may hold tables without geometry: those are no map layers.
    if (multi && OGR_L_GetGeomType(layer) == wkbNone) continue;
    out.push_back(describe(path, layer, multi, argument));
  }
  if (out.empty()) throw DocumentError(argument + ": holds no vector layer");
  return out;
}

Json data_layer_json(const DataLayer& data, size_t index) {
  std::string color = kPalette[index % (sizeof kPalette / sizeof kPalette[0])];
  Json symbol;
  if (data.geometry == "polygon")
    symbol = {{"type", "fill"}, {"color", color}, {"style", 0},
              {"outline", {{"type", "line"}, {"color", "#404040"}, {"width", 0.5}, {"style", 0}}}};
  else if (data.geometry == "line")
    symbol = {{"type", "line"}, {"color", color}, {"width", 1.5}, {"style", 0}};
  else
    symbol = {{"type", "marker"}, {"color", color}, {"size", 6}, {"style", 0}};
  Json layer = {{"type", "feature"},
                {"name", data.name},
                {"visible", true},
                {"source", {{"path", data.path}, {"layer", data.layer.empty() ? Json(nullptr) : Json(data.layer)}}}};
  if (!data.assigned_crs.empty()) layer["source"]["crs"] = data.assigned_crs;
  if (!data.display_field.empty()) layer["display_field"] = data.display_field;
  layer["renderer"] = {{"type", "simple"}, {"symbol", symbol}};
  return layer;
}

void add_data_layers(Document& document, const std::vector<DataLayer>& data, const std::string& group) {
  if (document.maps.empty()) document.maps.push_back(Map::make());
  Map& map = *document.maps[document.focus];
  std::vector<win32::ComPtr<ILayer>>* target = &map.layers;
  if (!group.empty()) {
    GroupLayer* found = nullptr;
    for (const auto& layer : map.layers)
      if (auto* g = dynamic_cast<GroupLayer*>(layer_node(layer.get())); g && g->name == group) found = g;
    if (!found) {
      auto made = layer_from_json({{"type", "group"}, {"name", group}, {"visible", true}, {"layers", Json::array()}},
                                  group, DocumentPlace{});
      found = dynamic_cast<GroupLayer*>(layer_node(made.get()));
      map.layers.push_back(made);
    }
    target = &found->layers;
  }
  size_t index = 0;
  for (const auto& layer : map.layers) index += layer_node(layer.get()) != nullptr;
  for (const DataLayer& d : data) {
    // New layers are drawn under the ones already there.
    target->push_back(layer_from_json(data_layer_json(d, index++), d.name, DocumentPlace{}));
  }
  for (const DataLayer& d : data) {
    if (map.spatial_reference) break;
    const std::string& crs = d.crs.empty() ? d.assigned_crs : d.crs;
    if (!crs.empty())
      if (auto sr = SpatialReferenceFromText(crs)) map.putref_SpatialReference(sr.get());
  }
}

}  // namespace gis::carto

namespace gis {

bool FindDataLayers(const std::string& argument, std::vector<DataLayer>* layers, std::string* error) {
  try {
    *layers = carto::find_data_layers(argument);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

std::string DataLayerWarning(const DataLayer& layer) {
  if (!layer.crs.empty() || !layer.assigned_crs.empty()) return "";
  const std::string what = layer.path + (layer.layer.empty() ? "" : ":" + layer.layer);
  const std::string ext = carto::upper(std::filesystem::path(layer.path).extension().string());
  return what + (ext == ".SHP" ? " has no .prj" : " names no coordinate system") +
         ": its features will be taken in the map's coordinate system unless it is given its own";
}

win32::ComPtr<IMxDocument> NewMapDocument(const std::string& title, const std::string& crs, std::string* error) {
  try {
    auto document = carto::Document::make();
    document->title = title;
    auto map = carto::Map::make();
    map->name = "Layers";
    if (!crs.empty()) {
      std::string why;
      auto sr = SpatialReferenceFromText(crs, &why);
      if (!sr) throw carto::DocumentError("--crs " + crs + ": " + (why.empty() ? "not a coordinate system" : why));
      map->putref_SpatialReference(sr.get());
    }
    document->maps.push_back(map);
    return document;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

bool RemoveLayer(IMap* map, ILayer* layer) {
  auto* impl = dynamic_cast<carto::Map*>(map);
  if (!impl || !layer) return false;
  auto& layers = impl->layers;
  const auto at = std::find_if(layers.begin(), layers.end(), [layer](const auto& l) { return l.get() == layer; });
  if (at == layers.end()) return false;
  layers.erase(at);
  return true;
}

bool AddDataLayers(IUnknown* document, const std::vector<DataLayer>& layers, const std::string& group,
                   std::string* error) {
  carto::Document* impl = carto::document_impl(document);
  if (!impl) {
    if (error) *error = "not a map document of this program";
    return false;
  }
  try {
    for (const DataLayer& l : layers) {
      std::string why;
      if (!l.assigned_crs.empty() && !SpatialReferenceFromText(l.assigned_crs, &why))
        throw carto::DocumentError("the coordinate system " + l.assigned_crs + " given to " + l.path +
                                   " is none: " + why);
    }
    carto::add_data_layers(*impl, layers, group);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace gis

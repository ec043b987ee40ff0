#include "qgis_gdal.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <ogr_spatialref.h>

#include <memory>

#include "xml_tree.h"

namespace gis::carto {

namespace {

struct CplFree {
  void operator()(void* p) const { CPLFree(p); }
};
using CplText = std::unique_ptr<char, CplFree>;

std::string take(char* text) { return CplText(text) ? std::string(text) : std::string(); }

// The "EPSG:n" of a system that is exactly an EPSG one, else "".
std::string epsg_of(OGRSpatialReference& srs) {
  const char* name = srs.IsProjected() ? "PROJCS" : srs.IsGeographic() ? "GEOGCS" : nullptr;
  const char* authority = srs.GetAuthorityName(name);
  const char* code = srs.GetAuthorityCode(name);
  if (authority && code && std::string(authority) == "EPSG") return std::string("EPSG:") + code;
  return "";
}

struct DatasetClose {
  void operator()(GDALDatasetH d) const { GDALClose(d); }
};

class QuietErrors {
 public:
  QuietErrors() { CPLPushErrorHandler(CPLQuietErrorHandler); }
  ~QuietErrors() { CPLPopErrorHandler(); }
};

}  // namespace

std::string crs_from_qgis(const xmlNode* spatialrefsys) {
  std::string authid = xml_child_text(spatialrefsys, "authid");
  if (authid.rfind("EPSG:", 0) == 0) return authid;
  std::string wkt = xml_child_text(spatialrefsys, "wkt");
  if (!wkt.empty()) return wkt;
  std::string proj4 = xml_child_text(spatialrefsys, "proj4");
  if (proj4.empty()) return "";
  QuietErrors quiet;
  OGRSpatialReference srs;
  if (srs.importFromProj4(proj4.c_str()) != OGRERR_NONE) return "";
  char* text = nullptr;
  srs.exportToWkt(&text);
  return take(text);
}

void add_qgis_crs(xmlNode* parent, const std::string& crs) {
  xmlNode* node = xml_add(parent, "spatialrefsys");
  OGRSpatialReference srs;
  QuietErrors quiet;
  if (crs.empty() || srs.SetFromUserInput(crs.c_str()) != OGRERR_NONE) return;
  xml_set_attr(node, "nativeFormat", "Wkt");
  const char* options[] = {"FORMAT=WKT2_2019", nullptr};
  char* wkt = nullptr;
  srs.exportToWkt(&wkt, options);
  xml_add(node, "wkt", take(wkt));
  char* proj4 = nullptr;
  srs.exportToProj4(&proj4);
  xml_add(node, "proj4", take(proj4));
  std::string epsg = crs.rfind("EPSG:", 0) == 0 ? crs : epsg_of(srs);
  if (!epsg.empty()) {
    xml_add(node, "srid", epsg.substr(5));
    xml_add(node, "authid", epsg);
  }
  xml_add(node, "description", srs.GetName() ? srs.GetName() : "");
  xml_add(node, "geographicflag", srs.IsGeographic() ? "true" : "false");
}

VectorSourceInfo vector_source_info(const std::string& path, const std::string& layer_name) {
  VectorSourceInfo info;
  QuietErrors quiet;
  GDALAllRegister();
  std::unique_ptr<void, DatasetClose> dataset(
      GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!dataset) return info;
  OGRLayerH layer = layer_name.empty() ? GDALDatasetGetLayer(dataset.get(), 0)
                                       : GDALDatasetGetLayerByName(dataset.get(), layer_name.c_str());
  if (!layer) return info;
  OGRwkbGeometryType type = OGR_L_GetGeomType(layer);
  OGRwkbGeometryType flat = wkbFlatten(type);
  info.geometry = flat == wkbPolygon || flat == wkbMultiPolygon           ? "Polygon"
                  : flat == wkbLineString || flat == wkbMultiLineString ? "Line"
                  : flat == wkbPoint || flat == wkbMultiPoint             ? "Point"
                                                                          : "";
  info.wkb_type = OGRGeometryTypeToName(type);
  for (char& c : info.wkb_type)
    if (c == ' ') c = '\0';
  info.wkb_type = info.wkb_type.c_str();
  if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer)) {
    OGRSpatialReference* s = OGRSpatialReference::FromHandle(srs);
    info.crs = epsg_of(*s);
    if (info.crs.empty()) {
      char* wkt = nullptr;
      s->exportToWkt(&wkt);
      info.crs = take(wkt);
    }
  }
  return info;
}

Json geojson_from_wkt(const std::string& wkt) {
  QuietErrors quiet;
  OGRGeometryH geometry = nullptr;
  char* text = const_cast<char*>(wkt.c_str());
  if (OGR_G_CreateFromWkt(&text, nullptr, &geometry) != OGRERR_NONE || !geometry) return nullptr;
  std::string json = take(OGR_G_ExportToJson(geometry));
  OGR_G_DestroyGeometry(geometry);
  Json out = Json::parse(json, nullptr, false);
  return out.is_discarded() ? Json(nullptr) : out;
}

std::string wkt_from_geojson(const Json& geometry) {
  if (!geometry.is_object()) return "";
  QuietErrors quiet;
  OGRGeometryH g = OGR_G_CreateGeometryFromJson(geometry.dump().c_str());
  if (!g) return "";
  char* wkt = nullptr;
  OGR_G_ExportToIsoWkt(g, &wkt);
  OGR_G_DestroyGeometry(g);
  return take(wkt);
}

std::string read_qgz(const std::string& path) {
  QuietErrors quiet;
  const std::string archive = "/vsizip/{" + path + "}";
  char** names = VSIReadDir(archive.c_str());
  std::string member;
  for (char** n = names; n && *n; ++n) {
    std::string name = *n;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".qgs") == 0) {
      member = name;
      break;
    }
  }
  CSLDestroy(names);
  if (member.empty()) throw DocumentError("is not a QGIS project archive: it holds no .qgs file");
  VSILFILE* file = VSIFOpenL((archive + "/" + member).c_str(), "rb");
  if (!file) throw DocumentError("is not a QGIS project archive: " + member + " cannot be read");
  std::string text;
  char buffer[65536];
  size_t n = 0;
  while ((n = VSIFReadL(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  VSIFCloseL(file);
  return text;
}

std::string make_qgz(const std::string& name, const std::string& text) {
  static int counter = 0;
  const std::string memory = "/vsimem/areaclip_qgz_" + std::to_string(++counter) + ".zip";
  void* zip = CPLCreateZip(memory.c_str(), nullptr);
  if (!zip) throw std::runtime_error("cannot make a .qgz archive");
  bool ok = CPLCreateFileInZip(zip, name.c_str(), nullptr) == CE_None &&
            CPLWriteFileInZip(zip, text.data(), static_cast<int>(text.size())) == CE_None &&
            CPLCloseFileInZip(zip) == CE_None;
  ok = CPLCloseZip(zip) == CE_None && ok;
  vsi_l_offset size = 0;
  GByte* bytes = VSIGetMemFileBuffer(memory.c_str(), &size, FALSE);
  std::string out = ok && bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)) : "";
  VSIUnlink(memory.c_str());
  if (out.empty()) throw std::runtime_error("cannot make a .qgz archive");
  return out;
}

}  // namespace gis::carto

#include "qgis_gdal.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <ogr_spatialref.h>

#include <algorithm>
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

namespace {

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB"; }

[[noreturn]] void too_large(std::uint64_t limit) {
  throw DocumentError("is too large: it unpacks to more than " + megabytes(limit) +
                      " (the most a project may hold)");
}

}  // namespace

std::vector<QgzMember> read_zip(const std::string& path, std::uint64_t limit) {
  QuietErrors quiet;
  const std::string archive = "/vsizip/{" + path + "}";
  char** names = VSIReadDirRecursive(archive.c_str());
  std::vector<std::string> members;
  for (char** n = names; n && *n; ++n)
    if (std::string name = *n; !name.empty() && name.back() != '/') members.push_back(name);
  CSLDestroy(names);
  // The sizes the archive declares first, before anything is unpacked…
  std::uint64_t declared = 0;
  for (const std::string& name : members) {
    VSIStatBufL stat;
    if (VSIStatL((archive + "/" + name).c_str(), &stat) == 0) declared += static_cast<std::uint64_t>(stat.st_size);
    if (declared > limit) too_large(limit);
  }
  // …then what the streams really hold, which a forged archive need not match.
  std::vector<QgzMember> out;
  std::uint64_t total = 0;
  for (const std::string& name : members) {
    VSILFILE* file = VSIFOpenL((archive + "/" + name).c_str(), "rb");
    if (!file) throw DocumentError("is not a QGIS project archive: " + name + " cannot be read");
    std::string bytes;
    char buffer[65536];
    size_t n = 0;
    while ((n = VSIFReadL(buffer, 1, sizeof buffer, file)) > 0) {
      total += n;
      if (total > limit) {
        VSIFCloseL(file);
        too_large(limit);
      }
      bytes.append(buffer, n);
    }
    VSIFCloseL(file);
    out.emplace_back(name, std::move(bytes));
  }
  return out;
}

QgzContent read_qgz(const std::string& path, std::uint64_t limit) {
  QgzContent out;
  for (QgzMember& member : read_zip(path, limit)) {
    const std::string& name = member.first;
    bool project = out.project.empty() && name.size() > 4 && name.find('/') == std::string::npos &&
                   name.compare(name.size() - 4, 4, ".qgs") == 0;
    if (project) {
      out.project = name;
      out.text = std::move(member.second);
    } else {
      out.others.push_back(std::move(member));
    }
  }
  if (out.project.empty()) throw DocumentError("is not a QGIS project archive: it holds no .qgs file");
  return out;
}

std::string make_qgz(const std::vector<QgzMember>& members) {
  static int counter = 0;
  const std::string memory = "/vsimem/areaclip_qgz_" + std::to_string(++counter) + ".zip";
  void* zip = CPLCreateZip(memory.c_str(), nullptr);
  if (!zip) throw std::runtime_error("cannot make a .qgz archive");
  bool ok = true;
  for (const auto& [name, bytes] : members) {
    ok = ok && CPLCreateFileInZip(zip, name.c_str(), nullptr) == CE_None;
    // Written in pieces: the zip writer takes an int count.
    for (size_t at = 0; ok && at < bytes.size(); at += size_t(1) << 30) {
      size_t piece = std::min(bytes.size() - at, size_t(1) << 30);
      ok = CPLWriteFileInZip(zip, bytes.data() + at, static_cast<int>(piece)) == CE_None;
    }
    ok = ok && CPLCloseFileInZip(zip) == CE_None;
  }
  ok = CPLCloseZip(zip) == CE_None && ok;
  vsi_l_offset size = 0;
  GByte* bytes = VSIGetMemFileBuffer(memory.c_str(), &size, FALSE);
  std::string out = ok && bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)) : "";
  VSIUnlink(memory.c_str());
  if (out.empty()) throw std::runtime_error("cannot make a .qgz archive");
  return out;
}

std::string vector_layer_name(const std::string& path, int index) {
  QuietErrors quiet;
  GDALAllRegister();
  std::unique_ptr<void, DatasetClose> dataset(
      GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  if (!dataset || index < 0 || index >= GDALDatasetGetLayerCount(dataset.get())) return "";
  OGRLayerH layer = GDALDatasetGetLayer(dataset.get(), index);
  return layer ? OGR_L_GetName(layer) : "";
}

}  // namespace gis::carto

// What the QGIS project reader and writer ask of GDAL: coordinate systems in QGIS's
// <spatialrefsys> form, a vector source's geometry kind and coordinate system, WKT and
// GeoJSON geometries, and .qgz archives (GDAL's zip support).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <libxml/tree.h>

#include "document_json.h"

namespace gis::carto {

// The document's text for a <spatialrefsys> ("EPSG:n", else WKT); "" when it holds none.
std::string crs_from_qgis(const xmlNode* spatialrefsys);
// A new <spatialrefsys> under parent for a document's coordinate system text ("EPSG:n" or
// WKT); an empty one when the text is empty or unknown.
void add_qgis_crs(xmlNode* parent, const std::string& crs);

// A vector source as a new QGIS layer needs it: "Polygon", "Line", "Point" or "" (not
// opened), the WKB type name and the coordinate system ("EPSG:n" or WKT, "" for none).
struct VectorSourceInfo {
  std::string geometry, wkb_type, crs;
};
VectorSourceInfo vector_source_info(const std::string& path, const std::string& layer);

// GeoJSON geometry <-> WKT; null / "" when the input is not a geometry.
Json geojson_from_wkt(const std::string& wkt);
std::string wkt_from_geojson(const Json& geometry);

// The most a project may hold unpacked: the .qgs text, and for a .qgz every member together.
// A project's XML is parsed whole in memory (and copied to be written back), so a small
// archive that unpacks to gigabytes would take all the memory there is; real projects stay
// far below this (a few MiB with their auxiliary storage).
constexpr std::uint64_t kMaxProjectBytes = std::uint64_t(256) << 20;

// One file of a .qgz archive: its name there and its bytes.
using QgzMember = std::pair<std::string, std::string>;
struct QgzContent {
  std::string project;               // the name of the .qgs member
  std::string text;                  // its text
  std::vector<QgzMember> others;     // every other member, in the archive's order
};
// Every file of a zip archive; throws DocumentError, also when the archive unpacks to more
// than limit bytes (by the sizes it declares, or by what its streams really give).
std::vector<QgzMember> read_zip(const std::string& path, std::uint64_t limit);
// The members of a .qgz archive (read_zip's errors, and one for an archive without a .qgs).
QgzContent read_qgz(const std::string& path, std::uint64_t limit = kMaxProjectBytes);
// A .qgz archive holding the members, as bytes.
std::string make_qgz(const std::vector<QgzMember>& members);

// The name of a vector source's layer number index (QGIS's "|layerid=N"); "" when the file
// has no such layer or cannot be opened.
std::string vector_layer_name(const std::string& path, int index);

}  // namespace gis::carto

// What the QGIS project reader and writer ask of GDAL: coordinate systems in QGIS's
// <spatialrefsys> form, a vector source's geometry kind and coordinate system, WKT and
// GeoJSON geometries, and .qgz archives (GDAL's zip support).
#pragma once

#include <string>

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

// The .qgs text inside a .qgz archive; throws DocumentError.
std::string read_qgz(const std::string& path);
// A .qgz archive holding one file `name` with `text`, as bytes.
std::string make_qgz(const std::string& name, const std::string& text);

}  // namespace gis::carto

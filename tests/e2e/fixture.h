// Fixture maps for end-to-end runs: source layers written with GDAL into a temporary
// folder, a map document over them, and readers of what a run wrote.
#pragma once

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <cpl_conv.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fixture {

struct Field {
  std::string name;
  OGRFieldType type;
  int width = 0;
  int precision = 0;
};

struct Feature {
  std::string wkt;
  std::vector<std::string> values;  // one per field, as text; "" for null
};

// Writes a shapefile (or any driver by extension: .geojson, .gpkg) with the given features.
void write_layer(const std::filesystem::path& path, OGRwkbGeometryType type, int epsg,
                 const std::vector<Field>& fields, const std::vector<Feature>& features);

// What an output layer holds.
struct LayerContents {
  bool exists = false;
  long count = 0;
  OGRwkbGeometryType type = wkbUnknown;
  std::vector<std::string> field_names;
  std::vector<std::map<std::string, std::string>> rows;  // field name → value text
  std::vector<std::string> wkt;
  double total_length = 0;
  double total_area = 0;
  std::string srs_wkt;
};
LayerContents read_layer(const std::filesystem::path& path);

// The extent of a layer's features; false when the layer cannot be read.
bool layer_extent(const std::filesystem::path& path, OGREnvelope* extent);

// A result's features of the same class as `type` (points, lines or polygons, single or
// multi-part), as an ogr2ogr -clipsrc comparison counts them: how many, the values of their
// ID field, and the length and area sums of the whole layer.
struct SameClassSummary {
  long count = 0;
  std::set<std::string> ids;
  double length = 0, area = 0;
};
bool same_class(const std::string& wkt, OGRwkbGeometryType type);
SameClassSummary summarize_same_class(const LayerContents& contents, OGRwkbGeometryType type);

// Longitude and latitude of a point given in EPSG:32636.
void utm36_to_lonlat(double x, double y, double* lon, double* lat);

std::string read_file(const std::filesystem::path& path);

}  // namespace fixture

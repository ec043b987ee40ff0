// Entry points of the GIS core (geometry, spatial references, vector data) for the rest of
// the stand-in and the host. Everything the system itself uses goes through the COM
// interfaces of arcobjects/ and CoCreateInstance; these functions serve the document layer,
// the host program and tests.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis {

// Registers the creatable classes of the core with the COM runtime (idempotent).
void RegisterCoreClasses();

// --- spatial references ---
// "EPSG:n", a WKT text, or the contents of a .prj file; empty result and *error set when
// the text describes no coordinate system.
win32::ComPtr<ISpatialReference> SpatialReferenceFromText(const std::string& text, std::string* error = nullptr);
// "EPSG:n" when the system has an EPSG code, otherwise its WKT; "" for null.
std::string SpatialReferenceToText(ISpatialReference* sr);

// --- geometry ---
// A geometry from a GeoJSON geometry object (Point, MultiPoint, LineString,
// MultiLineString, Polygon, MultiPolygon); sr may be null.
win32::ComPtr<IGeometry> GeometryFromGeoJson(const std::string& geojson, ISpatialReference* sr,
                                             std::string* error = nullptr);
std::string GeometryToGeoJson(IGeometry* geometry);
// A geometry from WKT (tests and tools); sr may be null.
win32::ComPtr<IGeometry> GeometryFromWkt(const std::string& wkt, ISpatialReference* sr, std::string* error = nullptr);
std::string GeometryToWkt(IGeometry* geometry);

// --- vector data ---
// Opens a feature class over any GDAL vector source, read-only. path is UTF-8; layer
// names the layer inside a multi-layer source (empty: the first). With `assigned`, the
// data is taken to be in that system whatever the source names (as ogr2ogr -s_srs
// assigns one). With `filter` (an OGR SQL condition), only the features meeting it are
// served. Empty result and *error set when the source cannot be opened.
// While a class of the source is held (and serves all its features), opening the same
// source, layer and filter again, with no system assigned, gives that class as long as the
// source's files keep their sizes and times: one object and one file handle per source, as
// a workspace hands out one object per feature class.
win32::ComPtr<IFeatureClass> OpenFeatureClass(const std::string& path, const std::string& layer,
                                              std::string* error = nullptr, ISpatialReference* assigned = nullptr,
                                              const std::string& filter = "");
// Where a feature class made by the core reads its data from (UTF-8 path, layer name);
// false for feature classes of other origin.
bool FeatureClassSource(IFeatureClass* feature_class, std::string* path, std::string* layer);
// True when the shapefile at path (its .shp) is whole on disk: its .shp, .shx and .dbf are
// there, each as long as its header says, and they hold as many records each.
bool ShapefileWhole(const std::string& path);
// Limits a feature class made by the core to the features with the given object ids, in
// the order given (the source's reading order): Search, FeatureCount and ReadShapes serve
// only those, as if the source held no others; its fields, ids, system, source and
// GetFeature stay as they are. Null ids lift the limit. False for classes of other origin.
bool RestrictFeatures(IFeatureClass* feature_class, std::shared_ptr<const std::vector<LONG>> ids);
// The features of a feature class that may lie in the rectangle {xmin, ymin, xmax, ymax}
// given in the system `in` (null: the class's own): the source's spatial index narrows the
// reading, so a small rectangle reads few features, a few outside may come too. The whole
// class when it is of other origin or the rectangle cannot be taken into its system.
HRESULT SearchFeaturesWithin(IFeatureClass* feature_class, const double box[4], ISpatialReference* in,
                             IFeatureCursor** cursor);

// --- the process's memory ---
// Where the process's allocator is jemalloc (the areaclip program links it and has it give
// freed pages back to the system after 30 ms, for a lower peak of a long cut): keep freed
// pages for reuse for some seconds instead, or go back to the program's delay. A sheet series
// frees and takes the same blocks sheet after sheet; given back each time, they cost more
// in page faults than the sheets' cuts themselves. Nothing with another allocator.
void KeepFreedMemory(bool keep);

// --- drawing ---
// A shape as drawable parts: points (dimension 0), paths (1) or the rings of one area (2),
// coordinates as x, y pairs one after the other.
struct ShapeParts {
  int dimension = -1;
  std::vector<double> xy;
  std::vector<int> part_ends;  // where each part ends, counted in points
};
// The parts of a geometry: one ShapeParts for a point, multipoint, polyline or polygon, one
// for each member of a collection. Empty for null, empty or foreign geometries.
std::vector<ShapeParts> GeometryShapes(IGeometry* geometry);
// The text of a field value as a table shows it ("" for null and empty).
std::string ValueText(const VARIANT& value);
// Called for each feature ReadShapes reads: its shapes and the texts of the fields asked for.
using ShapeVisitor = std::function<void(const std::vector<ShapeParts>& shapes, const std::vector<std::string>& values)>;
// Reads the features of a class for drawing, one at a time, holding none: those that may
// lie in box {xmin, ymin, xmax, ymax} (null: all) given in the system `in`, their shapes taken
// into `in` (null: left in the class's); of the attributes only the fields asked for (by
// index in the class's fields) are read. Features whose shapes cannot be taken into `in` or
// whose coordinates are not finite are left out and counted in *left_out; so are shapes of
// another kind than the class's. A class of other origin is read through its own cursor.
// S_OK, or the failure of opening the source (E_ABORT when cancelled).
HRESULT ReadShapes(IFeatureClass* feature_class, const double* box, ISpatialReference* in,
                   const std::vector<LONG>& fields, const ShapeVisitor& each, long* left_out = nullptr);
// The envelope {xmin, ymin, xmax, ymax} of a class's data in the system `in` (null: its
// own), as its source records it; false when it has none or it cannot be taken into `in`.
bool FeatureClassBounds(IFeatureClass* feature_class, ISpatialReference* in, double box[4]);

// --- changes made to the user's data ---
// What the stand-in changed on the way (a layer without a coordinate system taken in the
// map's, features whose shape is of another class than their layer's or that cannot be
// projected left out, field names shortened, texts cut to their field's width), gathered for
// the shapefile being written when it happened; file is "" for changes made before any.
struct DataChange {
  std::string file;     // absolute path of the output shapefile
  std::string message;  // one line, naming the field or the kind of shape
  long count = 0;       // how many times it happened
};
// The changes gathered on this thread since the last call, in the order first seen.
std::vector<DataChange> TakeDataChanges();
// One more change for the output file (absolute path), found after its data were written:
// what a document that refers to the file cannot follow.
void ReportDataChange(const std::string& file, const std::string& message);
// The fields whose names were shortened when the shapefile `file` (absolute path) was made in
// this process: the name asked for -> the name the file holds. Kept until the file is made
// again (not taken by TakeDataChanges: a document written after the run still needs them).
std::map<std::string, std::string> RenamedFields(const std::string& file);

// --- cancelling ---
// Asks the work under way to stop: from then on reading a feature, storing one and saving
// a document fail with E_ABORT ("cancelled"), so a run ends through its ordinary failure
// path. Safe to call from a signal handler. ResetCancel lets work go on again.
void RequestCancel();
bool CancelRequested();
void ResetCancel();
// Throws the E_ABORT error when a cancel was requested (inside a COM method's guard).
void ThrowIfCancelled();

}  // namespace gis

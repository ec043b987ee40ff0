// Map documents outside COM: loading and saving for the host program and tests, and what
// a document knows of its layers beyond the interfaces (where a layer's data lives).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"

namespace gis {

// Reads the map document at path (UTF-8): a QGIS project (.qgs, .qgz) or the JSON form. On failure: empty result and *error set to one
// line naming the file and the reason (missing, not JSON, another format, a newer version,
// cut short, or the place in the document that is wrong).
win32::ComPtr<IMxDocument> LoadDocument(const std::string& path, std::string* error = nullptr);
// Reads a map document from text as LoadDocument reads a file: relative sources resolve
// against `folder`; the document has no file (DocumentPath gives ""). Errors name "map
// document text".
win32::ComPtr<IMxDocument> LoadDocumentText(std::string_view text, const std::string& folder,
                                            std::string* error = nullptr);

// Writes a document of this stand-in under path, atomically, as a QGIS project when path
// ends in .qgs or .qgz: on failure an existing file
// stays whole and *error says why. Sources inside the file's folder are written relative.
bool SaveDocument(IUnknown* document, const std::string& path, std::string* error = nullptr);

// A run that saves many documents: while deferred, documents (and the other files saved
// whole under their names) are renamed into place whole but not flushed to disk one by one,
// in this process and the processes it forks afterwards; SyncFileSystem then flushes
// everything written on the file system holding folder at once (false with *error when
// the system refuses).
void DeferDocumentSync(bool defer);
bool SyncFileSystem(const std::string& folder, std::string* error = nullptr);

// What a document holds but does not model or cannot use, one line each: parts of a QGIS
// project kept in the project and written back, display and renderer fields its layers'
// data lack, sources that are folders.
std::vector<std::string> DocumentNotes(IUnknown* document);

// True for a document read from a QGIS project (saving it as .qgs or .qgz writes that
// project back with the document's changes).
bool ReadFromQgisProject(IUnknown* document);

// What saving the document as path (a map document .mxd or a QGIS project .qgs/.qgz, by the
// name) does not carry, one line each; empty when it carries everything the document holds.
std::vector<std::string> ConversionLosses(IUnknown* document, const std::string& path);

// The file a document was read from or last saved to (absolute, UTF-8); "" for a new one.
std::string DocumentPath(IUnknown* document);

// --- documents from data files ---
// One vector layer of a data file named on a command line.
struct DataLayer {
  std::string path;           // absolute, UTF-8
  std::string layer;          // the layer inside a multi-layer file; "" for a single-layer file
  std::string name;           // the layer's name in the document
  std::string geometry;       // "polygon", "line" or "point"
  std::string display_field;  // a text field to label features with; "" when there is none
  std::string crs;            // "EPSG:n", WKT, or "" when the data names no system
  // The system the user gives data that names none ("EPSG:n" or WKT; "" for none): kept
  // in the document as the source's "crs" and assigned when the layer is read, as
  // ogr2ogr -s_srs assigns one.
  std::string assigned_crs;
};
// The layers a data argument names: "file" (every vector layer of a multi-layer file such
// as a GeoPackage), or "file.gpkg:layer". False and *error set (naming the argument and why)
// when it cannot be opened, names no layer of the file, or holds none.
bool FindDataLayers(const std::string& argument, std::vector<DataLayer>* layers, std::string* error = nullptr);
// What a person adding the data layer should be told, one line: "" when it has a
// coordinate system (its own or one given to it); otherwise that it names none (a
// shapefile without .prj, say), that its features will be taken in the map's system, and
// how to give it its own. For every program that adds data (areaclip new/add, the window's
// Add data).
std::string DataLayerWarning(const DataLayer& layer);
// A new document with one empty map; crs "EPSG:n", WKT or "" (the first layer added gives it).
win32::ComPtr<IMxDocument> NewMapDocument(const std::string& title, const std::string& crs,
                                          std::string* error = nullptr);
// Appends a feature layer for each data layer to the focus map, into the top-level group
// named group (made when missing) unless group is empty; a simple renderer by geometry and
// the display field each. A map without a system takes the first of these layers' that has
// one (its own or the one given to it). False with *error set when an assigned system
// names none.
bool AddDataLayers(IUnknown* document, const std::vector<DataLayer>& layers, const std::string& group,
                   std::string* error = nullptr);

// Takes a layer added with IMap::AddLayer out of the map's top level again (a layer the
// host added for a while, as a sheet's frame for a cut). False when the map is not one of
// this program's or the layer is not at its top level.
bool RemoveLayer(IMap* map, ILayer* layer);

// Where a layer takes its data. For a feature layer whose source could not be opened,
// open_error says why (the layer then has no feature class).
struct LayerSource {
  std::string path;  // absolute, UTF-8; "" when the layer names none
  std::string layer;
  std::string open_error;
};
// False for layers without a source (groups, graphics) and layers of other origin.
bool GetLayerSource(ILayer* layer, LayerSource* source);

// The document's name for a layer's kind: "feature", "group", "raster", …
std::string LayerType(ILayer* layer);
// The document's name for an element's kind: "text", "marker", "line", "polygon", "rectangle", …
std::string ElementKind(IElement* element);

}  // namespace gis

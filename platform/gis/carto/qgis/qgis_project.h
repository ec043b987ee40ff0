// QGIS projects (.qgs, an XML text; .qgz, a zip archive holding one .qgs) as map documents.
//
// Reading turns a project into the JSON form of a map document (document.h) with one map:
// the project's coordinate system and canvas extent, its layer tree (groups, visibility),
// vector layers read from files through GDAL (shapefiles, GeoPackage layers, GeoJSON, any
// file the "ogr" provider names), raster layers of the "gdal" provider, display expressions
// that name one field, the renderers singleSymbol, categorizedSymbol and graduatedSymbol with
// their first symbol layer as a simple fill, line or marker symbol, and the text, marker,
// line and polygon items of the main annotation layer as graphic elements. Every layer keeps
// its project id ("qgis_id") and every element its item id ("qgis_item"). What this does not
// model is listed in notes and stays in the project's XML, which the document keeps.
//
// Writing goes the other way. A document read from a project is written as that project with
// only what the document changed: layer sources, coordinate systems of re-pointed layers,
// names, visibility, renderer and display fields, removed layers and annotation items; layers
// the project did not hold are added. Any other document is written as a new project. Every
// source keeps the project's path mode (relative or absolute, qgis_sources.h) and names the
// same file from the new project's folder; the field references of a layer re-pointed at a
// shapefile that shortened field names follow the new names. A .qgz keeps its other members
// (auxiliary storage, attached files).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document_json.h"

namespace gis::carto {

class XmlDocument;

// A project as read: its XML, kept for writing it back.
struct QgisOrigin {
  std::shared_ptr<const XmlDocument> xml;  // null for a document not read from a project
  DocumentPlace place;                     // where the project was read from
  // Read from a .qgz: the name of its .qgs member and its other members (name, bytes); read
  // from a .qgs: the files QGIS keeps beside it for them (NAME.qgd, NAME_attachments.zip).
  std::string archive_project;
  std::shared_ptr<const std::vector<std::pair<std::string, std::string>>> archive_members;
  // The project came inside a map document (.mxd) that carries it for the way back.
  bool carried = false;
};

struct QgisRead {
  Json document;  // the map document's JSON
  QgisOrigin origin;
  std::vector<std::string> notes;  // what the document does not model, one line each
};

// True for the file names QGIS gives its projects (.qgs, .qgz; any letter case).
bool is_qgis_path(const std::string& path);

// Reads the project at path; throws DocumentError (the message does not name the file).
QgisRead read_qgis_project(const std::string& path, const DocumentPlace& place);
// Writes the document (its JSON for a file at `place`) as a project at path, atomically; a
// .qgz path gets an archive. origin may be empty. The other members of an archive the
// project was read from go into a .qgz with their names, the auxiliary storage named after
// the new archive (<name>.qgd, as QGIS names it); beside a .qgs they are written as QGIS
// writes them for one: <name>.qgd and <name>_attachments.zip.
void write_qgis_project(const Json& document, const QgisOrigin& origin, const DocumentPlace& place,
                        const std::string& path);
// The project's text for a .qgs file at `place`.
std::string qgis_project_text(const Json& document, const QgisOrigin& origin, const DocumentPlace& place);

}  // namespace gis::carto

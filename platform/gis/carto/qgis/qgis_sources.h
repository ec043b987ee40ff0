// Layer sources and field references as a QGIS project stores them.
//
// A datasource names its file as a plain path, optionally followed by the "ogr" and "gdal"
// providers' options ("./data/x.gpkg|layername=roads|subset=…"), as a file URI followed by a
// query ("file:../data/pts.csv?type=csv&…", delimited text and other providers that read one
// file), or as a SpatiaLite database (dbname='./x.sqlite' table=…). Paths are written as the project's path mode says
// (<properties><Paths><Absolute>): relative to the project's folder ("./a", "../b"), or
// absolute.
//
// Field references are rewritten when a layer's data moved to a file that shortened its
// field names: the filter of its source, expressions (rule filters, data-defined properties,
// the display expression) and plain field names (labels, renderer attributes, field settings).
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <libxml/tree.h>

namespace gis::carto {

// The text with A–Z in lower case: names and extensions compare so.
std::string ascii_lower(std::string text);

// A datasource split around the file it names: prefix + path + rest is the datasource.
struct SourceText {
  std::string prefix;  // "file:" for a file URI, "… dbname='" for a SpatiaLite database, else ""
  std::string path;    // as stored: relative to the project's folder, or absolute; decoded
  std::string rest;    // "|option=…" or "?query", as stored
};
// False when the datasource names no file this can follow (another provider's syntax, a
// database server, a GDAL virtual path). The "ogr", "gdal", "mdal" and "pdal" providers take
// plain paths, "spatialite" a dbname='…'; any provider may take a file URI.
bool split_source(const std::string& provider, const std::string& datasource, SourceText* out);
std::string join_source(const SourceText& source);

// The options of an "ogr" datasource, and the file it names.
struct OgrSource {
  std::string path;
  std::string layername;
  int layerid = -1;  // -1: none
  std::string subset, geometrytype;
  std::vector<std::string> others;  // further options, "key=value" as stored
};
OgrSource parse_ogr_source(const std::string& datasource);
// The layer an "ogr" source reads, its file taken from folder: its layername, else the name of
// its layerid's layer, else "" (the file's only layer). A layerid the file does not have
// gives "layerid=N", which names no layer.
std::string ogr_layer(const OgrSource& source, const std::filesystem::path& folder);

// True when the project stores paths relative to its folder (QGIS's default).
bool relative_paths(const xmlNode* project_root);
// An absolute path as a project in folder stores it: "./a/b", "../b" or the absolute path.
std::string project_path(const std::string& absolute, const std::filesystem::path& folder, bool relative);

// Field names the data now holds under another name (old -> new; a name is matched without
// regard to letter case, as QGIS matches it).
using FieldRenames = std::map<std::string, std::string>;

// The expression with every reference to a renamed field renamed. Returns false (and leaves
// out untouched) when it names a renamed field in a way that cannot be rewritten safely: in a
// text literal (attribute($currentfeature, 'NAME')), or an expression that does not parse.
bool rename_in_expression(const std::string& expression, const FieldRenames& renames, std::string* out);
// The new name of a field, or "" when it was not renamed.
std::string renamed_field(const std::string& field, const FieldRenames& renames);

// Renames the field references in a <maplayer> and its datasource. Expressions that cannot be
// rewritten are kept and listed in unsafe.
void rename_layer_fields(xmlNode* map_layer, const FieldRenames& renames, std::vector<std::string>* unsafe);

}  // namespace gis::carto

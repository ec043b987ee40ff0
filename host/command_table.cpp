// The program's commands with their arguments and options: the one declaration that the
// parsing, --help, the manual pages and the completion are made from.
#include "commands.h"

namespace host {

namespace {

const char kDocMissing[] = "the map document is missing";

const Option kJson = {"--json", nullptr, nullptr,
                      "write the result as one JSON document on standard output (docs/json.md); "
                      "progress and messages go to standard error"};
const Option kSheetCrs = {"--sheet-crs", nullptr, "CRS",
                          "the geographic system the sheets' degrees are taken in (EPSG:n or WKT); "
                          "default: that of the map's datum"};

}  // namespace

const char kVersion[] = "areaclip " AREACLIP_VERSION " (map documents: areaclip-map version 1 and QGIS 3 projects)\n";

const char kProgramNotes[] =
    "  areaclip COMMAND --help | areaclip --version\n"
    "\n"
    "DOC is a map document: the program's JSON form (.mxd) or a QGIS project (.qgs, .qgz).\n"
    "Options take their value as --name value or --name=value. Every command takes --quiet (-q):\n"
    "nothing but errors is printed. Results go to standard output, messages to standard error;\n"
    "with --json (cut, sheets, info, features) standard output holds only one JSON document.\n"
    "exit codes: 0 success, 1 the run failed or was refused (register: the module's registration\n"
    "            failed), 2 bad usage, unreadable input or a module that cannot be loaded, 3 cut:\n"
    "            the result was written but some layers were not cut (listed as \"not cut\"),\n"
    "            130/143 cut: cancelled by SIGINT/SIGTERM\n";

const std::vector<CommandSpec>& command_table() {
  static const std::vector<CommandSpec> commands = {
      {"cut",
       "cut a map document's layers to a polygon feature or to map sheets",
       {"DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR [--json]",
        "DOC --sheet NAME --folder DIR [--sheet-crs CRS] [--json]",
        "DOC --all-sheets SCALE --folder DIR [--sheet-crs CRS] [--resume] [--jobs N] [--json]"},
       "cuts every feature layer of DOC's map to one polygon (a feature of the polygon layer NAME\n"
       "by its label or object id, or a map sheet such as \"M-36-1-Б\", its frame kept as a layer)\n"
       "into shapefiles in DIR, and writes DIR/cross.mxd (and DIR/cross.qgs or DIR/cross.qgz when\n"
       "DOC is such a QGIS project). With --all-sheets, one cut per sheet of SCALE holding features,\n"
       "each into DIR/<sheet>/. A DIR already holding a result document is refused.",
       {{"DOC", kDocMissing}},
       {{"--layer", nullptr, "NAME", "the polygon layer whose feature the cut is made by", Values::kLayer},
        {"--feature", nullptr, "LABEL", "the feature by its label (the layer's display field)"},
        {"--feature-id", nullptr, "OID", "the feature by its object id (areaclip features lists them)"},
        {"--sheet", nullptr, "NAME", "cut to the map sheet NAME", Values::kSheet},
        {"--all-sheets", nullptr, "SCALE",
         "cut once per sheet of SCALE (1:1000000 … 1:2000) holding features of the map", Values::kScale},
        kSheetCrs,
        {"--resume", nullptr, nullptr,
         "with --all-sheets: leave the sheets whose folder holds a whole result as they are, cut the rest"},
        {"--jobs", "-j", "N",
         "with --all-sheets: cut N sheets at a time, each in a process of its own (default: one per processor, up to 8)"},
        {"--folder", nullptr, "DIR", "the result folder, made when missing", Values::kFolder},
        kJson},
       cmd_cut,
       "0 every layer cut, 1 failed or refused (the reason on standard error), 2 bad usage or input,\n"
       "3 written with layers not cut (--all-sheets: some sheet was), 128 + the signal when cancelled."},
      {"sheets",
       "the map sheets of a scale holding a map's features",
       {"DOC --scale SCALE [-o FILE] [--sheet-crs CRS] [--json]"},
       "lists the map sheets of SCALE (1:1000000 … 1:2000) holding features of DOC's map, with\n"
       "their corners, and writes their frames as a polygon layer with -o.",
       {{"DOC", kDocMissing}},
       {{"--scale", nullptr, "SCALE", "the scale of the series", Values::kScale},
        {"--output", "-o", "FILE", "write the frames to FILE (.shp, .gpkg, .geojson); never replaced", Values::kFile},
        kSheetCrs,
        kJson},
       cmd_sheets},
      {"open",
       "the application window: the map, its layers, the extension's toolbar",
       {"[DOC] [--screenshot FILE]"},
       "opens the application window with DOC open (a new document when none): the map, its\n"
       "layers and the extension's toolbar.",
       {{"DOC", nullptr}},
       {{"--screenshot", nullptr, "FILE", "write the window as shown to FILE (.png) and end", Values::kFile}},
       cmd_open},
      {"info",
       "what a map document holds",
       {"DOC [--json]"},
       "what the map document DOC holds: layers, sources, systems, fields, counts, renderers,\n"
       "graphics, and what the program does not model.",
       {{"DOC", kDocMissing}},
       {kJson},
       cmd_info},
      {"features",
       "the features of a polygon layer a cut can be made by",
       {"DOC --layer NAME [--json]"},
       "lists the features of the polygon layer NAME of DOC's map: object id, label (the display\n"
       "field's value), area and extent, for choosing one with cut --feature or --feature-id.",
       {{"DOC", kDocMissing}},
       {{"--layer", nullptr, "NAME", "the polygon layer", Values::kLayer}, kJson},
       cmd_features},
      {"new",
       "a map document with a layer per data set",
       {"DOC DATA... [--layer-crs CRS DATA...] [--crs CRS] [--title TEXT]"},
       "writes the map document DOC (.mxd, or a QGIS project .qgs/.qgz) with one feature layer per\n"
       "data set, in the order given: a shapefile, GeoJSON, any vector file GDAL reads, every layer\n"
       "of a GeoPackage, or one of them as file.gpkg:layer. The map's coordinate system is CRS\n"
       "(EPSG:n or WKT), else that of the first layer that has one. A data set that names no system\n"
       "(a shapefile without .prj) is warned about; --layer-crs CRS gives every such data set named\n"
       "after it (up to the next --layer-crs) that system, kept in the document. Nothing is written\n"
       "when a data set cannot be used.",
       {{"DOC", kDocMissing}, {"DATA", "name at least one data file", true, Values::kFile}},
       {{"--layer-crs", nullptr, "CRS", "the system of the data sets after it that name none"},
        {"--crs", nullptr, "CRS", "the map's coordinate system"},
        {"--title", nullptr, "TEXT", "the document's title"}},
       cmd_new},
      {"add",
       "layers for more data sets added to a map document",
       {"DOC DATA... [--layer-crs CRS DATA...] [--group NAME]"},
       "appends a feature layer per data set (as for areaclip new, --layer-crs too) to the map\n"
       "document DOC, inside the group NAME (made when missing); DOC is replaced atomically, and not\n"
       "at all when a data set cannot be used.",
       {{"DOC", kDocMissing}, {"DATA", "name at least one data file", true, Values::kFile}},
       {{"--layer-crs", nullptr, "CRS", "the system of the data sets after it that name none"},
        {"--group", nullptr, "NAME", "the group layer the new layers go into"}},
       cmd_add},
      {"convert",
       "a map document written as a QGIS project or the other way",
       {"IN OUT [--overwrite]"},
       "writes the map document IN as OUT: a QGIS project (.qgs, .qgz) or the program's JSON\n"
       "document (.mxd), by OUT's name. A project written from a project keeps what the program\n"
       "does not model; a .mxd written from a project carries the project for the way back. What\n"
       "OUT cannot hold is listed as warnings. An existing OUT is replaced only with --overwrite,\n"
       "and only when it is a document of its kind.",
       {{"IN", "the map document to convert is missing"}, {"OUT", "the document to write (OUT) is missing"}},
       {{"--overwrite", nullptr, nullptr, "replace an existing OUT of the same kind"}},
       cmd_convert},
      {"render",
       "a picture of a map document's maps",
       {"DOC -o FILE [--width PIXELS] [--no-legend]"},
       "draws the map of DOC into FILE (.svg, or .png through rsvg-convert).",
       {{"DOC", kDocMissing}},
       {{"--output", "-o", "FILE", "the picture to write (.svg or .png)", Values::kFile},
        {"--width", nullptr, "PIXELS", "the map's width, 100 to 20000 pixels"},
        {"--no-legend", nullptr, nullptr, "draw no legend"}},
       cmd_render},
      {"register",
       "register the extension module",
       {"[--module PATH]"},
       "registers the extension module (default: the program's own) in the registry, as\n"
       "regsvr32 does.",
       {},
       {{"--module", nullptr, "PATH", "the module to register", Values::kFile}},
       cmd_register},
      {"unregister",
       "remove the extension module's registration",
       {"[--module PATH]"},
       "removes the extension module's registration from the registry.",
       {},
       {{"--module", nullptr, "PATH", "the module whose registration is removed", Values::kFile}},
       cmd_unregister},
  };
  return commands;
}

}  // namespace host

// areaclip new / add / convert: map documents made from data files, layers added to one,
// and a document written in the other format (a QGIS project or the program's JSON form).
// A command writes its document only when everything it was given could be used, and
// replaces the file atomically.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "commands.h"
#include "gis/core.h"
#include "gis/document.h"
#include "gis/gis.h"

namespace host {

const char kNewUsage[] =
    "usage: areaclip new DOC DATA... [--layer-crs CRS DATA...] [--crs CRS] [--title TEXT]\n"
    "  writes the map document DOC (.mxd, or a QGIS project .qgs/.qgz) with one feature layer per\n"
    "  data set, in the order given: a shapefile, GeoJSON, any vector file GDAL reads, every layer\n"
    "  of a GeoPackage, or one of them as file.gpkg:layer. The map's coordinate system is CRS\n"
    "  (EPSG:n or WKT), else that of the first layer that has one. A data set that names no system\n"
    "  (a shapefile without .prj) is warned about; --layer-crs CRS gives every such data set named\n"
    "  after it (up to the next --layer-crs) that system, kept in the document. Nothing is written\n"
    "  when a data set cannot be used.\n";
const char kAddUsage[] =
    "usage: areaclip add DOC DATA... [--layer-crs CRS DATA...] [--group NAME]\n"
    "  appends a feature layer per data set (as for areaclip new, --layer-crs too) to the map\n"
    "  document DOC, inside the group NAME (made when missing); DOC is replaced atomically, and not\n"
    "  at all when a data set cannot be used.\n";
const char kConvertUsage[] =
    "usage: areaclip convert IN OUT [--overwrite]\n"
    "  writes the map document IN as OUT: a QGIS project (.qgs, .qgz) or the program's JSON\n"
    "  document (.mxd), by OUT's name. A project written from a project keeps what the program\n"
    "  does not model; a .mxd written from a project carries the project for the way back. What\n"
    "  OUT cannot hold is listed as warnings. An existing OUT is replaced only with --overwrite,\n"
    "  and only when it is a document of its kind.\n";

namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

struct DataArguments {
  std::string document, crs, title, group;
  std::vector<std::string> data;
  std::vector<std::string> layer_crs;  // for each data argument, the --layer-crs before it ("" none)
};

// DOC DATA... with the options named in allowed ("--crs", "--title", "--group") and
// --layer-crs, which applies to the data arguments after it.
bool parse(int argc, char** argv, const std::vector<std::string>& allowed, DataArguments* a, std::string* error) {
  std::string layer_crs;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    bool known = arg == "--layer-crs";
    for (const std::string& option : allowed) known = known || arg == option;
    if (known) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      std::string value = argv[++i];
      (arg == "--layer-crs" ? layer_crs : arg == "--crs" ? a->crs : arg == "--title" ? a->title : a->group) = value;
      std::string why;
      if (arg == "--layer-crs") gis::RegisterClasses();
      if (arg == "--layer-crs" && !gis::SpatialReferenceFromText(value, &why)) {
        *error = "--layer-crs " + value + " names no coordinate system" + (why.empty() ? "" : ": " + why);
        return false;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option '" + arg + "'";
      return false;
    } else if (a->document.empty()) {
      a->document = arg;
    } else {
      a->data.push_back(arg);
      a->layer_crs.push_back(layer_crs);
    }
  }
  if (a->document.empty()) *error = "the map document is missing";
  else if (a->data.empty()) *error = "name at least one data file";
  return error->empty();
}

// Every layer the data arguments name, with the systems --layer-crs gives those that name
// none; false (after printing why) when one cannot be used. A layer left without a system
// is warned about.
bool find_all(const DataArguments& a, std::vector<gis::DataLayer>* layers) {
  bool ok = true;
  for (size_t k = 0; k < a.data.size(); ++k) {
    std::vector<gis::DataLayer> found;
    std::string error;
    if (!gis::FindDataLayers(a.data[k], &found, &error)) {
      std::fprintf(stderr, "areaclip: %s\n", error.c_str());
      ok = false;
      continue;
    }
    for (gis::DataLayer& l : found) {
      if (l.crs.empty()) l.assigned_crs = a.layer_crs[k];
      else if (!a.layer_crs[k].empty())
        std::fprintf(stderr, "areaclip: note: %s keeps its own coordinate system %s (--layer-crs is for data that "
                             "names none)\n", l.path.c_str(), l.crs.size() < 40 ? l.crs.c_str() : "");
      const std::string warning = gis::DataLayerWarning(l);
      if (!warning.empty())
        std::fprintf(stderr, "areaclip: warning: %s (--layer-crs CRS before it)\n", warning.c_str());
    }
    layers->insert(layers->end(), found.begin(), found.end());
  }
  return ok;
}

int save(IUnknown* document, const std::string& path, const std::vector<gis::DataLayer>& added) {
  std::string error;
  if (!gis::SaveDocument(document, path, &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 1;
  }
  for (const gis::DataLayer& l : added)
    std::printf("  + %-30s %s%s%s\n", l.name.c_str(), l.path.c_str(), l.layer.empty() ? "" : ":", l.layer.c_str());
  std::printf("wrote %s\n", path.c_str());
  return 0;
}

}  // namespace

int cmd_new(int argc, char** argv) {
  DataArguments a;
  std::string error;
  if (!parse(argc, argv, {"--crs", "--title"}, &a, &error)) return usage_error("%s\n%s", error.c_str(), kNewUsage);
  std::error_code ec;
  if (fs::exists(a.document, ec))
    return usage_error("%s exists already (areaclip add adds layers to it)", a.document.c_str());
  gis::RegisterClasses();
  std::vector<gis::DataLayer> layers;
  if (!find_all(a, &layers)) return usage_error("nothing was written");
  ComPtr<IMxDocument> document = gis::NewMapDocument(a.title, a.crs, &error);
  if (!document) return usage_error("%s", error.c_str());
  if (!gis::AddDataLayers(document.get(), layers, "", &error)) return usage_error("%s", error.c_str());
  return save(document.get(), a.document, layers);
}

int cmd_add(int argc, char** argv) {
  DataArguments a;
  std::string error;
  if (!parse(argc, argv, {"--group"}, &a, &error)) return usage_error("%s\n%s", error.c_str(), kAddUsage);
  gis::RegisterClasses();
  ComPtr<IMxDocument> document = gis::LoadDocument(a.document, &error);
  if (!document) return usage_error("%s", error.c_str());
  std::vector<gis::DataLayer> layers;
  if (!find_all(a, &layers)) return usage_error("nothing was written");
  if (!gis::AddDataLayers(document.get(), layers, a.group, &error)) return usage_error("%s", error.c_str());
  return save(document.get(), a.document, layers);
}

int cmd_convert(int argc, char** argv) {
  std::vector<std::string> files;
  bool overwrite = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--overwrite")
      overwrite = true;
    else if (!arg.empty() && arg[0] == '-')
      return usage_error("unknown option '%s'\n%s", arg.c_str(), kConvertUsage);
    else
      files.push_back(arg);
  }
  if (files.size() != 2) return usage_error("%s", kConvertUsage);
  const std::string& in = files[0];
  const std::string& out = files[1];
  std::string ext = fs::path(out).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != ".mxd" && ext != ".qgs" && ext != ".qgz")
    return usage_error("%s: OUT must be a map document (.mxd) or a QGIS project (.qgs, .qgz)", out.c_str());
  gis::RegisterClasses();
  std::string error;
  ComPtr<IMxDocument> document = gis::LoadDocument(in, &error);
  if (!document) return usage_error("%s", error.c_str());
  std::error_code ec;
  if (fs::exists(fs::symlink_status(out, ec))) {
    if (fs::equivalent(in, out, ec)) return usage_error("%s is the document being converted: name another file", out.c_str());
    if (!overwrite) return usage_error("%s exists already (--overwrite replaces it)", out.c_str());
    // Only a document of OUT's kind is replaced: never a data file or another kind of file.
    std::string reason;
    if (fs::is_directory(out, ec) || !gis::LoadDocument(out, &reason))
      return usage_error("%s exists and is not a %s: it is not replaced", out.c_str(),
                         ext == ".mxd" ? "map document" : "QGIS project");
  }
  for (const std::string& note : gis::DocumentNotes(document.get()))
    std::fprintf(stderr, "areaclip: note: %s\n", note.c_str());
  if (gis::ReadFromQgisProject(document.get()) && ext == ".mxd" && !gis::DocumentNotes(document.get()).empty())
    std::fprintf(stderr, "areaclip: note: what the project holds beyond the map document goes along in %s and "
                 "comes back when it is written as a project\n", out.c_str());
  for (const std::string& loss : gis::ConversionLosses(document.get(), out))
    std::fprintf(stderr, "areaclip: warning: %s\n", loss.c_str());
  return save(document.get(), out, {});
}

}  // namespace host

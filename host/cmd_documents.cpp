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

namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

struct DataArguments {
  std::string document, crs, title, group;
  std::vector<std::string> data;
  std::vector<std::string> layer_crs;  // for each data argument, the --layer-crs before it ("" none)
};

// DOC DATA... with --layer-crs, which applies to the data arguments after it, and the
// command's other options.
bool data_arguments(const Arguments& args, DataArguments* a, std::string* error) {
  std::string layer_crs;
  for (const Arguments::Item& item : args.items) {
    if (item.option == "--layer-crs") {
      layer_crs = item.value;
      gis::RegisterClasses();
      std::string why;
      if (!gis::SpatialReferenceFromText(layer_crs, &why)) {
        *error = "--layer-crs " + layer_crs + " names no coordinate system" + (why.empty() ? "" : ": " + why);
        return false;
      }
    } else if (item.option.empty() && a->document.empty()) {
      a->document = item.value;
    } else if (item.option.empty()) {
      a->data.push_back(item.value);
      a->layer_crs.push_back(layer_crs);
    }
  }
  a->crs = args.value("--crs");
  a->title = args.value("--title");
  a->group = args.value("--group");
  return true;
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
        note("areaclip: note: %s keeps its own coordinate system %s (--layer-crs is for data that names none)",
             l.path.c_str(), l.crs.size() < 40 ? l.crs.c_str() : "");
      const std::string warning = gis::DataLayerWarning(l);
      if (!warning.empty())
        note("areaclip: warning: %s (--layer-crs CRS before it)", warning.c_str());
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

int cmd_new(const Arguments& args) {
  DataArguments a;
  std::string error;
  if (!data_arguments(args, &a, &error)) return usage_error("%s\n%s", error.c_str(), usage_text(*args.command).c_str());
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

int cmd_add(const Arguments& args) {
  DataArguments a;
  std::string error;
  if (!data_arguments(args, &a, &error)) return usage_error("%s\n%s", error.c_str(), usage_text(*args.command).c_str());
  ComPtr<IMxDocument> document = open_document(a.document);
  if (!document) return 2;
  std::vector<gis::DataLayer> layers;
  if (!find_all(a, &layers)) return usage_error("nothing was written");
  if (!gis::AddDataLayers(document.get(), layers, a.group, &error)) return usage_error("%s", error.c_str());
  return save(document.get(), a.document, layers);
}

int cmd_convert(const Arguments& args) {
  const std::vector<std::string> files = args.positionals();
  const bool overwrite = args.has("--overwrite");
  const std::string& in = files[0];
  const std::string& out = files[1];
  std::string ext = fs::path(out).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext != ".mxd" && ext != ".qgs" && ext != ".qgz")
    return usage_error("%s: OUT must be a map document (.mxd) or a QGIS project (.qgs, .qgz)", out.c_str());
  ComPtr<IMxDocument> document = open_document(in);
  if (!document) return 2;
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
    host::note("areaclip: note: %s", note.c_str());
  if (gis::ReadFromQgisProject(document.get()) && ext == ".mxd" && !gis::DocumentNotes(document.get()).empty())
    note("areaclip: note: what the project holds beyond the map document goes along in %s and comes back when it "
         "is written as a project", out.c_str());
  for (const std::string& loss : gis::ConversionLosses(document.get(), out))
    note("areaclip: warning: %s", loss.c_str());
  return save(document.get(), out, {});
}

}  // namespace host

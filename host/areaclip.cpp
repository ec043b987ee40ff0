// areaclip: the host application. It plays the part of the desktop GIS for the extension.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include <oaidl.h>
#include <oleauto.h>
#include <win32/com_object.h>

#include "commands.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n"
    "                               cut the open map DOC to one polygon feature into DIR\n"
    "  areaclip cut DOC --sheet NAME --folder DIR [--sheet-crs CRS]\n"
    "                               cut it to a map sheet (\"M-36-1-Б\"), its frame kept as a layer\n"
    "  areaclip cut DOC --all-sheets SCALE --folder DIR [--sheet-crs CRS]\n"
    "                               cut it once per sheet of SCALE holding features, into DIR/<sheet>/\n"
    "  areaclip sheets DOC --scale SCALE [-o FILE] [--sheet-crs CRS]\n"
    "                               the sheets of SCALE (1:1000000 … 1:10000) holding the map's features\n"
    "  areaclip open [DOC]          the application window: the map, its layers, the extension's toolbar\n"
    "  areaclip info DOC            layers, sources, feature counts, renderers, graphics\n"
    "  areaclip features DOC --layer NAME\n"
    "                               ids, labels, areas and extents of a polygon layer's features\n"
    "  areaclip new DOC DATA... [--crs CRS] [--title TEXT]\n"
    "                               a map document (.mxd, .qgs, .qgz) with a layer per data set\n"
    "  areaclip add DOC DATA... [--group NAME]\n"
    "                               layers for more data sets added to a map document\n"
    "  areaclip convert IN OUT      a map document written as a QGIS project or the other way\n"
    "  areaclip render DOC -o FILE [--width PIXELS] [--no-legend]\n"
    "                               map picture (.svg, or .png through rsvg-convert)\n"
    "  areaclip register | unregister [--module PATH]\n"
    "\n"
    "  areaclip COMMAND --help | areaclip --version\n"
    "\n"
    "DOC is a map document: the program's JSON form (.mxd) or a QGIS project (.qgs, .qgz).\n"
    "Options take their value as --name value or --name=value.\n"
    "exit codes: 0 success, 1 the run failed or was refused (register: the module's registration\n"
    "            failed), 2 bad usage, unreadable input or a module that cannot be loaded, 3 cut:\n"
    "            the result was written but some layers were not cut (listed as \"not cut\"),\n"
    "            130/143 cut: cancelled by SIGINT/SIGTERM\n";

const char kVersion[] = "areaclip 1.1 (map documents: areaclip-map version 1 and QGIS 3 projects)\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* usage;  // printed for COMMAND --help
};

const Command kCommands[] = {
    {"cut", host::cmd_cut,
     "usage: areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n"
     "       areaclip cut DOC --sheet NAME --folder DIR [--sheet-crs CRS]\n"
     "       areaclip cut DOC --all-sheets SCALE --folder DIR [--sheet-crs CRS]\n"
     "  cuts every feature layer of DOC's map to one polygon (a feature of the polygon layer NAME\n"
     "  by its label or object id, or a map sheet) into shapefiles in DIR, and writes DIR/cross.mxd\n"
     "  (and DIR/cross.qgs or DIR/cross.qgz when DOC is such a QGIS project). A DIR already holding\n"
     "  a result document is refused. Exit 0 every layer cut, 1 failed or refused (the reason on\n"
     "  standard error), 2 bad usage or input, 3 written with layers not cut (--all-sheets: some\n"
     "  sheet was), 128 + the signal when cancelled.\n"},
    {"sheets", host::cmd_sheets,
     "usage: areaclip sheets DOC --scale SCALE [-o FILE] [--sheet-crs CRS]\n"
     "  the map sheets of SCALE (1:1000000 … 1:10000) holding the map's features\n"},
    {"open", host::cmd_open,
     "usage: areaclip open [DOC] [--screenshot FILE]\n"
     "  the application window with DOC open (a new document when none): the map, its layers and\n"
     "  the extension's toolbar. --screenshot writes the window as shown to FILE (.png) and ends.\n"},
    {"info", host::cmd_info,
     "usage: areaclip info DOC\n"
     "  what the map document DOC holds: layers, sources, systems, fields, counts, renderers,\n"
     "  graphics, and what the program does not model\n"},
    {"features", host::cmd_features, host::kFeaturesUsage},
    {"new", host::cmd_new, host::kNewUsage},
    {"add", host::cmd_add, host::kAddUsage},
    {"convert", host::cmd_convert, host::kConvertUsage},
    {"render", host::cmd_render,
     "usage: areaclip render DOC -o FILE [--width PIXELS] [--no-legend]\n"
     "  draws the map of DOC into FILE (.svg, or .png through rsvg-convert)\n"},
    {"register", host::cmd_register,
     "usage: areaclip register [--module PATH]\n"
     "  registers the extension module (default: the one beside the program) in the registry\n"},
    {"unregister", host::cmd_unregister,
     "usage: areaclip unregister [--module PATH]\n"
     "  removes the extension module's registration from the registry\n"},
};

// The arguments after the command with every "--name=value" given as "--name" "value".
std::vector<std::string> split_options(int argc, char** argv) {
  std::vector<std::string> out;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos && equals > 2) {
      out.push_back(arg.substr(0, equals));
      out.push_back(arg.substr(equals + 1));
    } else {
      out.push_back(arg);
    }
  }
  return out;
}

}  // namespace

namespace host {

int usage_error(const char* format, ...) {
  std::fputs("areaclip: ", stderr);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return 2;
}

}  // namespace host

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::fputs(kVersion, stdout);
    return 0;
  }
  std::string command = argv[1];
  for (const Command& c : kCommands) {
    if (command != c.name) continue;
    std::vector<std::string> args = split_options(argc - 2, argv + 2);
    for (const std::string& arg : args)
      if (arg == "--help" || arg == "-h") {
        std::fputs(c.usage, stdout);
        return 0;
      }
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    int code = c.run(static_cast<int>(args.size()), pointers.data());
    // With AREACLIP_CHECK_RELEASES set (the tests set it), every COM object and string the
    // command made must be gone once it returns; a leak is exit code 4.
    if (const char* check = std::getenv("AREACLIP_CHECK_RELEASES"); check && *check) {
      SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
      const long objects = win32::ComObjectsAlive();
      const long strings = SysStringsOutstanding();
      if (objects != 0 || strings != 0) {
        std::fprintf(stderr, "areaclip: %ld COM objects and %ld strings were never released\n", objects, strings);
        return 4;
      }
    }
    return code;
  }
  std::fprintf(stderr, "areaclip: unknown command '%s'\n%s", command.c_str(), kUsage);
  return 2;
}

// areaclip: the host application. It plays the part of the desktop GIS for the extension.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

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
    "  areaclip info DOC            layers, sources, feature counts, renderers, graphics\n"
    "  areaclip render DOC -o FILE [--width PIXELS] [--no-legend]\n"
    "                               map picture (.svg, or .png through rsvg-convert)\n"
    "  areaclip register | unregister [--module PATH]\n"
    "\n"
    "exit codes: 0 success, 1 the run failed (register: the module's registration failed),\n"
    "            2 bad usage, unreadable input or a module that cannot be loaded\n";

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

const Command kCommands[] = {
    {"cut", host::cmd_cut},
    {"sheets", host::cmd_sheets},
    {"info", host::cmd_info},
    {"render", host::cmd_render},
    {"register", host::cmd_register},
    {"unregister", host::cmd_unregister},
};

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
  std::string command = argv[1];
  for (const Command& c : kCommands) {
    if (command != c.name) continue;
    int code = c.run(argc - 2, argv + 2);
    // With AREACLIP_CHECK_RELEASES set (the tests set it), every COM object and string the
    // command made must be gone once it returns; a leak is exit code 3.
    if (const char* check = std::getenv("AREACLIP_CHECK_RELEASES"); check && *check) {
      SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
      const long objects = win32::ComObjectsAlive();
      const long strings = SysStringsOutstanding();
      if (objects != 0 || strings != 0) {
        std::fprintf(stderr, "areaclip: %ld COM objects and %ld strings were never released\n", objects, strings);
        return 3;
      }
    }
    return code;
  }
  std::fprintf(stderr, "areaclip: '%s' is not available in this build\n%s", command.c_str(), kUsage);
  return 2;
}

// areaclip: the host application. It plays the part of the desktop GIS for the extension.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage:\n"
    "  areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n"
    "                               cut the open map DOC to one polygon feature into DIR\n"
    "  areaclip info DOC            layers, sources, feature counts, renderers, graphics\n"
    "  areaclip render DOC -o FILE  map picture (.svg or .png)\n"
    "  areaclip register | unregister [--module PATH]\n"
    "\n"
    "exit codes: 0 success, 1 the run failed, 2 bad usage or unreadable input\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  std::string command = argv[1];
  std::fprintf(stderr, "areaclip: '%s' is not available in this build\n%s", command.c_str(), kUsage);
  return 2;
}

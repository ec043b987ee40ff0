// areaclip sheets DOC --scale SCALE [-o FILE] [--sheet-crs CRS]: the sheets of a scale that
// hold features of the map, listed, and written as a layer of frames with -o.
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include <gis/document.h>
#include <gis/sheets.h>

#include "commands.h"
#include "sheet_cut.h"
#include "sheet_frame.h"

namespace {

using win32::ComPtr;

const char kSheetsUsage[] = "usage: areaclip sheets DOC --scale SCALE [-o FILE] [--sheet-crs CRS]\n";

struct Arguments {
  std::string document, scale, output, sheet_crs;
};

bool parse(int argc, char** argv, Arguments* a, std::string* error) {
  for (int i = 0; i < argc; ++i) {
    // "--name=value" reaches the command as "--name" "value".
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    if (arg == "--scale") {
      if (!value(&a->scale)) return false;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(&a->output)) return false;
    } else if (arg == "--sheet-crs") {
      if (!value(&a->sheet_crs)) return false;
    } else if (a->document.empty() && !arg.empty() && arg[0] != '-') {
      a->document = arg;
    } else {
      *error = "unexpected argument '" + std::string(argv[i]) + "'";
      return false;
    }
  }
  if (a->document.empty()) *error = "the map document is missing";
  else if (a->scale.empty()) *error = "--scale is missing";
  return error->empty();
}

}  // namespace

namespace host {

int cmd_sheets(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!parse(argc, argv, &args, &error)) {
    std::fprintf(stderr, "areaclip sheets: %s\n%s", error.c_str(), kSheetsUsage);
    return 2;
  }
  gis::SheetScale scale;
  if (!gis::ParseSheetScale(args.scale, &scale)) {
    std::fprintf(stderr, "areaclip sheets: --scale takes a scale of the series (1:1000000, 1:500000, 1:200000, "
                         "1:100000, 1:50000, 1:25000, 1:10000, 1:5000, 1:2000), not '%s'\n", args.scale.c_str());
    return 2;
  }
  std::error_code ec;
  if (!args.output.empty() && std::filesystem::exists(args.output, ec)) {
    std::fprintf(stderr, "areaclip sheets: %s exists already; it is never replaced\n", args.output.c_str());
    return 2;
  }
  ComPtr<IMxDocument> document = gis::LoadDocument(args.document, &error);
  ComPtr<IMap> map;
  if (document) document->get_FocusMap(map.put());
  if (!map) {
    std::fprintf(stderr, "areaclip: %s\n", document ? (args.document + " has no map").c_str() : error.c_str());
    return 2;
  }
  ComPtr<ISpatialReference> degrees = sheet_degrees_system(map.get(), args.sheet_crs, &error);
  ComPtr<ISpatialReference> map_sr;
  map->get_SpatialReference(map_sr.put());
  std::vector<gis::MapSheet> sheets;
  if (!degrees || !sheets_of_map(map.get(), scale, degrees.get(), &sheets, &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  for (const gis::MapSheet& s : sheets)
    std::printf("%s\t%s – %s\t%s – %s\n", s.name.c_str(), degrees_text(s.corners.south, true).c_str(),
                degrees_text(s.corners.north, true).c_str(), degrees_text(s.corners.west, false).c_str(),
                degrees_text(s.corners.east, false).c_str());
  std::fprintf(stderr, "%zu %s sheets hold features of the map\n", sheets.size(), gis::ScaleText(scale).c_str());
  if (!args.output.empty()) {
    if (!map_sr) {
      std::fprintf(stderr, "areaclip: the map has no coordinate system to write the sheets in\n");
      return 2;
    }
    if (!gis::WriteSheetLayer(args.output, sheets, degrees.get(), map_sr.get(), &error)) {
      std::fprintf(stderr, "areaclip: %s\n", error.c_str());
      return 1;
    }
    std::fprintf(stderr, "sheets written to %s\n", args.output.c_str());
  }
  return 0;
}

}  // namespace host

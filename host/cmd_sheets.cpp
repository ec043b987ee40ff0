// areaclip sheets DOC --scale SCALE [-o FILE] [--sheet-crs CRS] [--json]: the sheets of a scale that
// hold features of the map, listed, and written as a layer of frames with -o.
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <string>
#include <vector>

#include <gis/document.h>
#include <gis/sheets.h>

#include "commands.h"
#include "cli_json.h"
#include "sheet_cut.h"
#include "sheet_frame.h"

namespace host {

using win32::ComPtr;

int cmd_sheets(const Arguments& args) {
  const std::string document_path = args.positionals().front(), scale_text = args.value("--scale");
  const std::string output = args.value("--output"), sheet_crs = args.value("--sheet-crs");
  if (scale_text.empty()) {
    std::fprintf(stderr, "areaclip sheets: --scale is missing\n%s", usage_text(*args.command).c_str());
    return 2;
  }
  gis::SheetScale scale;
  if (!gis::ParseSheetScale(scale_text, &scale)) {
    std::fprintf(stderr, "areaclip sheets: --scale takes a scale of the series (1:1000000, 1:500000, 1:200000, "
                         "1:100000, 1:50000, 1:25000, 1:10000, 1:5000, 1:2000), not '%s'\n", scale_text.c_str());
    return 2;
  }
  std::error_code ec;
  if (!output.empty() && std::filesystem::exists(output, ec)) {
    std::fprintf(stderr, "areaclip sheets: %s exists already; it is never replaced\n", output.c_str());
    return 2;
  }
  ComPtr<IMxDocument> document;
  ComPtr<IMap> map = open_focus_map(document_path, &document);
  if (!map) return 2;
  std::string error;
  ComPtr<ISpatialReference> degrees = sheet_degrees_system(map.get(), sheet_crs, &error);
  ComPtr<ISpatialReference> map_sr;
  map->get_SpatialReference(map_sr.put());
  std::vector<gis::MapSheet> sheets;
  if (!degrees || !sheets_of_map(map.get(), scale, degrees.get(), &sheets, &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 2;
  }
  if (!args.json())
    for (const gis::MapSheet& s : sheets)
      std::printf("%s\t%s – %s\t%s – %s\n", s.name.c_str(), degrees_text(s.corners.south, true).c_str(),
                  degrees_text(s.corners.north, true).c_str(), degrees_text(s.corners.west, false).c_str(),
                  degrees_text(s.corners.east, false).c_str());
  note("%zu %s sheets hold features of the map", sheets.size(), gis::ScaleText(scale).c_str());
  if (!output.empty()) {
    if (!map_sr) {
      std::fprintf(stderr, "areaclip: the map has no coordinate system to write the sheets in\n");
      return 2;
    }
    if (!gis::WriteSheetLayer(output, sheets, degrees.get(), map_sr.get(), &error)) {
      std::fprintf(stderr, "areaclip: %s\n", error.c_str());
      return 1;
    }
    note("sheets written to %s", output.c_str());
  }
  if (args.json()) {
    JsonWriter json;
    json.begin_object().key("format").string("areaclip-sheets/1").key("document").string(document_path);
    json.key("scale").string("1:" + std::to_string(gis::ScaleDenominator(scale))).key("sheets").begin_array();
    for (const gis::MapSheet& s : sheets)
      json.begin_object().key("name").string(s.name).key("south").real(s.corners.south).key("north")
          .real(s.corners.north).key("west").real(s.corners.west).key("east").real(s.corners.east).end_object();
    json.end_array().end_object();
    std::fputs(json.text().c_str(), json_output());
  }
  return 0;
}

}  // namespace host

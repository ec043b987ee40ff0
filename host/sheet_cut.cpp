// Cuts by map sheet. The frame of each sheet goes into the open map as a layer of its own
// (sheet_frame.h), and the cut runs through the extension's dialog exactly as a cut by a
// polygon the user picked (hosted_cut.h).
#include "sheet_cut.h"

#include <signal.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include <gis/core.h>
#include <gis/document.h>
#include <gis/sheets.h>

#include "commands.h"
#include "cut_json.h"
#include "hosted_cut.h"
#include "sheet_frame.h"

namespace host {

namespace fs = std::filesystem;
using win32::ComPtr;

namespace {

// AREACLIP_SHEET_BY_SHEET=1 (for comparing in benchmarks): each sheet's cut reads every
// feature of the map again, as a cut of one named sheet does.
bool every_feature_per_sheet() {
  const char* value = std::getenv("AREACLIP_SHEET_BY_SHEET");
  return value && *value && std::string(value) != "0";
}

struct SheetRow {
  std::string sheet;
  long features = -1;  // written, without the frame; -1 when the sheet was not cut
  std::string result;
  std::string folder;
  int status = -1;  // the sheet's cut's exit status; -1 when it was not tried
  CutSummary summary;
};

// The run of one cut by a sheet in the JSON form of the cut command.
void print_sheet_json(const std::string& document, const std::string& sheet, const CutSummary& summary) {
  JsonWriter json;
  json.begin_object().key("format").string(kCutJsonFormat).key("kind").string("cut");
  json.key("document").string(document).key("by").begin_object().key("sheet").string(sheet).end_object();
  json.key("cut");
  write_cut_json(summary, &json);
  json.key("status").number(summary.status).end_object();
  std::fputs(json.text().c_str(), json_output());
}

// The run by every sheet of a scale in the JSON form of the cut command; failure says why
// it ended before any sheet was cut.
void print_sheets_json(const std::string& document, const std::string& scale, const std::string& folder,
                       const std::vector<SheetRow>& rows, const std::vector<std::string>& failure, int status) {
  JsonWriter json;
  json.begin_object().key("format").string(kCutJsonFormat).key("kind").string("sheets");
  json.key("document").string(document).key("scale").string(scale).key("folder").string(folder);
  json.key("sheets").begin_array();
  for (const SheetRow& r : rows) {
    json.begin_object().key("sheet").string(r.sheet).key("folder").string(r.folder).key("status");
    if (r.status < 0) json.null();
    else json.number(r.status);
    json.key("features_written");
    if (r.features < 0) json.null();
    else json.number(r.features);
    json.key("cut");
    if (r.status < 0) json.null();
    else write_cut_json(r.summary, &json);
    json.end_object();
  }
  json.end_array().key("failure").strings(failure).key("status").number(status).end_object();
  std::fputs(json.text().c_str(), json_output());
}

// Characters, not bytes: sheet names hold Cyrillic letters.
size_t chars(const std::string& utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

void print_table(const std::vector<SheetRow>& rows) {
  size_t width = 5;
  for (const SheetRow& r : rows) width = std::max(width, chars(r.sheet));
  std::printf("\n%-*s  %10s  %s\n", static_cast<int>(width), "sheet", "features", "result");
  for (const SheetRow& r : rows) {
    const std::string count = r.features < 0 ? "-" : std::to_string(r.features);
    std::printf("%s%*s  %10s  %s\n", r.sheet.c_str(), static_cast<int>(width - chars(r.sheet)), "", count.c_str(),
                r.result.c_str());
  }
}

}  // namespace

std::string degrees_text(double value, bool latitude) {
  const char hemisphere = latitude ? (value < 0 ? 'S' : 'N') : (value < 0 ? 'W' : 'E');
  long seconds = std::lround(std::fabs(value) * 3600.0);
  char text[48];
  if (seconds % 60)
    std::snprintf(text, sizeof text, "%ld°%02ld'%02ld\" %c", seconds / 3600, seconds / 60 % 60, seconds % 60, hemisphere);
  else
    std::snprintf(text, sizeof text, "%ld°%02ld' %c", seconds / 3600, seconds / 60 % 60, hemisphere);
  return text;
}

int cut_by_sheet(const std::string& document, const std::string& name, const std::string& folder,
                 const std::string& sheet_crs, bool json) {
  gis::MapSheet sheet;
  std::string reason;
  if (!gis::ParseSheetName(name, &sheet, &reason)) {
    const std::string message = "'" + name + "' is no map sheet: " + reason;
    std::fprintf(stderr, "areaclip: %s\n", message.c_str());
    if (json) {
      CutSummary summary;
      summary.folder = fs::absolute(folder).lexically_normal().string();
      summary.failure.push_back(message);
      summary.status = kCutBadInput;
      print_sheet_json(document, name, summary);
    }
    return 2;
  }
  std::printf("sheet %s (%s): %s – %s, %s – %s\n", sheet.name.c_str(), gis::ScaleText(sheet.scale).c_str(),
              degrees_text(sheet.corners.south, true).c_str(), degrees_text(sheet.corners.north, true).c_str(),
              degrees_text(sheet.corners.west, false).c_str(), degrees_text(sheet.corners.east, false).c_str());
  SheetFrameLayer frame(sheet, sheet_crs, true);
  CutRequest request = sheet_request(document, sheet, folder, &frame);
  if (!json) return run_cut(request);
  request.print_summary = false;
  CutSummary summary;
  const int code = run_cut(request, &summary);
  print_sheet_json(document, sheet.name, summary);
  return code;
}

namespace {

// The cut by every sheet behind cut_all_sheets: its exit code, with a row per sheet and
// the reasons the run ended before any sheet was cut.
int cut_sheets(const std::string& document, const std::string& scale_text, const std::string& folder,
               const std::string& sheet_crs, bool resume, std::vector<SheetRow>* rows_out,
               std::vector<std::string>* failure) {
  std::vector<SheetRow>& rows = *rows_out;
  const auto fail = [failure](int code, const std::string& message) {
    std::fprintf(stderr, "areaclip: %s\n", message.c_str());
    failure->push_back(message);
    return code;
  };
  gis::SheetScale scale;
  if (!gis::ParseSheetScale(scale_text, &scale))
    return fail(2, "--all-sheets takes a scale of the series (1:1000000, 1:500000, 1:200000, 1:100000, 1:50000, "
                   "1:25000, 1:10000, 1:5000, 1:2000), not '" + scale_text + "'");
  CancelSignals cancel_signals;
  std::vector<gis::MapSheet> sheets;
  std::vector<gis::SheetFeatures> routed;  // by sheet, as `sheets`
  {
    std::string error;
    ComPtr<IMxDocument> doc = gis::LoadDocument(document, &error);
    ComPtr<IMap> map;
    if (doc) doc->get_FocusMap(map.put());
    if (!map) return fail(2, doc ? document + " has no map" : error);
    ComPtr<ISpatialReference> degrees = sheet_degrees_system(map.get(), sheet_crs, &error);
    std::printf("finding the %s sheets that hold features of %s\n", gis::ScaleText(scale).c_str(), document.c_str());
    std::fflush(stdout);
    if (!degrees || !sheets_of_map(map.get(), scale, degrees.get(), &sheets, &error, &routed)) {
      if (const int signal_number = CancelSignals::received())
        return fail(128 + signal_number,
                    std::string("cancelled (") + signal_name(signal_number) + ") before any sheet was cut");
      return fail(2, error);
    }
  }
  if (sheets.empty()) {
    std::printf("no feature of the map lies on a %s sheet: nothing to cut\n", gis::ScaleText(scale).c_str());
    return 0;
  }
  std::printf("%zu sheets: %s", sheets.size(), sheets.front().name.c_str());
  for (size_t i = 1; i < sheets.size(); ++i) std::printf(", %s", sheets[i].name.c_str());
  std::printf("\n");

  const fs::path root = fs::absolute(folder).lexically_normal();
  const bool routing = !every_feature_per_sheet();
  int failed = 0, partial = 0, there = 0, held = 0;
  for (size_t i = 0; i < sheets.size(); ++i) {
    const gis::MapSheet& sheet = sheets[i];
    if (CancelSignals::received()) {
      rows.push_back({sheet.name, -1, "not cut (cancelled)", (root / sheet.name).string(), -1, {}});
      continue;
    }
    const fs::path into = root / sheet.name;
    std::error_code ec;
    if (resume && fs::is_regular_file(into / "cross.mxd", ec)) {
      ++there;
      rows.push_back({sheet.name, -1, "already there: " + (into / "cross.mxd").string(), into.string(), -1, {}});
      routed[i].ids.clear();
      continue;
    }
    if (!resume && fs::is_regular_file(into / "cross.mxd", ec)) ++held;  // refused by the cut, as it says
    std::printf("\n[%zu/%zu] sheet %s -> %s\n", i + 1, sheets.size(), sheet.name.c_str(), into.string().c_str());
    std::fflush(stdout);
    SheetFrameLayer frame(sheet, sheet_crs);
    CutRequest request = sheet_request(document, sheet, into.string(), &frame);
    request.print_summary = false;
    // The open document's feature classes serve only the sheet's features while it is cut.
    std::vector<ComPtr<IFeatureClass>> restricted;
    if (routing) {
      request.prepare = [&, i](IMap* map, std::string* error) {
        restricted = map_feature_classes(map);
        if (restricted.size() != routed[i].ids.size()) {
          *error = "the layers of " + document + " changed while its sheets were cut";
          return false;
        }
        for (size_t c = 0; c < restricted.size(); ++c) gis::RestrictFeatures(restricted[c].get(), routed[i].ids[c]);
        return frame.add_to(map, error);
      };
    }
    CutSummary summary;
    const int code = run_cut(request, &summary);
    for (const ComPtr<IFeatureClass>& c : restricted) gis::RestrictFeatures(c.get(), nullptr);
    restricted.clear();
    routed[i].ids.clear();
    SheetRow row{sheet.name, -1, "", into.string(), code, summary};
    if (summary.written()) {
      row.features = summary.features(sheet.name);
      row.result = "ok: " + summary.documents.front();
      if (code == kCutPartial) {
        ++partial;
        row.result = "partial: " + summary.documents.front() + "; not cut:";
        for (const LayerNotCut& l : summary.not_cut) row.result += " " + l.name + ",";
        row.result.pop_back();
      }
      std::printf("[%zu/%zu] %s: %ld features written\n", i + 1, sheets.size(), sheet.name.c_str(), row.features);
    } else if (code > 128) {
      row.result = std::string("cancelled (") + signal_name(code - 128) + "), nothing kept";
    } else {
      ++failed;
      row.result = "failed (exit " + std::to_string(code) + ")";
      if (!summary.failure.empty()) row.result += ": " + summary.failure.front();
      std::fprintf(stderr, "areaclip: sheet %s failed; going on with the next one\n", sheet.name.c_str());
    }
    rows.push_back(row);
    std::fflush(stdout);
  }
  print_table(rows);
  if (there)
    std::printf("%d of %zu sheets were there already and were left as they are\n", there, sheets.size());
  if (const int signal_number = CancelSignals::received()) {
    std::fprintf(stderr, "areaclip: cancelled (%s): the sheets cut before it are kept\n",
                 signal_name(signal_number));
    return 128 + signal_number;
  }
  if (failed) {
    std::fprintf(stderr, "areaclip: %d of %zu sheets failed\n", failed, sheets.size());
    if (held)
      std::fprintf(stderr,
                   "areaclip: the folders of %d sheets already held a result: --resume leaves them as they are "
                   "and cuts the rest\n",
                   held);
    return kCutFailed;
  }
  if (partial) {
    std::fprintf(stderr, "areaclip: %d of %zu sheets were cut with layers left out\n", partial, sheets.size());
    return kCutPartial;
  }
  return kCutDone;
}

}  // namespace

int cut_all_sheets(const std::string& document, const std::string& scale_text, const std::string& folder,
                   const std::string& sheet_crs, bool json, bool resume) {
  std::vector<SheetRow> rows;
  std::vector<std::string> failure;
  const int code = cut_sheets(document, scale_text, folder, sheet_crs, resume, &rows, &failure);
  if (json) {
    gis::SheetScale scale;
    const std::string scale_name =
        gis::ParseSheetScale(scale_text, &scale) ? "1:" + std::to_string(gis::ScaleDenominator(scale)) : scale_text;
    print_sheets_json(document, scale_name, fs::absolute(folder).lexically_normal().string(), rows, failure, code);
  }
  return code;
}

}  // namespace host

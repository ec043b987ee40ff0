// areaclip cut: by a polygon feature picked in the dialog (--layer with --feature or
// --feature-id), by a map sheet (--sheet), or by every sheet of a scale (--all-sheets); with
// --json the run's record goes to standard output in the form of docs/json/areaclip-cut.schema.json.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_json.h"
#include "commands.h"
#include "cut_json.h"
#include "hosted_cut.h"
#include "polygon_features.h"
#include "sheet_cut.h"

namespace {

// The cut's options that go together, checked once the command line is read; "" when they
// do.
std::string check(const host::Arguments& a, long* feature_id, long* jobs) {
  const std::string layer = a.value("--layer"), sheet = a.value("--sheet"), all = a.value("--all-sheets");
  for (const char* option : {"--sheet", "--all-sheets"})
    if (a.has(option) && a.value(option).find_first_not_of(" \t") == std::string::npos)
      return std::string(option) + " '" + a.value(option) +
             (std::string(option) == "--sheet" ? "': the name is empty" : "': the scale is empty");
  if (a.has("--feature-id")) {
    const std::string id = a.value("--feature-id");
    char* end = nullptr;
    *feature_id = std::strtol(id.c_str(), &end, 10);
    if (id.empty() || *end || *feature_id < 0) return "--feature-id takes a non-negative object id, not '" + id + "'";
  }
  const bool by_sheet = !sheet.empty() || !all.empty();
  const int ways = !layer.empty() + !sheet.empty() + !all.empty();
  if (ways == 0) return "give --layer, --sheet or --all-sheets";
  if (ways > 1) return "give only one of --layer, --sheet and --all-sheets";
  if (by_sheet && (a.has("--feature") || a.has("--feature-id"))) return "--feature and --feature-id go with --layer only";
  if (!by_sheet && a.has("--sheet-crs")) return "--sheet-crs goes with --sheet or --all-sheets only";
  if (!by_sheet && a.value("--feature").empty() == !a.has("--feature-id")) return "give one of --feature and --feature-id";
  if (a.has("--resume") && all.empty()) return "--resume goes with --all-sheets only";
  if (a.has("--jobs")) {
    if (all.empty()) return "--jobs goes with --all-sheets only";
    const std::string n = a.value("--jobs");
    char* end = nullptr;
    *jobs = std::strtol(n.c_str(), &end, 10);
    if (n.empty() || *end || *jobs < 1 || *jobs > 256) return "--jobs takes a number of processes from 1 to 256, not '" + n + "'";
  }
  if (a.value("--folder").empty()) return "--folder is missing";
  return "";
}

}  // namespace

namespace host {

int cmd_cut(const Arguments& args) {
  long feature_id = -1, jobs = 0;  // 0: one process per processor
  const std::string error = check(args, &feature_id, &jobs);
  if (!error.empty()) {
    std::fprintf(stderr, "areaclip cut: %s\n%s", error.c_str(), usage_text(*args.command).c_str());
    return 2;
  }
  const std::string document = args.positionals().front(), folder = args.value("--folder");
  const std::string layer = args.value("--layer"), feature = args.value("--feature");
  const bool by_id = args.has("--feature-id");
  if (args.has("--sheet")) return cut_by_sheet(document, args.value("--sheet"), folder, args.value("--sheet-crs"), args.json());
  if (args.has("--all-sheets"))
    return cut_all_sheets(document, args.value("--all-sheets"), folder, args.value("--sheet-crs"), args.json(),
                          args.has("--resume"), static_cast<size_t>(jobs));
  CutRequest request;
  request.document = document;
  request.folder = folder;
  request.choice = CutChoice{layer, feature, feature_id, by_id};
  // A label names the feature to cut by only when exactly one feature has it. A layer or
  // label that is not there is left to the pickers to report, after the labels that match
  // but for letter case and surrounding space.
  if (!by_id)
    request.prepare = [&layer, &feature](IMap* map, std::string* why) {
      std::vector<PolygonFeature> features;
      if (!list_polygon_features(map, layer, &features, why)) {
        why->clear();
        return true;
      }
      LabelCheck check = check_label(features, layer, feature);
      if (check.refused) {
        *why = check.message;
        return false;
      }
      if (!check.message.empty()) note("areaclip: %s", check.message.c_str());
      return true;
    };
  if (!args.json()) return run_cut(request);
  request.print_summary = false;
  CutSummary summary;
  const int code = run_cut(request, &summary);
  JsonWriter json;
  json.begin_object().key("format").string(kCutJsonFormat).key("kind").string("cut");
  json.key("document").string(document).key("by").begin_object().key("layer").string(layer);
  if (by_id) json.key("feature_id").number(feature_id);
  else json.key("feature").string(feature);
  json.end_object().key("cut");
  write_cut_json(summary, &json);
  json.key("status").number(code).end_object();
  std::fputs(json.text().c_str(), json_output());
  return code;
}

}  // namespace host

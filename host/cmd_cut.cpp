// areaclip cut: by a polygon feature picked in the dialog (--layer with --feature or
// --feature-id), by a map sheet (--sheet), or by every sheet of a scale (--all-sheets).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "hosted_cut.h"
#include "polygon_features.h"
#include "sheet_cut.h"

namespace {

const char kCutUsage[] =
    "usage: areaclip cut DOC --layer NAME (--feature LABEL | --feature-id OID) --folder DIR\n"
    "       areaclip cut DOC --sheet NAME --folder DIR [--sheet-crs CRS]\n"
    "       areaclip cut DOC --all-sheets SCALE --folder DIR [--sheet-crs CRS] [--resume]\n";

struct Arguments {
  std::string document, layer, feature, folder, sheet, all_sheets, sheet_crs;
  long feature_id = -1;
  bool by_id = false;
  bool resume = false;
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
    std::string id;
    if (arg == "--layer") {
      if (!value(&a->layer)) return false;
    } else if (arg == "--feature") {
      if (!value(&a->feature)) return false;
    } else if (arg == "--feature-id") {
      if (!value(&id)) return false;
      char* end = nullptr;
      a->feature_id = std::strtol(id.c_str(), &end, 10);
      if (id.empty() || *end || a->feature_id < 0) {
        *error = "--feature-id takes a non-negative object id, not '" + id + "'";
        return false;
      }
      a->by_id = true;
    } else if (arg == "--folder") {
      if (!value(&a->folder)) return false;
    } else if (arg == "--sheet" || arg == "--all-sheets") {
      std::string* named = arg == "--sheet" ? &a->sheet : &a->all_sheets;
      if (!value(named)) return false;
      if (named->find_first_not_of(" \t") == std::string::npos) {
        *error = arg + " '" + *named + (arg == "--sheet" ? "': the name is empty" : "': the scale is empty");
        return false;
      }
    } else if (arg == "--resume") {
      a->resume = true;
    } else if (arg == "--sheet-crs") {
      if (!value(&a->sheet_crs)) return false;
    } else if (a->document.empty() && !arg.empty() && arg[0] != '-') {
      a->document = arg;
    } else {
      *error = "unexpected argument '" + std::string(argv[i]) + "'";
      return false;
    }
  }
  const bool by_sheet = !a->sheet.empty() || !a->all_sheets.empty();
  const int ways = !a->layer.empty() + !a->sheet.empty() + !a->all_sheets.empty();
  if (a->document.empty()) *error = "the map document is missing";
  else if (ways == 0) *error = "give --layer, --sheet or --all-sheets";
  else if (ways > 1) *error = "give only one of --layer, --sheet and --all-sheets";
  else if (by_sheet && (!a->feature.empty() || a->by_id)) *error = "--feature and --feature-id go with --layer only";
  else if (!by_sheet && !a->sheet_crs.empty()) *error = "--sheet-crs goes with --sheet or --all-sheets only";
  else if (!by_sheet && a->feature.empty() == !a->by_id) *error = "give one of --feature and --feature-id";
  else if (a->resume && a->all_sheets.empty()) *error = "--resume goes with --all-sheets only";
  else if (a->folder.empty()) *error = "--folder is missing";
  return error->empty();
}

}  // namespace

namespace host {

int cmd_cut(int argc, char** argv) {
  Arguments args;
  std::string error;
  if (!parse(argc, argv, &args, &error)) {
    std::fprintf(stderr, "areaclip cut: %s\n%s", error.c_str(), kCutUsage);
    return 2;
  }
  if (!args.sheet.empty()) return cut_by_sheet(args.document, args.sheet, args.folder, args.sheet_crs);
  if (!args.all_sheets.empty())
    return cut_all_sheets(args.document, args.all_sheets, args.folder, args.sheet_crs, args.resume);
  CutRequest request;
  request.document = args.document;
  request.folder = args.folder;
  request.choice = CutChoice{args.layer, args.feature, args.feature_id, args.by_id};
  // A label names the feature to cut by only when exactly one feature has it. A layer or
  // label that is not there is left to the pickers to report, after the labels that match
  // but for letter case and surrounding space.
  if (!args.by_id)
    request.prepare = [&args](IMap* map, std::string* why) {
      std::vector<PolygonFeature> features;
      if (!list_polygon_features(map, args.layer, &features, why)) {
        why->clear();
        return true;
      }
      LabelCheck check = check_label(features, args.layer, args.feature);
      if (check.refused) {
        *why = check.message;
        return false;
      }
      if (!check.message.empty()) std::fprintf(stderr, "areaclip: %s\n", check.message.c_str());
      return true;
    };
  return run_cut(request);
}

}  // namespace host

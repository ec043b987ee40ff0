// What the shell's completion offers (areaclip __complete): commands and options from the
// command table, and the values a user would otherwise look up, read from the document
// already on the line: its layers, its map's sheets, the scales of the series.
#include <string>
#include <vector>

#include <gis/document.h>
#include <gis/gis.h>
#include <gis/sheets.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

#include "options.h"
#include "polygon_features.h"
#include "sheet_frame.h"

namespace host {

namespace {

using win32::ComPtr;

const gis::SheetScale kScales[] = {gis::SheetScale::k1000000, gis::SheetScale::k500000, gis::SheetScale::k200000,
                                   gis::SheetScale::k100000,  gis::SheetScale::k50000,  gis::SheetScale::k25000,
                                   gis::SheetScale::k10000,   gis::SheetScale::k5000,   gis::SheetScale::k2000};

bool starts_with(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

ComPtr<IMap> focus_map(const std::string& document) {
  gis::RegisterClasses();
  std::string error;
  ComPtr<IMxDocument> doc = gis::LoadDocument(document, &error);
  ComPtr<IMap> map;
  if (doc) doc->get_FocusMap(map.put());
  return map;
}

// The names the cut dialog's layer picker lists: the layers a cut can be made by.
std::vector<std::string> layer_names(IMap* map) {
  std::vector<std::string> out;
  if (map)
    for (const PickerLayer& l : picker_layers(map)) out.push_back(l.name);
  return out;
}

// The sheets holding features of the map at the coarsest scale whose sheet names carry on
// from what is typed ("M-36-1" goes on to the 1:100,000 sheets); down to 1:10,000, as the
// finer scales have too many sheets to list.
std::vector<std::string> sheet_names(IMap* map, const std::string& sheet_crs, const std::string& typed) {
  std::vector<std::string> out;
  std::string error;
  ComPtr<ISpatialReference> degrees = map ? sheet_degrees_system(map, sheet_crs, &error) : nullptr;
  if (!degrees) return out;
  for (gis::SheetScale scale : kScales) {
    if (scale == gis::SheetScale::k5000) break;
    std::vector<gis::MapSheet> sheets;
    if (!sheets_of_map(map, scale, degrees.get(), &sheets, &error)) break;
    bool longer = false;
    for (const gis::MapSheet& s : sheets)
      if (starts_with(s.name, typed)) {
        out.push_back(s.name);
        longer = longer || s.name.size() > typed.size();
      }
    if (longer) break;
  }
  return out;
}

const CommandSpec* find_command(const std::vector<CommandSpec>& commands, const std::string& name) {
  for (const CommandSpec& c : commands)
    if (name == c.name) return &c;
  return nullptr;
}

const Option* find_option(const CommandSpec& command, const std::string& name) {
  for (const std::vector<Option>* list : {&command.options, &common_options()})
    for (const Option& o : *list)
      if (name == o.name || (o.alias && name == o.alias)) return &o;
  return nullptr;
}

}  // namespace

std::string complete(const std::vector<CommandSpec>& commands, const std::vector<std::string>& given) {
  std::vector<std::string> words = given;
  if (words.empty()) words.push_back("");
  // "--layer=Ro" reaches completion as "--layer" "=" "Ro" (or "--layer" "=" while the value
  // is still empty): joined again here.
  if (words.size() >= 2 && words.back() == "=") words.back() = "";
  else if (words.size() >= 3 && words[words.size() - 2] == "=") words.erase(words.end() - 2);
  const std::string typed = words.back();
  std::vector<std::string> offer;
  const CommandSpec* command = find_command(commands, words.front());
  if (words.size() == 1) {
    for (const CommandSpec& c : commands) offer.push_back(c.name);
    offer.insert(offer.end(), {"--help", "--version"});
  } else if (command) {
    // The words before the one typed: the document given by place, the option before it.
    std::string document, sheet_crs;
    const Option* option = nullptr;
    size_t place = 0;
    for (size_t i = 1; i + 1 < words.size(); ++i) {
      const Option* o = find_option(*command, words[i]);
      if (o && o->value) {
        if (i + 2 < words.size()) {
          if (words[i] == "--sheet-crs") sheet_crs = words[i + 1];
          ++i;
        } else {
          option = o;
        }
      } else if (!o && (words[i].empty() || words[i][0] != '-')) {
        if (place == 0) document = words[i];
        ++place;
      }
    }
    Values values = Values::kNone;
    if (option) {
      values = option->values;
    } else if (starts_with(typed, "-")) {
      for (const std::vector<Option>* list : {&command->options, &common_options()})
        for (const Option& o : *list) offer.push_back(o.name);
    } else if (!command->positionals.empty()) {
      values = command->positionals[std::min(place, command->positionals.size() - 1)].values;
    }
    switch (values) {
      case Values::kFile:
      case Values::kDocument:
        return "@file\n";
      case Values::kFolder:
        return "@folder\n";
      case Values::kScale:
        for (gis::SheetScale s : kScales) offer.push_back("1:" + std::to_string(gis::ScaleDenominator(s)));
        break;
      case Values::kLayer:
        offer = layer_names(focus_map(document).get());
        break;
      case Values::kSheet:
        offer = sheet_names(focus_map(document).get(), sheet_crs, typed);
        break;
      case Values::kNone:
        break;
    }
  }
  std::string out;
  for (const std::string& o : offer)
    if (starts_with(o, typed) && o.find('\n') == std::string::npos) out += o + "\n";
  return out;
}

}  // namespace host

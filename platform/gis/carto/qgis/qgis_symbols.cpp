#include "qgis_symbols.h"

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <map>
#include <regex>

#include "xml_tree.h"

namespace gis::carto {

namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}

// Options of a symbol layer: the <Option type="Map"> entries, else the older <prop k v>.
std::map<std::string, std::string> layer_options(const xmlNode* layer) {
  std::map<std::string, std::string> out;
  if (xmlNode* map = xml_child(layer, "Option"))
    for (xmlNode* o : xml_children(map, "Option")) out[xml_attr(o, "name")] = xml_attr(o, "value");
  for (xmlNode* p : xml_children(layer, "prop")) out.emplace(xml_attr(p, "k"), xml_attr(p, "v"));
  return out;
}

std::string option(const std::map<std::string, std::string>& options, const char* key, const char* fallback = "") {
  auto it = options.find(key);
  return it == options.end() ? fallback : it->second;
}

// "r,g,b,a" (later versions add ",rgb:…") to "#RRGGBB".
std::string color_from_qgis(const std::string& text) {
  int r = 0, g = 0, b = 0;
  if (std::sscanf(text.c_str(), "%d,%d,%d", &r, &g, &b) != 3) return "#000000";
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", r & 0xFF, g & 0xFF, b & 0xFF);
  return buf;
}

std::string color_to_qgis(const Json& symbol, const char* key = "color") {
  std::string text = symbol.is_object() && symbol.contains(key) && symbol[key].is_string() ? symbol[key].get<std::string>()
                                                                                             : "#000000";
  unsigned value = 0;
  if (text.size() != 7 || std::sscanf(text.c_str() + 1, "%x", &value) != 1) value = 0;
  return std::to_string((value >> 16) & 0xFF) + "," + std::to_string((value >> 8) & 0xFF) + "," +
         std::to_string(value & 0xFF) + ",255";
}

// A length of the layer in points; other units than millimetres and points are noted.
double points(const std::map<std::string, std::string>& options, const char* key, const char* unit_key,
              double fallback_mm, std::vector<std::string>* notes) {
  std::string text = option(options, key);
  double v = text.empty() ? fallback_mm : std::atof(text.c_str());
  std::string unit = option(options, unit_key, "MM");
  if (unit == "MM") return v * kPointsPerMm;
  if (unit == "Point" || unit == "Pixel") return v;
  notes->push_back(std::string(key) + " in " + unit + " is drawn as millimetres");
  return v * kPointsPerMm;
}

const std::vector<std::pair<const char*, long>> kFillStyles = {
    {"solid", 0}, {"no", 1}, {"horizontal", 2}, {"vertical", 3}, {"f_diagonal", 4},
    {"b_diagonal", 5}, {"cross", 6}, {"diagonal_x", 7}};
const std::vector<std::pair<const char*, long>> kLineStyles = {
    {"solid", 0}, {"dash", 1}, {"dot", 2}, {"dash dot", 3}, {"dash dot dot", 4}, {"no", 5}};
const std::vector<std::pair<const char*, long>> kMarkerStyles = {
    {"circle", 0}, {"square", 1}, {"cross", 2}, {"cross2", 3}, {"diamond", 4}};

long style_value(const std::vector<std::pair<const char*, long>>& table, const std::string& name, const char* what,
                 std::vector<std::string>* notes) {
  for (const auto& [n, v] : table)
    if (name == n) return v;
  if (!name.empty()) notes->push_back(std::string(what) + " \"" + name + "\" is drawn as \"" + table[0].first + "\"");
  return table[0].second;
}

const char* style_name(const std::vector<std::pair<const char*, long>>& table, long value) {
  for (const auto& [n, v] : table)
    if (v == value) return n;
  return table[0].first;
}

Json line_symbol(const std::string& color, double width, long style) {
  return {{"type", "line"}, {"color", color}, {"width", width}, {"style", style}};
}

// The document symbol for a QGIS <symbol>: its first symbol layer read as a simple symbol.
Json symbol_from_qgis(const xmlNode* symbol, std::vector<std::string>* notes) {
  std::string type = xml_attr(symbol, "type");
  std::vector<xmlNode*> layers = xml_children(symbol, "layer");
  if (layers.size() > 1) notes->push_back("a symbol of " + std::to_string(layers.size()) + " layers is drawn with its first");
  auto options = layers.empty() ? std::map<std::string, std::string>{} : layer_options(layers[0]);
  std::string cls = layers.empty() ? "" : xml_attr(layers[0], "class");
  if (type == "fill") {
    if (cls != "SimpleFill") notes->push_back("fill layer " + cls + " is drawn as a simple fill");
    Json s = {{"type", "fill"},
              {"color", color_from_qgis(option(options, "color", "190,190,190,255"))},
              {"style", style_value(kFillStyles, option(options, "style", "solid"), "fill style", notes)}};
    long outline_style = style_value(kLineStyles, option(options, "outline_style", "solid"), "line style", notes);
    if (outline_style == 5)
      s["outline"] = nullptr;
    else
      s["outline"] = line_symbol(color_from_qgis(option(options, "outline_color", "35,35,35,255")),
                                 points(options, "outline_width", "outline_width_unit", 0.26, notes), outline_style);
    return s;
  }
  if (type == "line") {
    if (cls != "SimpleLine") notes->push_back("line layer " + cls + " is drawn as a simple line");
    return line_symbol(color_from_qgis(option(options, "line_color", "35,35,35,255")),
                       points(options, "line_width", "line_width_unit", 0.26, notes),
                       style_value(kLineStyles, option(options, "line_style", "solid"), "line style", notes));
  }
  if (type == "marker") {
    if (cls != "SimpleMarker") notes->push_back("marker layer " + cls + " is drawn as a simple marker");
    Json s = {{"type", "marker"},
              {"color", color_from_qgis(option(options, "color", "255,0,0,255"))},
              {"size", points(options, "size", "size_unit", 2, notes)},
              {"angle", std::atof(option(options, "angle", "0").c_str())},
              {"style", style_value(kMarkerStyles, option(options, "name", "circle"), "marker shape", notes)}};
    if (option(options, "outline_style", "solid") != "no")
      s["outline"] = {{"type", "line"},
                      {"color", color_from_qgis(option(options, "outline_color", "35,35,35,255"))},
                      {"width", points(options, "outline_width", "outline_width_unit", 0, notes)}};
    return s;
  }
  notes->push_back("a symbol of type \"" + type + "\" is not drawn");
  return {{"type", "qgis:" + type}};
}

// The renderer's symbols by name.
std::map<std::string, const xmlNode*> symbols_by_name(const xmlNode* renderer) {
  std::map<std::string, const xmlNode*> out;
  for (xmlNode* s : xml_children(xml_child(renderer, "symbols"), "symbol")) out[xml_attr(s, "name")] = s;
  return out;
}

Json named_symbol(const std::map<std::string, const xmlNode*>& symbols, const std::string& name,
                  std::vector<std::string>* notes) {
  auto it = symbols.find(name);
  return it == symbols.end() ? Json(nullptr) : symbol_from_qgis(it->second, notes);
}

std::string renderer_field(const xmlNode* renderer, std::vector<std::string>* notes) {
  std::string attr = xml_attr(renderer, "attr");
  std::string field = plain_field(attr);
  if (field.empty() && !attr.empty()) notes->push_back("the renderer's expression " + attr + " is not a field");
  return field;
}

// --- writing ---

void add_option(xmlNode* map, const char* name, const std::string& value) {
  xmlNode* o = xml_add(map, "Option");
  xml_set_attr(o, "name", name);
  xml_set_attr(o, "type", "QString");
  xml_set_attr(o, "value", value);
}

double member(const Json& j, const char* key, double fallback) {
  return j.is_object() && j.contains(key) && j[key].is_number() ? j[key].get<double>() : fallback;
}

std::string mm(double points_value) { return number_text(points_value / kPointsPerMm); }

void add_symbol(xmlNode* parent, const std::string& name, const std::string& kind, const Json& s) {
  xmlNode* symbol = xml_add(parent, "symbol");
  xml_set_attr(symbol, "name", name);
  xml_set_attr(symbol, "type", kind);
  xml_set_attr(symbol, "alpha", "1");
  xml_set_attr(symbol, "clip_to_extent", "1");
  xml_set_attr(symbol, "force_rhr", "0");
  xmlNode* layer = xml_add(symbol, "layer");
  xml_set_attr(layer, "enabled", "1");
  xml_set_attr(layer, "locked", "0");
  xml_set_attr(layer, "pass", "0");
  xmlNode* map = xml_add(layer, "Option");
  xml_set_attr(map, "type", "Map");
  long style = static_cast<long>(member(s, "style", 0));
  if (kind == "fill") {
    xml_set_attr(layer, "class", "SimpleFill");
    add_option(map, "color", color_to_qgis(s));
    add_option(map, "style", style_name(kFillStyles, style));
    const Json outline = s.is_object() && s.contains("outline") ? s["outline"] : Json(nullptr);
    if (outline.is_object()) {
      add_option(map, "outline_color", color_to_qgis(outline));
      add_option(map, "outline_style", style_name(kLineStyles, static_cast<long>(member(outline, "style", 0))));
      add_option(map, "outline_width", mm(member(outline, "width", 1)));
    } else {
      add_option(map, "outline_style", "no");
    }
    add_option(map, "outline_width_unit", "MM");
  } else if (kind == "line") {
    xml_set_attr(layer, "class", "SimpleLine");
    add_option(map, "line_color", color_to_qgis(s));
    add_option(map, "line_style", style_name(kLineStyles, style));
    add_option(map, "line_width", mm(member(s, "width", 1)));
    add_option(map, "line_width_unit", "MM");
  } else {
    xml_set_attr(layer, "class", "SimpleMarker");
    add_option(map, "color", color_to_qgis(s));
    add_option(map, "name", style_name(kMarkerStyles, style));
    add_option(map, "size", mm(member(s, "size", 8)));
    add_option(map, "size_unit", "MM");
    add_option(map, "angle", number_text(member(s, "angle", 0)));
    const Json outline = s.is_object() && s.contains("outline") ? s["outline"] : Json(nullptr);
    if (outline.is_object()) {
      add_option(map, "outline_color", color_to_qgis(outline));
      add_option(map, "outline_width", mm(member(outline, "width", 1)));
      add_option(map, "outline_style", "solid");
    } else {
      add_option(map, "outline_style", "no");
    }
    add_option(map, "outline_width_unit", "MM");
  }
}

// The kind of the layer's symbols: the renderer's own symbols say it, else the layer's geometry.
std::string symbol_kind(const Json& renderer, const std::string& geometry_kind) {
  auto kind_of = [](const Json& s) -> std::string {
    if (!s.is_object() || !s.contains("type") || !s["type"].is_string()) return "";
    std::string t = s["type"].get<std::string>();
    return t == "fill" || t == "line" || t == "marker" ? t : "";
  };
  std::vector<Json> symbols;
  if (renderer.contains("symbol")) symbols.push_back(renderer["symbol"]);
  if (renderer.contains("default_symbol")) symbols.push_back(renderer["default_symbol"]);
  for (const char* list : {"values", "breaks"})
    if (renderer.contains(list) && renderer[list].is_array())
      for (const Json& e : renderer[list])
        if (e.is_object() && e.contains("symbol")) symbols.push_back(e["symbol"]);
  for (const Json& s : symbols)
    if (std::string k = kind_of(s); !k.empty()) return k;
  return geometry_kind;
}

std::string text_of(const Json& j, const char* key) {
  if (!j.is_object() || !j.contains(key)) return "";
  const Json& v = j[key];
  if (v.is_string()) return v.get<std::string>();
  if (v.is_number() || v.is_boolean()) return v.dump();
  return "";
}

}  // namespace

std::string plain_field(const std::string& expression) {
  static const std::regex bare(R"(\s*([A-Za-z_][A-Za-z0-9_]*)\s*)");
  static const std::regex quoted(R"re(\s*"((?:[^"]|"")+)"\s*)re");
  static const std::regex coalesce(R"re(\s*COALESCE\s*\(\s*"((?:[^"]|"")+)"\s*,\s*'<NULL>'\s*\)\s*)re",
                                   std::regex::icase);
  std::smatch m;
  std::string field;
  if (std::regex_match(expression, m, bare))
    field = m[1];
  else if (std::regex_match(expression, m, quoted) || std::regex_match(expression, m, coalesce))
    field = std::regex_replace(m[1].str(), std::regex("\"\""), "\"");
  return field;
}

std::string field_expression(const std::string& field) {
  return "\"" + std::regex_replace(field, std::regex("\""), "\"\"") + "\"";
}

Json renderer_from_qgis(const xmlNode* renderer, std::vector<std::string>* notes) {
  std::string type = xml_attr(renderer, "type");
  auto symbols = symbols_by_name(renderer);
  if (type == "singleSymbol") return {{"type", "simple"}, {"symbol", named_symbol(symbols, "0", notes)}};
  if (type == "categorizedSymbol") {
    Json r = {{"type", "unique_value"}, {"fields", Json::array()}, {"field_delimiter", ","}};
    if (std::string field = renderer_field(renderer, notes); !field.empty()) r["fields"].push_back(field);
    Json values = Json::array();
    for (xmlNode* c : xml_children(xml_child(renderer, "categories"), "category")) {
      Json symbol = named_symbol(symbols, xml_attr(c, "symbol"), notes);
      if (xml_attr(c, "render", "true") == "false") {
        notes->push_back("category \"" + xml_attr(c, "label") + "\" is switched off in QGIS but drawn");
      }
      // The category without a value draws every other value.
      if (xml_attr(c, "value").empty() && !xml_child(c, "val")) {
        r["default_symbol"] = symbol;
        continue;
      }
      values.push_back({{"value", xml_attr(c, "value")}, {"label", xml_attr(c, "label")}, {"symbol", symbol}});
    }
    if (!r.contains("default_symbol")) r["default_symbol"] = nullptr;
    r["values"] = std::move(values);
    return r;
  }
  if (type == "graduatedSymbol") {
    Json r = {{"type", "class_breaks"}, {"field", renderer_field(renderer, notes)}};
    Json breaks = Json::array();
    for (xmlNode* range : xml_children(xml_child(renderer, "ranges"), "range")) {
      if (xml_attr(range, "render", "true") == "false")
        notes->push_back("range \"" + xml_attr(range, "label") + "\" is switched off in QGIS but drawn");
      breaks.push_back({{"max", std::atof(xml_attr(range, "upper").c_str())},
                        {"label", xml_attr(range, "label")},
                        {"symbol", named_symbol(symbols, xml_attr(range, "symbol"), notes)},
                        {"min", std::atof(xml_attr(range, "lower").c_str())}});
    }
    std::stable_sort(breaks.begin(), breaks.end(),
                     [](const Json& a, const Json& b) { return a["max"].get<double>() < b["max"].get<double>(); });
    r["breaks"] = std::move(breaks);
    return r;
  }
  notes->push_back("renderer " + type + " is not drawn (kept in the project)");
  return {{"type", "qgis:" + type}};
}

void add_qgis_renderer(xmlNode* layer, const Json& r) {
  std::string kind = symbol_kind(r, xml_attr(layer, "geometry") == "Polygon" ? "fill"
                                    : xml_attr(layer, "geometry") == "Line"  ? "line"
                                                                             : "marker");
  xmlNode* renderer = xml_add(layer, "renderer-v2");
  xml_set_attr(renderer, "enableorderby", "0");
  xml_set_attr(renderer, "forceraster", "0");
  xml_set_attr(renderer, "symbollevels", "0");
  xml_set_attr(renderer, "referencescale", "-1");
  std::string type = text_of(r, "type");
  xmlNode* symbols = nullptr;
  int next = 0;
  auto symbol = [&](const Json& s) {
    if (!symbols) symbols = xml_add(renderer, "symbols");
    std::string name = std::to_string(next++);
    add_symbol(symbols, name, kind, s);
    return name;
  };
  if (type == "unique_value") {
    xml_set_attr(renderer, "type", "categorizedSymbol");
    std::string field = r.contains("fields") && r["fields"].is_array() && !r["fields"].empty()
                            ? text_of(Json{{"f", r["fields"][0]}}, "f")
                            : "";
    xml_set_attr(renderer, "attr", field);
    xmlNode* categories = xml_add(renderer, "categories");
    std::vector<std::pair<xmlNode*, Json>> pending;
    for (const Json& v : r.value("values", Json::array())) {
      xmlNode* c = xml_add(categories, "category");
      xml_set_attr(c, "render", "true");
      xml_set_attr(c, "value", text_of(v, "value"));
      xml_set_attr(c, "label", v.contains("label") ? text_of(v, "label") : text_of(v, "value"));
      pending.emplace_back(c, v.value("symbol", Json(nullptr)));
    }
    if (r.contains("default_symbol") && r["default_symbol"].is_object()) {
      xmlNode* c = xml_add(categories, "category");
      xml_set_attr(c, "render", "true");
      xml_set_attr(c, "value", "");
      xml_set_attr(c, "label", "");
      pending.emplace_back(c, r["default_symbol"]);
    }
    for (auto& [c, s] : pending) xml_set_attr(c, "symbol", symbol(s));
  } else if (type == "class_breaks") {
    xml_set_attr(renderer, "type", "graduatedSymbol");
    xml_set_attr(renderer, "attr", text_of(r, "field"));
    xml_set_attr(renderer, "graduatedMethod", "GraduatedColor");
    xmlNode* ranges = xml_add(renderer, "ranges");
    double lower = 0;
    bool first = true;
    std::vector<std::pair<xmlNode*, Json>> pending;
    for (const Json& b : r.value("breaks", Json::array())) {
      double upper = member(b, "max", 0);
      // A class begins where the one before ends; the first at its kept "min", else far below.
      double low = b.contains("min") ? member(b, "min", 0) : first ? std::min(0.0, upper) - 1e12 : lower;
      xmlNode* range = xml_add(ranges, "range");
      xml_set_attr(range, "render", "true");
      xml_set_attr(range, "lower", number_text(low));
      xml_set_attr(range, "upper", number_text(upper));
      xml_set_attr(range, "label", text_of(b, "label"));
      pending.emplace_back(range, b.value("symbol", Json(nullptr)));
      lower = upper;
      first = false;
    }
    for (auto& [range, s] : pending) xml_set_attr(range, "symbol", symbol(s));
  } else {
    xml_set_attr(renderer, "type", "singleSymbol");
    symbol(r.contains("symbol") ? r["symbol"] : Json(nullptr));
  }
  xml_add(renderer, "rotation");
  xml_add(renderer, "sizescale");
}

}  // namespace gis::carto

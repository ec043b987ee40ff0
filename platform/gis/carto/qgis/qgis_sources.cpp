#include "qgis_sources.h"

#include <cctype>
#include <cstring>
#include <sstream>

#include "document_json.h"
#include "qgis_gdal.h"
#include "xml_tree.h"

namespace gis::carto {

std::string ascii_lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

namespace fs = std::filesystem;

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int hi = 0, lo = 0;
    if (text[i] == '%' && i + 2 < text.size() && (hi = hex_digit(text[i + 1])) >= 0 &&
        (lo = hex_digit(text[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// What a file URI's path cannot hold as it is: the query and fragment marks, the escape mark,
// spaces and bytes beyond ASCII (written escaped as QGIS's URLs write them).
std::string percent_encode(const std::string& text) {
  std::string out;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7F || c == '%' || c == '?' || c == '#') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

// A GDAL connection string with a driver prefix ("GPKG:…", "NETCDF:…"): not a plain path.
bool driver_prefixed(const std::string& text) {
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 2) return false;  // "C:/…" is a path
  for (size_t i = 0; i < colon; ++i)
    if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '_') return false;
  return true;
}

bool identifier_byte(char c, bool first) {
  auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) || c == '_' || u >= 0x80 || (!first && std::isdigit(u));
}

}  // namespace

bool split_source(const std::string& provider, const std::string& datasource, SourceText* out) {
  *out = SourceText{};
  if (datasource.rfind("file:", 0) == 0) {
    std::string rest = datasource.substr(5);
    size_t query = rest.find('?');
    std::string path = rest.substr(0, query);
    if (path.rfind("///", 0) == 0)
      path = path.substr(2);  // file:///abs/x: the path /abs/x
    else if (path.rfind("//", 0) == 0)
      return false;  // a host name
    if (path.empty()) return false;
    out->prefix = "file:";
    out->path = percent_decode(path);
    out->rest = query == std::string::npos ? "" : rest.substr(query);
    return true;
  }
  if (provider == "spatialite") {
    // dbname='./x.sqlite' table="t" (geometry): the file between the quotes.
    size_t start = datasource.find("dbname='");
    if (start == std::string::npos) return false;
    start += 8;
    size_t end = datasource.find('\'', start);
    if (end == std::string::npos || end == start) return false;
    out->prefix = datasource.substr(0, start);
    out->path = datasource.substr(start, end - start);
    out->rest = datasource.substr(end);
    return true;
  }
  // Providers that take a plain path: vector and raster files, meshes, point clouds.
  if (provider != "ogr" && provider != "gdal" && provider != "mdal" && provider != "pdal") return false;
  size_t bar = datasource.find('|');
  std::string path = datasource.substr(0, bar);
  if (path.empty() || path.rfind("/vsi", 0) == 0 || driver_prefixed(path) || path.find("://") != std::string::npos)
    return false;
  out->path = path;
  out->rest = bar == std::string::npos ? "" : datasource.substr(bar);
  return true;
}

std::string join_source(const SourceText& source) {
  if (source.prefix != "file:") return source.prefix + source.path + source.rest;
  std::string path = percent_encode(source.path);
  return (fs::path(source.path).is_absolute() ? "file://" : "file:") + path + source.rest;
}

OgrSource parse_ogr_source(const std::string& datasource) {
  OgrSource out;
  // The filter comes last and may itself hold "|" ("A" || "B"): it runs to the end.
  std::string head = datasource;
  if (size_t at = datasource.find("|subset="); at != std::string::npos) {
    out.subset = datasource.substr(at + 8);
    head = datasource.substr(0, at);
  }
  std::vector<std::string> parts;
  std::stringstream in(head);
  for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
  if (!parts.empty()) out.path = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p.rfind("layername=", 0) == 0) {
      out.layername = p.substr(10);
    } else if (p.rfind("layerid=", 0) == 0) {
      char* end = nullptr;
      long id = std::strtol(p.c_str() + 8, &end, 10);
      if (end && *end == '\0' && end != p.c_str() + 8 && id >= 0 && id < 1000000) out.layerid = static_cast<int>(id);
      else out.others.push_back(p);
    } else if (p.rfind("geometrytype=", 0) == 0) {
      out.geometrytype = p.substr(13);
    } else {
      out.others.push_back(p);
    }
  }
  return out;
}

std::string ogr_layer(const OgrSource& source, const fs::path& folder) {
  if (!source.layername.empty() || source.layerid < 0) return source.layername;
  std::string found = vector_layer_name(resolve_source_path(source.path, DocumentPlace{folder}), source.layerid);
  return found.empty() ? "layerid=" + std::to_string(source.layerid) : found;
}

bool relative_paths(const xmlNode* project_root) {
  const xmlNode* absolute = xml_path(project_root, {"properties", "Paths", "Absolute"});
  return !absolute || ascii_lower(xml_text(absolute)) != "true";
}

std::string project_path(const std::string& absolute, const fs::path& folder, bool relative) {
  if (!relative || absolute.empty() || folder.empty()) return absolute;
  fs::path p = fs::path(absolute).lexically_normal();
  fs::path rel = p.lexically_relative(folder);
  if (rel.empty()) return absolute;  // another root: QGIS keeps such a path absolute too
  std::string text = rel.generic_string();
  return text.rfind("..", 0) == 0 ? text : "./" + text;
}

std::string renamed_field(const std::string& field, const FieldRenames& renames) {
  std::string wanted = ascii_lower(field);
  for (const auto& [from, to] : renames)
    if (ascii_lower(from) == wanted) return to;
  return "";
}

bool rename_in_expression(const std::string& expression, const FieldRenames& renames, std::string* out) {
  std::string result;
  const size_t n = expression.size();
  auto names_renamed = [&](const std::string& text) {
    std::string l = ascii_lower(text);
    for (const auto& [from, to] : renames)
      if (l.find(ascii_lower(from)) != std::string::npos) return true;
    return false;
  };
  for (size_t i = 0; i < n;) {
    char c = expression[i];
    if (c == '"' || c == '\'') {
      // A quoted name or a text literal; the quote doubled stands for itself.
      std::string content;
      size_t j = i + 1;
      bool closed = false;
      while (j < n) {
        if (expression[j] == c) {
          if (j + 1 < n && expression[j + 1] == c) {
            content += c;
            j += 2;
            continue;
          }
          closed = true;
          break;
        }
        content += expression[j++];
      }
      if (!closed) return !names_renamed(expression) && (*out = expression, true);
      std::string renamed = renamed_field(content, renames);
      if (c == '\'' && !renamed.empty()) return false;  // a name in a text: attribute(…, 'NAME')
      if (c == '"' && !renamed.empty()) {
        result += '"';
        for (char r : renamed) result += r == '"' ? std::string("\"\"") : std::string(1, r);
        result += '"';
      } else {
        result.append(expression, i, j + 1 - i);
      }
      i = j + 1;
    } else if (c == '$' || c == '@' || identifier_byte(c, true)) {
      size_t j = i + 1;
      while (j < n && identifier_byte(expression[j], false)) ++j;
      std::string word = expression.substr(i, j - i);
      size_t k = j;
      while (k < n && std::isspace(static_cast<unsigned char>(expression[k]))) ++k;
      bool function = k < n && expression[k] == '(';
      std::string renamed = c == '$' || c == '@' || function ? "" : renamed_field(word, renames);
      result += renamed.empty() ? word : renamed;
      i = j;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t j = i;
      while (j < n && (std::isalnum(static_cast<unsigned char>(expression[j])) || expression[j] == '.')) ++j;
      result.append(expression, i, j - i);
      i = j;
    } else {
      result += c;
      ++i;
    }
  }
  *out = result;
  return true;
}

namespace {

class LayerFieldRenamer {
 public:
  LayerFieldRenamer(const FieldRenames& renames, std::vector<std::string>* unsafe) : renames_(renames), unsafe_(unsafe) {}

  void expression_attr(xmlNode* node, const char* name) {
    if (!xml_has_attr(node, name)) return;
    std::string text = xml_attr(node, name), out;
    if (expression(text, &out)) xml_set_attr(node, name, out);
  }
  void field_attr(xmlNode* node, const char* name) {
    if (!xml_has_attr(node, name)) return;
    if (std::string renamed = renamed_field(xml_attr(node, name), renames_); !renamed.empty())
      xml_set_attr(node, name, renamed);
  }
  bool expression(const std::string& text, std::string* out) {
    if (text.empty()) return false;
    if (rename_in_expression(text, renames_, out)) return *out != text;
    unsafe_->push_back(text);
    return false;
  }

  void walk(xmlNode* node) {
    for (xmlNode* n = node->children; n; n = n->next) {
      if (n->type != XML_ELEMENT_NODE) continue;
      const std::string name = reinterpret_cast<const char*>(n->name);
      if (name == "rule") {
        expression_attr(n, "filter");
      } else if (name == "text-style") {
        if (xml_attr(n, "isExpression") == "1")
          expression_attr(n, "fieldName");
        else
          field_attr(n, "fieldName");
      } else if (name == "renderer-v2") {
        expression_attr(n, "attr");
      } else if (name == "previewExpression") {
        std::string out;
        if (expression(xml_text(n), &out)) xml_set_text(n, out);
      } else if (name == "Option" && data_defined(n)) {
        std::string key = xml_attr(n, "name");
        if (key == "expression") expression_attr(n, "value");
        if (key == "field") field_attr(n, "value");
      } else if (name == "field" && xml_is(n->parent, "fieldConfiguration")) {
        field_attr(n, "name");
      } else if (name == "field" && xml_is(n->parent, "expressionfields")) {
        expression_attr(n, "expression");
      } else if (name == "column" && xml_is(n->parent, "columns")) {
        field_attr(n, "name");
      } else if (name == "constraint" && xml_is(n->parent, "constraintExpressions")) {
        expression_attr(n, "exp");
      } else if (name == "join") {
        field_attr(n, "targetFieldName");
      }
      // alias, default, constraint and the like name their field in "field".
      if (name != "Option") field_attr(n, "field");
      walk(n);
    }
  }

 private:
  // An option of a data-defined property: its map also holds "active" and "type".
  static bool data_defined(const xmlNode* option) {
    bool active = false, type = false;
    for (xmlNode* s : xml_children(option->parent, "Option")) {
      active = active || xml_attr(s, "name") == "active";
      type = type || xml_attr(s, "name") == "type";
    }
    return active && type;
  }

  const FieldRenames& renames_;
  std::vector<std::string>* unsafe_;
};

}  // namespace

void rename_layer_fields(xmlNode* map_layer, const FieldRenames& renames, std::vector<std::string>* unsafe) {
  if (renames.empty()) return;
  LayerFieldRenamer renamer(renames, unsafe);
  if (xmlNode* datasource = xml_child(map_layer, "datasource"); datasource && xml_child_text(map_layer, "provider") == "ogr") {
    std::string text = xml_text(datasource);
    if (size_t at = text.find("|subset="); at != std::string::npos) {
      std::string out;
      if (renamer.expression(text.substr(at + 8), &out)) xml_set_text(datasource, text.substr(0, at + 8) + out);
    }
  }
  renamer.walk(map_layer);
}

}  // namespace gis::carto

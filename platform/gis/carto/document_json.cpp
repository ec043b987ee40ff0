#include "document_json.h"

#include <cstdio>

namespace gis::carto {

namespace fs = std::filesystem;

void throw_document_error(const std::string& where, const std::string& what) {
  throw DocumentError(where.empty() ? what : where + ": " + what);
}

const Json& require_object(const Json& value, const std::string& where) {
  if (!value.is_object()) throw_document_error(where, "expected a JSON object");
  return value;
}

namespace {

const Json* find_member(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return nullptr;
  return &*it;
}

std::string member_where(const std::string& where, const char* key) {
  return where.empty() ? std::string(key) : where + "." + key;
}

}  // namespace

std::string member_string(const Json& object, const char* key, const std::string& where,
                          const std::string& fallback) {
  const Json* v = find_member(object, key);
  if (!v) return fallback;
  if (!v->is_string()) throw_document_error(member_where(where, key), "expected a text");
  return v->get<std::string>();
}

bool member_bool(const Json& object, const char* key, const std::string& where, bool fallback) {
  const Json* v = find_member(object, key);
  if (!v) return fallback;
  if (!v->is_boolean()) throw_document_error(member_where(where, key), "expected true or false");
  return v->get<bool>();
}

double member_number(const Json& object, const char* key, const std::string& where, double fallback) {
  const Json* v = find_member(object, key);
  if (!v) return fallback;
  if (!v->is_number()) throw_document_error(member_where(where, key), "expected a number");
  return v->get<double>();
}

long member_integer(const Json& object, const char* key, const std::string& where, long fallback) {
  const Json* v = find_member(object, key);
  if (!v) return fallback;
  if (!v->is_number_integer()) throw_document_error(member_where(where, key), "expected a whole number");
  return v->get<long>();
}

const Json& member_array(const Json& object, const char* key, const std::string& where) {
  static const Json empty = Json::array();
  const Json* v = find_member(object, key);
  if (!v) return empty;
  if (!v->is_array()) throw_document_error(member_where(where, key), "expected a list");
  return *v;
}

bool parse_color(const std::string& text, LONG* rgb) {
  if (text.size() != 7 || text[0] != '#') return false;
  unsigned long value = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = text[i];
    int digit = (c >= '0' && c <= '9') ? c - '0'
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                         : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned long>(digit);
  }
  unsigned long r = (value >> 16) & 0xFF, g = (value >> 8) & 0xFF, b = value & 0xFF;
  *rgb = static_cast<LONG>(r | (g << 8) | (b << 16));
  return true;
}

std::string format_color(LONG rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", static_cast<unsigned>(rgb & 0xFF),
                static_cast<unsigned>((rgb >> 8) & 0xFF), static_cast<unsigned>((rgb >> 16) & 0xFF));
  return buf;
}

std::string resolve_source_path(const std::string& stored, const DocumentPlace& place) {
  if (stored.empty()) return stored;
  std::string text = stored;
  for (char& c : text)
    if (c == '\\') c = '/';
  fs::path p(text);
  if (p.is_relative()) p = place.folder / p;
  return p.lexically_normal().string();
}

std::string stored_source_path(const std::string& absolute, const DocumentPlace& place) {
  if (absolute.empty() || place.folder.empty()) return absolute;
  fs::path p = fs::path(absolute).lexically_normal();
  fs::path rel = p.lexically_relative(place.folder);
  if (rel.empty() || *rel.begin() == "..") return p.string();
  return rel.generic_string();
}

}  // namespace gis::carto

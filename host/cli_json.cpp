#include "cli_json.h"

#include <cmath>
#include <cstdio>

namespace host {

namespace {

// The length of the UTF-8 sequence at s[i], 0 when the bytes there are not one (overlong
// forms, surrogates and code points beyond U+10FFFF included).
size_t utf8_length(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = 0;
  unsigned min = 0, code = 0;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) n = 2, min = 0x80, code = c & 0x1F;
  else if ((c & 0xF0) == 0xE0) n = 3, min = 0x800, code = c & 0x0F;
  else if ((c & 0xF8) == 0xF0) n = 4, min = 0x10000, code = c & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const unsigned char b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    code = code << 6 | (b & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string json_quoted(std::string_view s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = utf8_length(s, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out.append(s.substr(i, n));
    }
    i += n;
  }
  return out + "\"";
}

void JsonWriter::separate() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ += ',';
    first_.back() = false;
  }
}

JsonWriter& JsonWriter::begin_object() {
  separate();
  out_ += '{';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::end_object() {
  out_ += '}';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::begin_array() {
  separate();
  out_ += '[';
  first_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::end_array() {
  out_ += ']';
  first_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
  separate();
  out_ += json_quoted(name) + ':';
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::string(std::string_view utf8) {
  separate();
  out_ += json_quoted(utf8);
  return *this;
}

JsonWriter& JsonWriter::number(long long value) {
  separate();
  out_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::real(double value) {
  if (!std::isfinite(value)) return null();
  separate();
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  out_ += text;
  return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
  separate();
  out_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  separate();
  out_ += "null";
  return *this;
}

JsonWriter& JsonWriter::strings(const std::vector<std::string>& values) {
  begin_array();
  for (const std::string& v : values) string(v);
  return end_array();
}

}  // namespace host

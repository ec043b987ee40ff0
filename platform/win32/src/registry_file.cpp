// The registry's text form and the name order of its keys.
//
//   areaclip-registry 1
//   [HKEY_CLASSES_ROOT\CLSID\{5E1406A0-AA3A-45CB-9AA4-4D9C5009B25C}\InprocServer32]
//   @="/opt/areaclip/bin/vot_arcmap_areaclip.so"
//   "ThreadingModel"="Apartment"
//   "Count"=dword:00000010
//   "Bytes"=hex(3):01,02,ff
//
// Text is UTF-8. In quoted names and data, \\ \" \n \r \t and \xHH escape; in key names,
// "%HH" escapes "%" and control characters. Blank lines and lines starting with ";" are
// comments. Every key is written, also an empty one, so that empty keys persist.
#include <cstdio>
#include <vector>

#include "registry_tree.h"

namespace win32::registry {

namespace {

constexpr std::string_view kHeader = "areaclip-registry 1";

// Decodes one UTF-8 sequence at s[i]; a malformed byte stands for itself.
char32_t next_code_point(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  int extra = (c >= 0xC0 && c < 0xE0) ? 1 : (c >= 0xE0 && c < 0xF0) ? 2 : (c >= 0xF0 && c < 0xF8) ? 3 : 0;
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return c;
  }
  char32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return c;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += extra + 1;
  return cp;
}

char32_t fold(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

int compare_names(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = fold(next_code_point(a, i)), y = fold(next_code_point(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

void write_quoted(std::string& out, std::string_view s) {
  out += '"';
  for (unsigned char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void write_key_name(std::string& out, std::string_view s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7F || c == '%') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
}

void write_value(std::string& out, const std::string& name, const Value& v) {
  if (name.empty()) out += '@';
  else write_quoted(out, name);
  out += '=';
  char buf[32];
  if (v.type == 1 /* REG_SZ */) {
    write_quoted(out, v.data);
  } else if (v.type == 2 /* REG_EXPAND_SZ */) {
    out += "expand:";
    write_quoted(out, v.data);
  } else if (v.type == 4 /* REG_DWORD */ && v.data.size() == 4) {
    uint32_t d = 0;
    for (int k = 3; k >= 0; --k) d = (d << 8) | static_cast<unsigned char>(v.data[k]);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    out += buf;
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    out += buf;
    for (size_t k = 0; k < v.data.size(); ++k) {
      std::snprintf(buf, sizeof buf, k ? ",%02x" : "%02x", static_cast<unsigned char>(v.data[k]));
      out += buf;
    }
  }
  out += '\n';
}

void write_key(std::string& out, const std::string& path, const Key& key, bool always) {
  if (always || !key.values.empty() || key.subkeys.empty()) {
    out += '\n';
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, value] : key.values) write_value(out, name, value);
  }
  for (const auto& [name, sub] : key.subkeys) {
    std::string child = path + '\\';
    write_key_name(child, name);
    write_key(out, child, *sub, true);
  }
}

// Reads the pieces of one line; every failure names what was expected.
class LineReader {
 public:
  explicit LineReader(std::string_view s) : s_(s) {}
  bool done() const { return i_ >= s_.size(); }
  char peek() const { return done() ? '\0' : s_[i_]; }
  bool eat(char c) {
    if (peek() != c) return false;
    ++i_;
    return true;
  }
  bool eat(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  void skip_blanks() {
    while (!done() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }
  bool quoted(std::string* out, std::string* error) {
    if (!eat('"')) return fail(error, "expected '\"'");
    for (;;) {
      if (done()) return fail(error, "unterminated string");
      char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        *out += c;
        continue;
      }
      if (done()) return fail(error, "unterminated escape");
      char e = s_[i_++];
      switch (e) {
        case '\\': *out += '\\'; break;
        case '"': *out += '"'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'x': {
          int hi = hex(peek());
          if (hi < 0) return fail(error, "bad \\x escape");
          ++i_;
          int lo = hex(peek());
          if (lo < 0) return fail(error, "bad \\x escape");
          ++i_;
          *out += static_cast<char>(hi * 16 + lo);
          break;
        }
        default: return fail(error, std::string("unknown escape \\") + e);
      }
    }
  }
  bool hex_number(uint32_t* out, size_t max_digits) {
    size_t n = 0;
    uint32_t v = 0;
    while (n < max_digits && hex(peek()) >= 0) {
      v = v * 16 + static_cast<uint32_t>(hex(peek()));
      ++i_;
      ++n;
    }
    *out = v;
    return n > 0;
  }
  static int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  static bool fail(std::string* error, std::string what) {
    *error = std::move(what);
    return false;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

bool parse_key_line(std::string_view body, Tree* tree, Key** current, std::string* error) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i <= body.size(); ++i) {
    if (i == body.size() || body[i] == '\\') {
      if (part.empty()) return LineReader::fail(error, "empty key name in path");
      parts.push_back(std::move(part));
      part.clear();
    } else if (body[i] == '%') {
      int hi = i + 1 < body.size() ? LineReader::hex(body[i + 1]) : -1;
      int lo = i + 2 < body.size() ? LineReader::hex(body[i + 2]) : -1;
      if (hi < 0 || lo < 0) return LineReader::fail(error, "bad %HH escape in key name");
      // A backslash separates key names, so no name holds one (the writer never escapes it).
      if (hi * 16 + lo == '\\') return LineReader::fail(error, "a key name cannot hold '\\' (%5C)");
      part += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      part += body[i];
    }
  }
  if (!same_name(parts[0], "HKEY_CLASSES_ROOT") && !same_name(parts[0], "HKEY_CURRENT_USER"))
    return LineReader::fail(error, "unknown root key \"" + parts[0] + "\"");
  Key* key = &tree->roots[same_name(parts[0], "HKEY_CLASSES_ROOT") ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER"];
  for (size_t k = 1; k < parts.size(); ++k) key = &key->child(parts[k]);
  *current = key;
  return true;
}

bool parse_value_line(std::string_view line, Key* key, std::string* error) {
  LineReader r(line);
  std::string name;
  if (!r.eat('@') && !r.quoted(&name, error)) return LineReader::fail(error, "expected a value name (@ or \"name\")");
  r.skip_blanks();
  if (!r.eat('=')) return LineReader::fail(error, "expected '=' after the value name");
  r.skip_blanks();
  Value v;
  bool expand = r.eat("expand:");
  if (expand || r.peek() == '"') {
    v.type = expand ? 2 : 1;
    if (!r.quoted(&v.data, error)) return false;
  } else if (r.eat("dword:")) {
    uint32_t d;
    if (!r.hex_number(&d, 8)) return LineReader::fail(error, "expected 8 hex digits after dword:");
    v.type = 4;
    for (int k = 0; k < 4; ++k) v.data += static_cast<char>((d >> (8 * k)) & 0xFF);
  } else if (r.eat("hex(")) {
    if (!r.hex_number(&v.type, 8) || !r.eat("):")) return LineReader::fail(error, "expected hex(TYPE):");
    while (!r.done() && r.peek() != ' ' && r.peek() != '\t') {
      uint32_t b;
      if (!v.data.empty() && !r.eat(',')) return LineReader::fail(error, "expected ',' between bytes");
      if (!r.hex_number(&b, 2)) return LineReader::fail(error, "expected a hex byte");
      v.data += static_cast<char>(b);
    }
  } else {
    return LineReader::fail(error, "expected \"text\", expand:\"text\", dword:HEX or hex(TYPE):BYTES");
  }
  r.skip_blanks();
  if (!r.done()) return LineReader::fail(error, "unexpected text after the value");
  key->values[name] = std::move(v);
  return true;
}

}  // namespace

bool NameLess::operator()(const std::string& a, const std::string& b) const { return compare_names(a, b) < 0; }
bool same_name(std::string_view a, std::string_view b) { return compare_names(a, b) == 0; }

Key* Key::find(std::string_view name) const {
  auto it = subkeys.find(std::string(name));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Key& Key::child(const std::string& name) {
  auto& slot = subkeys[name];
  if (!slot) slot = std::make_unique<Key>();
  return *slot;
}

std::string serialize(const Tree& tree) {
  std::string out(kHeader);
  out += "\n; The registry of the Windows stand-in: keys in [brackets], their values below them.\n";
  for (const auto& [name, root] : tree.roots) write_key(out, name, root, false);
  return out;
}

bool parse(std::string_view text, Tree* tree, std::string* error) {
  size_t pos = 0;
  int line_no = 0;
  Key* current = nullptr;
  std::string what;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    bool ok = true;
    if (line_no == 1) {
      if (line.rfind("areaclip-registry ", 0) != 0) {
        ok = LineReader::fail(&what, "not a registry file (the first line must be \"areaclip-registry 1\")");
      } else if (line != kHeader) {
        ok = LineReader::fail(&what, "unsupported registry version \"" + std::string(line.substr(18)) + "\"");
      }
    } else if (line.empty() || line[0] == ';') {
      continue;
    } else if (line[0] == '[') {
      if (line.size() < 3 || line.back() != ']') ok = LineReader::fail(&what, "expected \"[key path]\"");
      else ok = parse_key_line(line.substr(1, line.size() - 2), tree, &current, &what);
    } else if (!current) {
      ok = LineReader::fail(&what, "a value before the first [key] line");
    } else {
      ok = parse_value_line(line, current, &what);
    }
    if (!ok) {
      *error = "line " + std::to_string(line_no) + ": " + what;
      return false;
    }
  }
  if (line_no == 0) {
    *error = "line 1: empty file (expected \"areaclip-registry 1\")";
    return false;
  }
  return true;
}

}  // namespace win32::registry

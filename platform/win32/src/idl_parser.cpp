// A recursive-descent reader of the type-library IDL subset. Recursion is fixed by the
// grammar (library → type → attributes); skipped blocks are matched iteratively with a
// bounded depth, so no input can exhaust the stack.
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "../include/win32/com_runtime.h"
#include "../include/win32/idl.h"

namespace win32::idl {

namespace {

constexpr size_t kMaxDepth = 200;
constexpr size_t kMaxText = 16u << 20;

struct Attribute {
  std::string name;
  std::string raw;  // the text between the parentheses, if any
  int line = 0;
  bool has_args = false;
};

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  [[noreturn]] void fail(const std::string& what) const { throw ParseError(line_, what); }
  [[noreturn]] void expected(const std::string& what) {
    skip();
    fail("expected " + what + ", found " + describe());
  }

  std::string describe() const {
    if (at_end()) return "end of text";
    if (std::isalpha(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_') return "'" + peek_ident() + "'";
    return std::string("'") + s_[i_] + "'";
  }

  bool at_end() const { return i_ >= s_.size(); }
  int line() const { return line_; }

  // Skips white space, // and /* */ comments and preprocessor lines.
  void skip() {
    while (!at_end()) {
      char c = s_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++i_;
      } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '/') {
        while (!at_end() && s_[i_] != '\n') ++i_;
      } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '*') {
        int start = line_;
        i_ += 2;
        while (!at_end() && !(s_[i_] == '*' && i_ + 1 < s_.size() && s_[i_ + 1] == '/')) {
          if (s_[i_] == '\n') ++line_;
          ++i_;
        }
        if (at_end()) throw ParseError(start, "unterminated comment");
        i_ += 2;
      } else if (c == '#' && (i_ == 0 || s_[i_ - 1] == '\n')) {
        while (!at_end() && s_[i_] != '\n') ++i_;
      } else {
        return;
      }
    }
  }

  bool peek(char c) {
    skip();
    return !at_end() && s_[i_] == c;
  }
  bool accept(char c) {
    if (!peek(c)) return false;
    ++i_;
    return true;
  }
  void expect(char c) {
    if (!accept(c)) expected(std::string("'") + c + "'");
  }

  std::string peek_ident() const {
    size_t j = i_;
    while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_')) ++j;
    return std::string(s_.substr(i_, j - i_));
  }
  bool peek_word(std::string_view w) {
    skip();
    return peek_ident() == w;
  }
  bool accept_word(std::string_view w) {
    if (!peek_word(w)) return false;
    i_ += w.size();
    return true;
  }
  std::string ident(const char* what) {
    skip();
    if (at_end() || !(std::isalpha(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_')) expected(what);
    std::string id = peek_ident();
    i_ += id.size();
    return id;
  }

  std::string string_literal() {
    skip();
    if (at_end() || s_[i_] != '"') expected("a string in double quotes");
    int start = line_;
    ++i_;
    std::string out;
    while (!at_end() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c == '\n') throw ParseError(start, "unterminated string");
      if (c == '\\' && !at_end()) {
        char e = s_[i_++];
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      } else {
        out += c;
      }
    }
    if (at_end()) throw ParseError(start, "unterminated string");
    ++i_;
    return out;
  }

  // The raw text up to the parenthesis that closes an already opened one.
  std::string raw_until_close_paren() {
    int depth = 1, start = line_;
    size_t begin = i_;
    while (!at_end()) {
      char c = s_[i_];
      if (c == '\n') ++line_;
      if (c == '"') {
        string_literal();
        continue;
      }
      if (c == '(' && ++depth > static_cast<int>(kMaxDepth)) fail("nesting too deep");
      if (c == ')' && --depth == 0) {
        std::string raw(s_.substr(begin, i_ - begin));
        ++i_;
        return raw;
      }
      ++i_;
    }
    throw ParseError(start, "missing ')'");
  }

  // Skips a declaration up to its ';' outside brackets, or a braced block with its ';'.
  void skip_declaration() {
    std::string closers;  // the brackets still open, innermost last
    int start = line_;
    for (;;) {
      skip();
      if (at_end()) throw ParseError(start, "unterminated declaration (missing ';')");
      char c = s_[i_];
      if (c == '"') {
        string_literal();
        continue;
      }
      ++i_;
      if (c == '(' || c == '[' || c == '{') {
        if (closers.size() >= kMaxDepth) fail("nesting too deep");
        closers += c == '(' ? ')' : c == '[' ? ']' : '}';
      } else if (c == ')' || c == ']' || c == '}') {
        if (closers.empty() || closers.back() != c) fail(std::string("unbalanced '") + c + "'");
        closers.pop_back();
      } else if (c == ';' && closers.empty()) {
        return;
      }
    }
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
  int line_ = 1;
};

std::string trim(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  size_t e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<Attribute> attributes(Reader& r) {
  std::vector<Attribute> out;
  if (!r.accept('[')) return out;
  if (r.accept(']')) return out;
  do {
    Attribute a;
    a.line = r.line();
    a.name = r.ident("an attribute name");
    if (r.accept('(')) {
      a.has_args = true;
      a.raw = trim(r.raw_until_close_paren());
    }
    out.push_back(std::move(a));
  } while (r.accept(','));
  r.expect(']');
  return out;
}

GUID uuid_of(const Attribute& a) {
  std::string text = a.raw;
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  GUID g;
  if (text.size() != 36 || !guid_from_string(text, &g)) throw ParseError(a.line, "malformed uuid(" + a.raw + ")");
  return g;
}

void version_of(const Attribute& a, WORD* major, WORD* minor) {
  const std::string& t = a.raw;
  size_t dot = t.find('.');
  auto number = [&](const std::string& s) -> WORD {
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(s) > 0xFFFF)
      throw ParseError(a.line, "malformed version(" + t + ")");
    return static_cast<WORD>(std::stoul(s));
  };
  *major = number(t.substr(0, dot));
  *minor = dot == std::string::npos ? 0 : number(t.substr(dot + 1));
}

DWORD number_of(const Attribute& a) {
  const std::string& t = a.raw;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(t.c_str(), &end, 0);
  if (t.empty() || *end || errno || v > 0xFFFFFFFFull || t[0] == '-')
    throw ParseError(a.line, "malformed number in " + a.name + "(" + t + ")");
  return static_cast<DWORD>(v);
}

std::string help_of(const Attribute& a) {
  const std::string& t = a.raw;
  if (t.size() < 2 || t.front() != '"' || t.back() != '"')
    throw ParseError(a.line, a.name + " needs a string in double quotes");
  Reader r(t);
  return r.string_literal();
}

// Applies the attributes common to the library and its types.
template <class T>
void common(const std::vector<Attribute>& attrs, T* target, bool* has_uuid) {
  for (const auto& a : attrs) {
    if (a.name == "uuid") {
      target->guid = uuid_of(a);
      *has_uuid = true;
    } else if (a.name == "version") {
      version_of(a, &target->major, &target->minor);
    } else if (a.name == "helpstring") {
      target->help = help_of(a);
    }
  }
}

bool has(const std::vector<Attribute>& attrs, std::string_view name) {
  for (const auto& a : attrs)
    if (a.name == name) return true;
  return false;
}

// Counts the members of a braced body ("properties:" / "methods:" sections or plain
// declarations) and skips them; the opening brace has been read.
void members(Reader& r, Type* t) {
  bool in_properties = false;
  for (;;) {
    if (r.accept('}')) return;
    if (r.at_end()) r.expected("'}'");
    if (r.accept_word("properties")) {
      r.expect(':');
      in_properties = true;
      continue;
    }
    if (r.accept_word("methods")) {
      r.expect(':');
      in_properties = false;
      continue;
    }
    r.skip_declaration();
    if (in_properties) ++t->variables;
    else ++t->functions;
  }
}

void coclass_body(Reader& r, Type* t) {
  r.expect('{');
  while (!r.accept('}')) {
    std::vector<Attribute> attrs = attributes(r);
    ImplType impl;
    if (r.accept_word("dispinterface")) impl.dispinterface = true;
    else if (!r.accept_word("interface")) r.expected("'interface' or 'dispinterface'");
    impl.name = r.ident("an interface name");
    r.expect(';');
    if (has(attrs, "default")) impl.flags |= IMPLTYPEFLAG_FDEFAULT;
    if (has(attrs, "source")) impl.flags |= IMPLTYPEFLAG_FSOURCE;
    if (has(attrs, "restricted")) impl.flags |= IMPLTYPEFLAG_FRESTRICTED;
    if (has(attrs, "defaultvtable")) impl.flags |= IMPLTYPEFLAG_FDEFAULTVTABLE;
    t->impl.push_back(std::move(impl));
  }
}

// One item of the library body; false for a forward declaration or skipped item.
bool library_item(Reader& r, Library* lib) {
  r.skip();
  int line = r.line();
  std::vector<Attribute> attrs = attributes(r);
  if (r.accept_word("importlib")) {
    r.expect('(');
    lib->imports.push_back(r.string_literal());
    r.expect(')');
    r.expect(';');
    return false;
  }
  if (r.accept_word("typedef") || r.accept_word("module") || r.accept_word("cpp_quote") ||
      r.accept_word("const")) {
    r.skip_declaration();
    return false;
  }
  Type t;
  t.line = line;
  if (r.accept_word("dispinterface")) {
    t.kind = TKIND_DISPATCH;
    t.flags = TYPEFLAG_FDISPATCHABLE;
  } else if (r.accept_word("coclass")) {
    t.kind = TKIND_COCLASS;
    t.flags = has(attrs, "noncreatable") ? 0 : TYPEFLAG_FCANCREATE;
  } else if (r.accept_word("interface")) {
    t.kind = TKIND_INTERFACE;
  } else {
    r.expected("'dispinterface', 'coclass', 'interface' or 'importlib'");
  }
  t.name = r.ident("a type name");
  if (r.accept(';')) return false;  // forward declaration
  bool has_uuid = false;
  common(attrs, &t, &has_uuid);
  if (!has_uuid) throw ParseError(line, t.name + " has no uuid attribute");
  if (has(attrs, "hidden")) t.flags |= TYPEFLAG_FHIDDEN;
  if (has(attrs, "oleautomation")) t.flags |= TYPEFLAG_FOLEAUTOMATION;
  if (has(attrs, "nonextensible")) t.flags |= TYPEFLAG_FNONEXTENSIBLE;
  if (has(attrs, "dual")) {
    t.kind = TKIND_DISPATCH;
    t.flags |= TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
  }
  if (t.kind == TKIND_COCLASS) {
    coclass_body(r, &t);
  } else {
    if (r.accept(':')) t.base = r.ident("a base interface name");
    r.expect('{');
    members(r, &t);
  }
  r.accept(';');
  for (const auto& other : lib->types)
    if (other.name == t.name) throw ParseError(line, "type " + t.name + " defined twice");
  lib->types.push_back(std::move(t));
  return true;
}

}  // namespace

Library Parse(std::string_view text) {
  if (text.size() > kMaxText) throw ParseError(1, "text too large for a type library");
  Reader r(text);
  Library lib;
  // Statements before the library: imports and forward declarations.
  for (;;) {
    if (r.accept_word("import")) {
      r.string_literal();
      while (r.accept(',')) r.string_literal();
      r.expect(';');
      continue;
    }
    if (r.accept_word("cpp_quote")) {
      r.skip_declaration();
      continue;
    }
    break;
  }
  r.skip();
  int line = r.line();
  std::vector<Attribute> attrs = attributes(r);
  if (!r.accept_word("library")) r.expected("'library'");
  lib.name = r.ident("the library name");
  bool has_uuid = false;
  common(attrs, &lib, &has_uuid);
  if (!has_uuid) throw ParseError(line, "library " + lib.name + " has no uuid attribute");
  for (const auto& a : attrs) {
    if (a.name == "lcid") lib.lcid = number_of(a);
    else if (a.name == "restricted") lib.flags |= LIBFLAG_FRESTRICTED;
    else if (a.name == "control") lib.flags |= LIBFLAG_FCONTROL;
    else if (a.name == "hidden") lib.flags |= LIBFLAG_FHIDDEN;
  }
  r.expect('{');
  while (!r.accept('}')) {
    if (r.at_end()) r.expected("'}' closing library " + lib.name);
    library_item(r, &lib);
    if (lib.types.size() > 0xFFFF) r.fail("too many types");
  }
  r.accept(';');
  r.skip();
  if (!r.at_end()) r.expected("end of text after the library");
  return lib;
}

}  // namespace win32::idl

#include "toolkit/form_reader.h"

#include <cxxabi.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>

#include <win32/text_conversions.h>

#include "toolkit/control.h"
#include "toolkit/exception.h"
#include "toolkit/form.h"

namespace toolkit {

void RegisterToolkitFormClasses();

namespace {

struct ClassEntry {
  std::string base;
  std::function<TComponent*(TComponent*)> create;
  std::map<std::string, PropertyWriter> properties;
};

std::map<std::string, ClassEntry>& registry() {
  static std::map<std::string, ClassEntry> classes;
  return classes;
}

void ensure_registered() {
  static const bool done = [] {
    RegisterToolkitFormClasses();
    return true;
  }();
  (void)done;
}

const PropertyWriter* find_property(const std::string& class_name, const std::string& property) {
  for (std::string name = class_name; !name.empty();) {
    auto it = registry().find(name);
    if (it == registry().end()) return nullptr;
    auto p = it->second.properties.find(property);
    if (p != it->second.properties.end()) return &p->second;
    name = it->second.base;
  }
  return nullptr;
}

std::string demangle(const std::string& mangled) {
  int status = 0;
  char* d = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
  std::string r = status == 0 && d ? d : mangled;
  std::free(d);
  return r;
}

enum class Tok { End, Name, Integer, Float, String, Symbol };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // Name, Symbol; String: UTF-16 code units gathered as UTF-8 later
  std::u16string wide;
  long long integer = 0;
  double real = 0;
  int line = 1;
};

class Lexer {
 public:
  Lexer(std::string_view text, std::string source) : text_(text), source_(std::move(source)) {}

  [[noreturn]] void fail(int line, const std::string& message) const {
    throw EReadError(source_ + ", line " + std::to_string(line) + ": " + message, line);
  }

  const Token& peek() {
    if (!peeked_) {
      next_ = lex();
      peeked_ = true;
    }
    return next_;
  }
  Token take() {
    peek();
    peeked_ = false;
    return next_;
  }

 private:
  Token lex() {
    skip_space();
    Token t;
    t.line = line_;
    if (pos_ >= text_.size()) return t;
    char c = text_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = pos_;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_' || text_[pos_] == '.'))
        ++pos_;
      t.kind = Tok::Name;
      t.text = std::string(text_.substr(start, pos_ - start));
      return t;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '$' ||
        ((c == '-' || c == '+') && pos_ + 1 < text_.size() &&
         (std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])) || text_[pos_ + 1] == '$')))
      return number(t);
    if (c == '\'' || c == '#') return string(t);
    ++pos_;
    t.kind = Tok::Symbol;
    t.text = std::string(1, c);
    return t;
  }

  Token number(Token& t) {
    size_t start = pos_;
    bool negative = false;
    if (text_[pos_] == '-' || text_[pos_] == '+') negative = text_[pos_++] == '-';
    if (pos_ < text_.size() && text_[pos_] == '$') {
      size_t s = ++pos_;
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      if (s == pos_ || pos_ - s > 16) fail(t.line, "bad hexadecimal number");
      t.kind = Tok::Integer;
      t.integer = static_cast<long long>(std::strtoull(std::string(text_.substr(s, pos_ - s)).c_str(), nullptr, 16));
      if (negative) t.integer = -t.integer;
      return t;
    }
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    bool real = false;
    if (pos_ + 1 < text_.size() && text_[pos_] == '.' && std::isdigit(static_cast<unsigned char>(text_[pos_ + 1]))) {
      real = true;
      ++pos_;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      real = true;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    std::string digits(text_.substr(start, pos_ - start));
    if (real) {
      t.kind = Tok::Float;
      t.real = std::strtod(digits.c_str(), nullptr);
    } else {
      if (digits.size() > 19) fail(t.line, "number out of range");
      t.kind = Tok::Integer;
      t.integer = std::strtoll(digits.c_str(), nullptr, 10);
    }
    return t;
  }

  // 'quoted' parts ('' is a quote) and #nnn codes, adjacent parts joined.
  Token string(Token& t) {
    t.kind = Tok::String;
    std::string utf8;
    auto flush = [&] {
      t.wide += win32::utf8_to_utf16(utf8);
      utf8.clear();
    };
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= text_.size() || text_[pos_] == '\n') fail(t.line, "unterminated string");
          if (text_[pos_] == '\'') {
            if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
              utf8 += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          utf8 += text_[pos_++];
        }
      } else if (c == '#') {
        ++pos_;
        size_t s = pos_;
        bool hex = pos_ < text_.size() && text_[pos_] == '$';
        if (hex) s = ++pos_;
        while (pos_ < text_.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text_[pos_]))
                                           : std::isdigit(static_cast<unsigned char>(text_[pos_]))))
          ++pos_;
        if (s == pos_ || pos_ - s > 6) fail(t.line, "bad character code");
        unsigned long code = std::strtoul(std::string(text_.substr(s, pos_ - s)).c_str(), nullptr, hex ? 16 : 10);
        if (code > 0xFFFF) fail(t.line, "character code out of range");
        flush();
        t.wide += static_cast<char16_t>(code);
      } else {
        break;
      }
    }
    flush();
    return t;
  }

  void skip_space() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }

  std::string_view text_;
  std::string source_;
  size_t pos_ = 0;
  int line_ = 1;
  Token next_;
  bool peeked_ = false;
};

class Reader {
 public:
  Reader(TForm& form, std::string_view text, const TFormBindings& bindings, const std::string& source)
      : lex_(text, source), source_(source), ctx_{form, bindings, {}, 0} {}

  ~Reader() {
    for (auto it = locked_.rbegin(); it != locked_.rend(); ++it)
      if (!it->first.expired()) it->second->EnableAlign();
  }

  void read() {
    lock(&ctx_.form);
    object(nullptr, 1);
    if (lex_.peek().kind != Tok::End) lex_.fail(lex_.peek().line, "text after the end of the form");
    for (auto& [line, fixup] : ctx_.fixups) {
      ctx_.line = line;
      guard(line, fixup);
    }
    for (const auto& [name, field] : ctx_.bindings.fields) {
      TComponent* c = ctx_.form.FindComponent(name);
      if (!c) throw EReadError(source_ + ": the field " + name + " has no object in the form text", 0);
      if (!field.assign(c))
        throw EReadError(source_ + ", line " + std::to_string(lines_[c]) + ": the object " + name + " is a " +
                             c->ClassName() + ", but its field is a " + demangle(field.class_name),
                         lines_[c]);
    }
  }

 private:
  void lock(TWinControl* w) {
    w->DisableAlign();
    locked_.emplace_back(w->Liveness(), w);
  }

  template <class F>
  void guard(int line, F&& f) {
    try {
      f();
    } catch (const EReadError&) {
      throw;
    } catch (const Exception& e) {
      lex_.fail(line, e.Message);
    } catch (const std::exception& e) {
      lex_.fail(line, e.what());
    }
  }

  Token expect_name(const char* what) {
    Token t = lex_.take();
    if (t.kind != Tok::Name) lex_.fail(t.line, std::string(what) + " expected");
    return t;
  }

  void expect_symbol(const char* symbol) {
    Token t = lex_.take();
    if (t.kind != Tok::Symbol || t.text != symbol) lex_.fail(t.line, std::string("'") + symbol + "' expected");
  }

  // Objects and lists are read recursively; nesting far deeper than any form's is refused
  // before it can exhaust the stack.
  static constexpr int kMaxDepth = 200;

  void object(TComponent* parent, int depth) {
    Token keyword = expect_name("'object'");
    if (keyword.text == "inherited" || keyword.text == "inline")
      lex_.fail(keyword.line, "'" + keyword.text + "' objects are not supported");
    if (keyword.text != "object") lex_.fail(keyword.line, "'object' expected");
    if (depth > kMaxDepth) lex_.fail(keyword.line, "objects nested too deeply");
    Token name = expect_name("object name");
    expect_symbol(":");
    Token cls = expect_name("class name");
    TComponent* component;
    std::string class_name;
    if (!parent) {
      component = &ctx_.form;
      class_name = "TForm";
      ctx_.form.Name = name.text;
    } else {
      auto it = registry().find(cls.text);
      if (it == registry().end()) lex_.fail(cls.line, "unknown class '" + cls.text + "'");
      if (ctx_.form.FindComponent(name.text)) lex_.fail(name.line, "duplicate object name '" + name.text + "'");
      class_name = cls.text;
      if (!it->second.create) lex_.fail(cls.line, "a " + cls.text + " cannot be created from a form text");
      component = it->second.create(&ctx_.form);
      component->Name = name.text;
      lines_[component] = name.line;
      auto* control = dynamic_cast<TControl*>(component);
      auto* parent_control = dynamic_cast<TWinControl*>(parent);
      if (auto* w = dynamic_cast<TWinControl*>(component)) lock(w);
      if (control) {
        if (!parent_control)
          lex_.fail(name.line, "the control '" + name.text + "' is inside '" + parent->Name +
                                   "', which cannot hold controls");
        guard(name.line, [&] { control->Parent = parent_control; });
      }
    }
    for (;;) {
      const Token& t = lex_.peek();
      if (t.kind == Tok::End) lex_.fail(t.line, "'end' of object '" + name.text + "' missing");
      if (t.kind == Tok::Name && t.text == "end") {
        lex_.take();
        return;
      }
      if (t.kind == Tok::Name && (t.text == "object" || t.text == "inherited" || t.text == "inline")) {
        object(component, depth + 1);
        continue;
      }
      Token property = expect_name("property name");
      expect_symbol("=");
      FormValue value = this->value(1);
      const PropertyWriter* writer = find_property(class_name, property.text);
      if (!writer)
        lex_.fail(property.line, "unknown property '" + property.text + "' of " + class_name + " ('" +
                                     name.text + "')");
      ctx_.line = property.line;
      guard(property.line, [&] { (*writer)(*component, value, ctx_); });
    }
  }

  FormValue value(int depth) {
    Token t = lex_.take();
    FormValue v;
    v.line = t.line;
    switch (t.kind) {
      case Tok::Integer:
        v.kind = FormValue::Integer;
        v.integer = t.integer;
        v.real = static_cast<double>(t.integer);
        return v;
      case Tok::Float:
        v.kind = FormValue::Float;
        v.real = t.real;
        return v;
      case Tok::String: {
        std::u16string wide = t.wide;
        while (lex_.peek().kind == Tok::Symbol && lex_.peek().text == "+") {
          lex_.take();
          Token more = lex_.take();
          if (more.kind != Tok::String) lex_.fail(more.line, "string expected after '+'");
          wide += more.wide;
        }
        v.kind = FormValue::String;
        v.text = win32::utf16_to_ansi(wide);
        return v;
      }
      case Tok::Name:
        v.kind = FormValue::Identifier;
        v.text = t.text;
        return v;
      case Tok::Symbol:
        if (t.text == "[") {
          v.kind = FormValue::Set;
          if (lex_.peek().kind == Tok::Symbol && lex_.peek().text == "]") {
            lex_.take();
            return v;
          }
          for (;;) {
            v.names.push_back(expect_name("set element").text);
            Token sep = lex_.take();
            if (sep.kind == Tok::Symbol && sep.text == "]") return v;
            if (sep.kind != Tok::Symbol || sep.text != ",") lex_.fail(sep.line, "',' or ']' expected");
          }
        }
        if (t.text == "(") {
          if (depth > kMaxDepth) lex_.fail(t.line, "lists nested too deeply");
          v.kind = FormValue::List;
          for (;;) {
            const Token& next = lex_.peek();
            if (next.kind == Tok::Symbol && next.text == ")") {
              lex_.take();
              return v;
            }
            if (next.kind == Tok::End) lex_.fail(next.line, "')' expected");
            v.items.push_back(value(depth + 1));
          }
        }
        if (t.text == "{") return binary(v);
        if (t.text == "<") lex_.fail(t.line, "collection properties are not supported");
        lex_.fail(t.line, "value expected, found '" + t.text + "'");
      case Tok::End: lex_.fail(t.line, "value expected at the end of the text");
    }
    lex_.fail(t.line, "value expected");
  }

  FormValue binary(FormValue& v) {
    v.kind = FormValue::Binary;
    std::string hex;
    for (;;) {
      Token t = lex_.take();
      if (t.kind == Tok::End) lex_.fail(t.line, "'}' expected");
      if (t.kind == Tok::Symbol && t.text == "}") break;
      if (t.kind == Tok::Name || t.kind == Tok::Integer)
        hex += t.kind == Tok::Name ? t.text : std::to_string(t.integer);
      else
        lex_.fail(t.line, "hexadecimal data expected");
    }
    if (hex.size() % 2) lex_.fail(v.line, "odd number of hexadecimal digits");
    for (size_t i = 0; i < hex.size(); i += 2) {
      if (!std::isxdigit(static_cast<unsigned char>(hex[i])) || !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
        lex_.fail(v.line, "hexadecimal data expected");
      v.text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return v;
  }

  Lexer lex_;
  std::string source_;
  FormContext ctx_;
  std::vector<std::pair<std::weak_ptr<void>, TWinControl*>> locked_;
  std::map<TComponent*, int> lines_;
};

}  // namespace

TNotifyEvent FormContext::NotifyHandler(const FormValue& value) const {
  if (value.kind != FormValue::Identifier) throw Exception("handler name expected");
  auto it = bindings.notify_handlers.find(value.text);
  if (it == bindings.notify_handlers.end()) throw Exception("unknown event handler '" + value.text + "'");
  return it->second;
}

TCloseEvent FormContext::CloseHandler(const FormValue& value) const {
  if (value.kind != FormValue::Identifier) throw Exception("handler name expected");
  auto it = bindings.close_handlers.find(value.text);
  if (it == bindings.close_handlers.end()) throw Exception("unknown close handler '" + value.text + "'");
  return it->second;
}

TComponent* FormContext::Find(const std::string& name) const {
  if (name == form.Name) return &form;
  TComponent* c = form.FindComponent(name);
  if (!c) throw Exception("no object named '" + name + "'");
  return c;
}

void RegisterFormClass(const std::string& name, const std::string& base,
                       std::function<TComponent*(TComponent* owner)> create,
                       std::vector<std::pair<std::string, PropertyWriter>> properties) {
  ensure_registered();
  ClassEntry entry{base, std::move(create), {}};
  for (auto& [property, writer] : properties) entry.properties[property] = std::move(writer);
  registry()[name] = std::move(entry);
}

// Registration without the recursion through ensure_registered (used by the built-ins).
void RegisterBuiltinFormClass(const std::string& name, const std::string& base,
                              std::function<TComponent*(TComponent* owner)> create,
                              std::vector<std::pair<std::string, PropertyWriter>> properties) {
  ClassEntry entry{base, std::move(create), {}};
  for (auto& [property, writer] : properties) entry.properties[property] = std::move(writer);
  registry()[name] = std::move(entry);
}

bool IsFormClassRegistered(const std::string& name) {
  ensure_registered();
  return registry().count(name) > 0;
}

void ReadForm(TForm& form, std::string_view text, const TFormBindings& bindings, const std::string& source_name) {
  ensure_registered();
  Reader(form, text, bindings, source_name).read();
}

}  // namespace toolkit

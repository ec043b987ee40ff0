// The registry's in-memory tree and its text form (private to the stand-in).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "../include/windef.h"

namespace win32::registry {

// Case-insensitive order of key and value names (ASCII, Latin-1 and Cyrillic letters fold).
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
bool same_name(std::string_view a, std::string_view b);

// A value: REG_SZ / REG_EXPAND_SZ hold UTF-8 text without its terminating zero, other
// types their bytes.
struct Value {
  DWORD type = 0;
  std::string data;
  bool operator==(const Value&) const = default;
};

struct Key {
  std::map<std::string, Value, NameLess> values;  // "" is the default value
  std::map<std::string, std::unique_ptr<Key>, NameLess> subkeys;

  Key* find(std::string_view name) const;
  Key& child(const std::string& name);  // finds or creates
};

// The roots by name ("HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER").
struct Tree {
  std::map<std::string, Key, NameLess> roots;
};

// The text form: a version line, then "[ROOT\key\sub]" lines each followed by its values.
std::string serialize(const Tree& tree);
// Fills tree from text; on a damaged text returns false with "line N: what" in *error.
bool parse(std::string_view text, Tree* tree, std::string* error);

}  // namespace win32::registry

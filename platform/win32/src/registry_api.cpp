// The Reg* calls: open-key handles over paths into the registry tree. A handle names its
// key by path, so a key deleted by another handle or process answers ERROR_KEY_DELETED.
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

#include "../include/winreg.h"
#include "../include/win32/text.h"
#include "registry_store.h"

namespace {

using win32::registry::Key;
using win32::registry::Tree;
using win32::registry::Value;

struct KeyPath {
  std::string root;  // "HKEY_CLASSES_ROOT" or "HKEY_CURRENT_USER"
  std::vector<std::string> parts;
};

struct Handles {
  std::mutex lock;
  std::map<uintptr_t, KeyPath> open;
  uintptr_t next = 0x1000;
};

Handles& handles() {
  static Handles* h = new Handles;
  return *h;
}

// The path a handle names; ERROR_INVALID_HANDLE for an unknown one, ERROR_ACCESS_DENIED for
// the predefined roots the stand-in does not keep.
LONG path_of(HKEY h, KeyPath* out) {
  if (h == HKEY_CLASSES_ROOT || h == HKEY_CURRENT_USER) {
    *out = KeyPath{h == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER", {}};
    return ERROR_SUCCESS;
  }
  if (h == HKEY_LOCAL_MACHINE || h == HKEY_USERS || h == HKEY_CURRENT_CONFIG) return ERROR_ACCESS_DENIED;
  auto& t = handles();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = t.open.find(reinterpret_cast<uintptr_t>(h));
  if (it == t.open.end()) return ERROR_INVALID_HANDLE;
  *out = it->second;
  return ERROR_SUCCESS;
}

// hKey plus a relative path ("a\b\c"); empty parts (doubled or trailing "\") are skipped.
LONG resolve(HKEY h, const std::string& sub, KeyPath* out) {
  LONG rc = path_of(h, out);
  if (rc != ERROR_SUCCESS) return rc;
  if (!sub.empty() && sub[0] == '\\') return ERROR_BAD_PATHNAME;
  size_t start = 0;
  while (start <= sub.size()) {
    size_t end = sub.find('\\', start);
    if (end == std::string::npos) end = sub.size();
    if (end > start) {
      if (end - start > 255) return ERROR_INVALID_PARAMETER;
      out->parts.push_back(sub.substr(start, end - start));
    }
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

const Key* find(const Tree& tree, const KeyPath& p) {
  static const Key kEmpty;
  auto root = tree.roots.find(p.root);
  if (root == tree.roots.end()) return p.parts.empty() ? &kEmpty : nullptr;
  const Key* k = &root->second;
  for (const auto& part : p.parts) {
    k = k->find(part);
    if (!k) return nullptr;
  }
  return k;
}

Key* find(Tree& tree, const KeyPath& p) {
  Key* k = &tree.roots[p.root];
  for (const auto& part : p.parts) {
    k = k->find(part);
    if (!k) return nullptr;
  }
  return k;
}

HKEY new_handle(KeyPath p) {
  auto& t = handles();
  std::lock_guard<std::mutex> g(t.lock);
  uintptr_t id = t.next;
  t.next += 8;
  t.open.emplace(id, std::move(p));
  return reinterpret_cast<HKEY>(id);
}

std::string from_ansi(LPCSTR s) { return s ? win32::ansi_to_utf8(s) : std::string(); }
std::string from_wide(LPCWSTR s) { return s ? win32::utf16_to_utf8(s) : std::string(); }

bool is_text(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The registry data of a text value arriving from the caller: up to the first zero.
std::string text_from_ansi(const BYTE* data, DWORD size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  s.resize(std::strlen(s.c_str()));
  return win32::ansi_to_utf8(s);
}
std::string text_from_wide(const BYTE* data, DWORD size) {
  std::u16string s(size / 2, u'\0');
  std::memcpy(s.data(), data, s.size() * 2);
  size_t zero = s.find(u'\0');
  if (zero != std::u16string::npos) s.resize(zero);
  return win32::utf16_to_utf8(s);
}

// The bytes handed back for a value: text in the caller's encoding with its zero.
std::string bytes_for_caller(const Value& v, bool wide) {
  if (!is_text(v.type)) return v.data;
  if (!wide) {
    std::string a = win32::utf8_to_ansi(v.data);
    a.push_back('\0');
    return a;
  }
  std::u16string w = win32::utf8_to_utf16(v.data);
  w.push_back(u'\0');
  return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2);
}

LONG create_key(HKEY h, const std::string& sub, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyPath p;
  LONG rc = resolve(h, sub, &p);
  if (rc != ERROR_SUCCESS) return rc;
  bool exists = false;
  rc = win32::registry::read([&](const Tree& tree) {
    exists = find(tree, p) != nullptr;
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (!exists) {
    KeyPath parent = p;
    rc = win32::registry::modify([&](Tree& tree, bool* changed) -> LONG {
      Key* k = &tree.roots[p.root];
      // The handle's own key must still exist; the parts below it are created.
      KeyPath base;
      path_of(h, &base);
      for (size_t i = 0; i < p.parts.size(); ++i) {
        Key* next = k->find(p.parts[i]);
        if (!next) {
          if (i < base.parts.size()) return ERROR_KEY_DELETED;
          next = &k->child(p.parts[i]);
          *changed = true;
        }
        k = next;
      }
      return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS) return rc;
  }
  if (disposition) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = new_handle(std::move(p));
  return ERROR_SUCCESS;
}

LONG open_key(HKEY h, const std::string& sub, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyPath p;
  LONG rc = resolve(h, sub, &p);
  if (rc != ERROR_SUCCESS) return rc;
  rc = win32::registry::read([&](const Tree& tree) { return find(tree, p) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND; });
  if (rc != ERROR_SUCCESS) return rc;
  *result = new_handle(std::move(p));
  return ERROR_SUCCESS;
}

LONG set_value(HKEY h, const std::string& name, DWORD type, const BYTE* data, DWORD size, bool wide) {
  if (size && !data) return ERROR_INVALID_PARAMETER;
  KeyPath p;
  LONG rc = path_of(h, &p);
  if (rc != ERROR_SUCCESS) return rc;
  Value v;
  v.type = type;
  if (is_text(type)) v.data = wide ? text_from_wide(data, size) : text_from_ansi(data, size);
  else v.data.assign(reinterpret_cast<const char*>(data), size);
  return win32::registry::modify([&](Tree& tree, bool* changed) -> LONG {
    Key* k = find(tree, p);
    if (!k) return ERROR_KEY_DELETED;
    auto it = k->values.find(name);
    if (it != k->values.end() && it->second == v) return ERROR_SUCCESS;
    if (it != k->values.end()) it->second = v;
    else k->values.emplace(name, v);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG query_value(HKEY h, const std::string& name, LPDWORD type, BYTE* data, LPDWORD size, bool wide) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  KeyPath p;
  LONG rc = path_of(h, &p);
  if (rc != ERROR_SUCCESS) return rc;
  return win32::registry::read([&](const Tree& tree) -> LONG {
    const Key* k = find(tree, p);
    if (!k) return ERROR_KEY_DELETED;
    auto it = k->values.find(name);
    if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
    std::string bytes = bytes_for_caller(it->second, wide);
    if (type) *type = it->second.type;
    if (!size) return ERROR_SUCCESS;
    DWORD have = *size;
    *size = static_cast<DWORD>(bytes.size());
    if (!data) return ERROR_SUCCESS;
    if (have < bytes.size()) return ERROR_MORE_DATA;
    std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
  });
}

LONG delete_value(HKEY h, const std::string& name) {
  KeyPath p;
  LONG rc = path_of(h, &p);
  if (rc != ERROR_SUCCESS) return rc;
  return win32::registry::modify([&](Tree& tree, bool* changed) -> LONG {
    Key* k = find(tree, p);
    if (!k) return ERROR_KEY_DELETED;
    if (k->values.erase(name) == 0) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
}

// The name of subkey `index`; ERROR_NO_MORE_ITEMS past the end.
LONG subkey_name(HKEY h, DWORD index, std::string* name) {
  KeyPath p;
  LONG rc = path_of(h, &p);
  if (rc != ERROR_SUCCESS) return rc;
  return win32::registry::read([&](const Tree& tree) -> LONG {
    const Key* k = find(tree, p);
    if (!k) return ERROR_KEY_DELETED;
    if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    *name = std::next(k->subkeys.begin(), index)->first;
    return ERROR_SUCCESS;
  });
}

template <class Char>
LONG copy_name(const std::basic_string<Char>& name, Char* out, DWORD capacity, DWORD* length) {
  if (!out) return ERROR_INVALID_PARAMETER;
  if (capacity < name.size() + 1) return ERROR_MORE_DATA;
  std::copy(name.begin(), name.end(), out);
  out[name.size()] = 0;
  if (length) *length = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

LONG delete_key(HKEY h, const std::string& sub, bool tree_too) {
  KeyPath p;
  LONG rc = resolve(h, sub, &p);
  if (rc != ERROR_SUCCESS) return rc;
  return win32::registry::modify([&](Tree& tree, bool* changed) -> LONG {
    Key* k = find(tree, p);
    if (!k) return ERROR_FILE_NOT_FOUND;
    if (tree_too && sub.empty()) {  // RegDeleteTree(h, NULL): empties the key itself
      *changed = !k->subkeys.empty() || !k->values.empty();
      k->subkeys.clear();
      k->values.clear();
      return ERROR_SUCCESS;
    }
    if (p.parts.empty()) return ERROR_ACCESS_DENIED;
    if (!tree_too && !k->subkeys.empty()) return ERROR_ACCESS_DENIED;
    KeyPath parent_path = p;
    parent_path.parts.pop_back();
    Key* parent = find(tree, parent_path);
    parent->subkeys.erase(p.parts.back());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace

LONG RegCreateKeyExA(HKEY h, LPCSTR sub, DWORD, LPSTR, DWORD, REGSAM, void*, PHKEY result, LPDWORD disposition) {
  if (!sub) return ERROR_INVALID_PARAMETER;
  return create_key(h, from_ansi(sub), result, disposition);
}
LONG RegCreateKeyExW(HKEY h, LPCWSTR sub, DWORD, LPWSTR, DWORD, REGSAM, void*, PHKEY result, LPDWORD disposition) {
  if (!sub) return ERROR_INVALID_PARAMETER;
  return create_key(h, from_wide(sub), result, disposition);
}
LONG RegOpenKeyExA(HKEY h, LPCSTR sub, DWORD, REGSAM, PHKEY result) { return open_key(h, from_ansi(sub), result); }
LONG RegOpenKeyExW(HKEY h, LPCWSTR sub, DWORD, REGSAM, PHKEY result) { return open_key(h, from_wide(sub), result); }

LONG RegCloseKey(HKEY h) {
  KeyPath p;
  if (path_of(h, &p) == ERROR_ACCESS_DENIED) return ERROR_SUCCESS;
  if (h == HKEY_CLASSES_ROOT || h == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  auto& t = handles();
  std::lock_guard<std::mutex> g(t.lock);
  return t.open.erase(reinterpret_cast<uintptr_t>(h)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegSetValueExA(HKEY h, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  return set_value(h, from_ansi(name), type, data, size, false);
}
LONG RegSetValueExW(HKEY h, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  return set_value(h, from_wide(name), type, data, size, true);
}
LONG RegQueryValueExA(HKEY h, LPCSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
  return query_value(h, from_ansi(name), type, data, size, false);
}
LONG RegQueryValueExW(HKEY h, LPCWSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
  return query_value(h, from_wide(name), type, data, size, true);
}
LONG RegDeleteValueA(HKEY h, LPCSTR name) { return delete_value(h, from_ansi(name)); }
LONG RegDeleteValueW(HKEY h, LPCWSTR name) { return delete_value(h, from_wide(name)); }

LONG RegEnumKeyA(HKEY h, DWORD index, LPSTR out, DWORD cch) {
  std::string name;
  LONG rc = subkey_name(h, index, &name);
  return rc != ERROR_SUCCESS ? rc : copy_name(win32::utf8_to_ansi(name), out, cch, nullptr);
}
LONG RegEnumKeyW(HKEY h, DWORD index, LPWSTR out, DWORD cch) {
  std::string name;
  LONG rc = subkey_name(h, index, &name);
  return rc != ERROR_SUCCESS ? rc : copy_name(win32::utf8_to_utf16(name), out, cch, nullptr);
}
LONG RegEnumKeyExA(HKEY h, DWORD index, LPSTR out, LPDWORD cch, LPDWORD, LPSTR cls, LPDWORD cch_cls, PFILETIME ft) {
  if (!cch) return ERROR_INVALID_PARAMETER;
  std::string name;
  LONG rc = subkey_name(h, index, &name);
  if (rc == ERROR_SUCCESS) rc = copy_name(win32::utf8_to_ansi(name), out, *cch, cch);
  if (rc == ERROR_SUCCESS && cls && cch_cls && *cch_cls) *cls = 0;
  if (rc == ERROR_SUCCESS && cch_cls) *cch_cls = 0;
  if (rc == ERROR_SUCCESS && ft) *ft = FILETIME{0, 0};
  return rc;
}
LONG RegEnumKeyExW(HKEY h, DWORD index, LPWSTR out, LPDWORD cch, LPDWORD, LPWSTR cls, LPDWORD cch_cls, PFILETIME ft) {
  if (!cch) return ERROR_INVALID_PARAMETER;
  std::string name;
  LONG rc = subkey_name(h, index, &name);
  if (rc == ERROR_SUCCESS) rc = copy_name(win32::utf8_to_utf16(name), out, *cch, cch);
  if (rc == ERROR_SUCCESS && cls && cch_cls && *cch_cls) *cls = 0;
  if (rc == ERROR_SUCCESS && cch_cls) *cch_cls = 0;
  if (rc == ERROR_SUCCESS && ft) *ft = FILETIME{0, 0};
  return rc;
}

LONG RegDeleteKeyA(HKEY h, LPCSTR sub) { return sub ? delete_key(h, from_ansi(sub), false) : ERROR_INVALID_PARAMETER; }
LONG RegDeleteKeyW(HKEY h, LPCWSTR sub) { return sub ? delete_key(h, from_wide(sub), false) : ERROR_INVALID_PARAMETER; }
LONG RegDeleteTreeA(HKEY h, LPCSTR sub) { return delete_key(h, from_ansi(sub), true); }
LONG RegDeleteTreeW(HKEY h, LPCWSTR sub) { return delete_key(h, from_wide(sub), true); }

// Resource lookup over the tables registered by the modules.
#include <algorithm>
#include <cctype>
#include <mutex>
#include <vector>

#include "../include/libloaderapi.h"
#include "../include/winbase.h"
#include "../include/winuser.h"
#include "../include/win32/modules.h"
#include "../include/win32/resources.h"
#include "../include/win32/text.h"

namespace {

struct Table {
  HMODULE module;
  const win32::ResourceEntry* entries;
  size_t count;
};

struct Tables {
  std::mutex lock;
  std::vector<Table> tables;
};

Tables& tables() {
  static Tables* t = new Tables;  // modules unregister from static destructors
  return *t;
}

// "#70", "70"-as-id and names in one canonical form: "#<decimal>" or the upper-case name.
std::string canonical(std::string s) {
  if (s.size() > 1 && s[0] == '#' && std::all_of(s.begin() + 1, s.end(), [](unsigned char c) { return std::isdigit(c); })) {
    unsigned long v = std::strtoul(s.c_str() + 1, nullptr, 10);
    return "#" + std::to_string(v & 0xFFFF);
  }
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string canonical_type(const std::string& type) {
  static const std::pair<const char*, int> kPredefined[] = {
      {"CURSOR", 1}, {"BITMAP", 2}, {"ICON", 3}, {"MENU", 4}, {"DIALOG", 5}, {"STRING", 6},
      {"FONTDIR", 7}, {"FONT", 8}, {"ACCELERATOR", 9}, {"RCDATA", 10}, {"MESSAGETABLE", 11},
      {"GROUP_CURSOR", 12}, {"GROUP_ICON", 14}, {"VERSION", 16}, {"HTML", 23}, {"MANIFEST", 24}};
  std::string c = canonical(type);
  for (const auto& [name, id] : kPredefined)
    if (c == name) return "#" + std::to_string(id);
  return c;
}

std::string from_ansi_id(LPCSTR s) {
  if (IS_INTRESOURCE(s)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(s));
  return canonical(s);
}
std::string from_wide_id(LPCWSTR s) {
  if (IS_INTRESOURCE(s)) return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(s));
  return canonical(win32::utf16_to_utf8(s));
}

// The entry, or null with the Windows error code in *error.
const win32::ResourceEntry* find(HMODULE module, const std::string& type, const std::string& name, DWORD* error) {
  if (!module) module = win32::ProgramModule();
  auto& t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  bool any_table = false, any_type = false;
  for (const Table& table : t.tables) {
    if (table.module != module) continue;
    any_table = true;
    for (size_t i = 0; i < table.count; ++i) {
      const auto& e = table.entries[i];
      if (canonical(e.type) != type) continue;
      any_type = true;
      if (canonical(e.name) == name) return &e;
    }
  }
  *error = !any_table ? ERROR_RESOURCE_DATA_NOT_FOUND
                      : !any_type ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND;
  return nullptr;
}

HRSRC found(const win32::ResourceEntry* e, DWORD error) {
  if (!e) SetLastError(error);
  return reinterpret_cast<HRSRC>(const_cast<win32::ResourceEntry*>(e));
}

}  // namespace

namespace win32 {

ModuleResources::ModuleResources(const ResourceEntry* entries, size_t count) : entries_(entries) {
  auto& t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  t.tables.push_back(Table{ModuleOfAddress(entries), entries, count});
}

ModuleResources::~ModuleResources() {
  auto& t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  std::erase_if(t.tables, [&](const Table& table) { return table.entries == entries_; });
}

std::optional<std::string> FindResourceBytes(HINSTANCE module, const std::string& type, const std::string& name) {
  DWORD error = 0;
  const ResourceEntry* e = find(module, canonical_type(type), canonical(name), &error);
  if (!e) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(e->data), e->size);
}

}  // namespace win32

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!name || !type) return found(nullptr, ERROR_INVALID_PARAMETER);
  DWORD error = 0;
  const win32::ResourceEntry* e = find(module, from_ansi_id(type), from_ansi_id(name), &error);
  return found(e, error);
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  if (!name || !type) return found(nullptr, ERROR_INVALID_PARAMETER);
  DWORD error = 0;
  const win32::ResourceEntry* e = find(module, from_wide_id(type), from_wide_id(name), &error);
  return found(e, error);
}

HGLOBAL LoadResource(HMODULE, HRSRC res) {
  if (!res) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* e = reinterpret_cast<const win32::ResourceEntry*>(res);
  return reinterpret_cast<HGLOBAL>(const_cast<unsigned char*>(e->data));
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC res) {
  if (!res) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(reinterpret_cast<const win32::ResourceEntry*>(res)->size);
}

BOOL FreeResource(HGLOBAL) { return FALSE; }  // resources live as long as their module, as on Windows

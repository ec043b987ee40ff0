#include "extension/vot_arcmap_areaclip_reg.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "extension/vot_arcmap_areaclip_atl.h"

namespace {

std::string guid_text(const GUID& guid) {
  LPOLESTR text = nullptr;
  if (FAILED(StringFromCLSID(guid, &text))) return {};
  std::string ansi = olestr_to_ansi(text);
  CoTaskMemFree(text);
  return ansi;
}

void set_key_value(const std::string& key, const char* name, const std::string* value) {
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                      nullptr, &h, nullptr) != ERROR_SUCCESS)
    return;
  if (value)
    RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                   static_cast<DWORD>(value->size() + 1));
  RegCloseKey(h);
}

// Deletes parent\name with everything below it, depth first.
void delete_key_tree(HKEY parent, const char* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &h) != ERROR_SUCCESS) return;
  char sub[256];
  while (RegEnumKeyA(h, 0, sub, sizeof sub) == ERROR_SUCCESS) {
    HKEY probe = nullptr;
    delete_key_tree(h, sub);
    if (RegOpenKeyExA(h, sub, 0, KEY_READ, &probe) == ERROR_SUCCESS) {
      // The subkey could not be deleted: stop rather than loop on it.
      RegCloseKey(probe);
      break;
    }
  }
  RegCloseKey(h);
  RegDeleteKeyA(parent, name);
}

HRESULT load_type_library(const std::string& path, TComInterface<ITypeLib>* lib) {
  Tvo_bstr wide(path);
  return LoadTypeLib(wide.get(), &*lib);
}

struct Tvo_class_type_info {
  std::string description;
  bool has_description = false;
  TLIBATTR lib{};
};

// Loads the type library from path and reads what the registration needs of one class.
HRESULT read_class_type_info(const std::string& path, REFCLSID clsid, TComInterface<ITypeLib>* lib,
                             Tvo_class_type_info* info) {
  HRESULT hr = load_type_library(path, lib);
  if (FAILED(hr)) return hr;
  TComInterface<ITypeInfo> type;
  hr = (*lib)->GetTypeInfoOfGuid(clsid, &type);
  if (FAILED(hr)) return hr;
  Tvo_bstr doc;
  if (SUCCEEDED(type->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr)) && doc.get()) {
    info->description = doc.ansi();
    info->has_description = true;
  }
  TLIBATTR* attr = nullptr;
  hr = (*lib)->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  info->lib = *attr;
  (*lib)->ReleaseTLibAttr(attr);
  return S_OK;
}

}  // namespace

std::string vot_module_file_name(HINSTANCE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

std::string vot_module_path_for_registry(HINSTANCE module) {
  std::string path = vot_module_file_name(module);
  for (char c : path) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      char short_path[MAX_PATH] = {};
      // A result of MAX_PATH or more is the size the short form would need: it was not written.
      DWORD length = GetShortPathNameA(path.c_str(), short_path, MAX_PATH);
      if (length > 0 && length < MAX_PATH) return short_path;
      break;
    }
  }
  return path;
}

HRESULT vot_update_class_registry(const std::string& module_path, REFCLSID clsid, const char* progid,
                                  bool do_register) {
  TComInterface<ITypeLib> lib;
  Tvo_class_type_info info;
  HRESULT hr = read_class_type_info(module_path, clsid, std::addressof(lib), &info);
  if (FAILED(hr)) return hr;
  const std::string clsid_text = guid_text(clsid);
  const std::string clsid_key = "CLSID\\" + clsid_text;
  const std::string prog = progid ? progid : "";
  if (!do_register) {
    delete_key_tree(HKEY_CLASSES_ROOT, clsid_key.c_str());
    if (!prog.empty()) delete_key_tree(HKEY_CLASSES_ROOT, prog.c_str());
    return S_OK;
  }
  const std::string* description = info.has_description ? &info.description : nullptr;
  set_key_value(clsid_key, nullptr, description);
  set_key_value(clsid_key + "\\InprocServer32", nullptr, &module_path);
  const std::string apartment = "Apartment";
  set_key_value(clsid_key + "\\InprocServer32", "ThreadingModel", &apartment);
  if (!prog.empty()) {
    set_key_value(prog, nullptr, description);
    set_key_value(prog + "\\CLSID", nullptr, &clsid_text);
    set_key_value(clsid_key + "\\ProgID", nullptr, &prog);
  }
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d", info.lib.wMajorVerNum, info.lib.wMinorVerNum);
  const std::string version_text = version;
  set_key_value(clsid_key + "\\Version", nullptr, &version_text);
  const std::string libid = guid_text(info.lib.guid);
  set_key_value(clsid_key + "\\Typelib", nullptr, &libid);
  Tvo_bstr wide_path(module_path);
  return RegisterTypeLib(lib, wide_path.get(), nullptr);
}

HRESULT vot_register_module_type_library(const std::string& module_file) {
  std::string path = module_file;
  TComInterface<ITypeLib> lib;
  HRESULT hr = load_type_library(path, std::addressof(lib));
  if (FAILED(hr)) {
    size_t dot = path.rfind('.');
    path = dot == std::string::npos ? path + ".tlb" : path.substr(0, dot) + ".tlb";
    hr = load_type_library(path, std::addressof(lib));
    if (FAILED(hr)) return hr;
  }
  size_t cut = path.find_last_of("\\/:");
  Tvo_bstr wide_path(path);
  Tvo_bstr help_dir(cut == std::string::npos ? std::string() : path.substr(0, cut + 1));
  return RegisterTypeLib(lib, wide_path.get(), help_dir.get());
}

// RegisterTypeLib and UnRegisterTypeLib: the TypeLib and Interface keys of HKEY_CLASSES_ROOT.
#include <cstdio>
#include <vector>

#include "../include/oaidl.h"
#include "../include/objbase.h"
#include "../include/win32/com_error.h"
#include "../include/win32/com_ptr.h"
#include "../include/win32/com_runtime.h"
#include "../include/win32/reg_key.h"
#include "../include/win32/text.h"

namespace {

using win32::ComPtr;
using win32::RegKey;

// The proxy classes Windows names for automation interfaces.
constexpr const char* kPSDispatch = "{00020420-0000-0000-C000-000000000046}";
constexpr const char* kPSOAInterface = "{00020424-0000-0000-C000-000000000046}";

std::string hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", v);
  return buf;
}

// The key of the module's path under TypeLib\{libid}\version\lcid.
const char* platform_key(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16: return "win16";
    case SYS_MAC: return "mac";
    case SYS_WIN64: return "win64";
    default: return "win32";
  }
}

std::string version_key(const TLIBATTR& a) {
  return "TypeLib\\" + win32::guid_to_string(a.guid) + "\\" + hex(a.wMajorVerNum) + "." + hex(a.wMinorVerNum);
}

// Throws the registry failure as TYPE_E_REGISTRYACCESS.
void check(LONG rc, const std::string& what) {
  if (rc != ERROR_SUCCESS)
    win32::throw_hr(TYPE_E_REGISTRYACCESS, "cannot write HKEY_CLASSES_ROOT\\" + what + " (error " + std::to_string(rc) + ")");
}

void write(const std::string& path, const std::string& name, const std::string& value) {
  RegKey key;
  check(RegKey::Create(HKEY_CLASSES_ROOT, path, &key), path);
  check(key.SetString(name, value), path);
}

struct AttrHolder {
  ITypeLib* lib;
  TLIBATTR* attr = nullptr;
  ~AttrHolder() {
    if (attr) lib->ReleaseTLibAttr(attr);
  }
};

// Interfaces registered under Interface\{IID}: dispinterfaces and dual or oleautomation
// interfaces, with the proxy class that marshals them.
struct Registered {
  GUID iid;
  std::string name;
  const char* proxy;
};

std::vector<Registered> automation_interfaces(ITypeLib* lib) {
  std::vector<Registered> out;
  for (UINT i = 0, n = lib->GetTypeInfoCount(); i < n; ++i) {
    ComPtr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfo(i, info.put()))) continue;
    TYPEATTR* a = nullptr;
    if (FAILED(info->GetTypeAttr(&a))) continue;
    const char* proxy = nullptr;
    if (a->typekind == TKIND_DISPATCH) proxy = (a->wTypeFlags & TYPEFLAG_FDUAL) ? kPSOAInterface : kPSDispatch;
    else if (a->typekind == TKIND_INTERFACE && (a->wTypeFlags & TYPEFLAG_FOLEAUTOMATION)) proxy = kPSOAInterface;
    GUID iid = a->guid;
    info->ReleaseTypeAttr(a);
    if (!proxy) continue;
    win32::Bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    out.push_back(Registered{iid, name.utf8(), proxy});
  }
  return out;
}

}  // namespace

HRESULT RegisterTypeLib(ITypeLib* lib, LPCOLESTR full_path, LPCOLESTR help_dir) {
  if (!lib || !full_path) return E_INVALIDARG;
  return win32::com_guard([&]() -> HRESULT {
    AttrHolder attr{lib};
    HRESULT hr = lib->GetLibAttr(&attr.attr);
    if (FAILED(hr)) return hr;
    win32::Bstr name, doc;
    lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr);
    const TLIBATTR& a = *attr.attr;
    std::string key = version_key(a);
    std::string libid = win32::guid_to_string(a.guid);
    std::string version = hex(a.wMajorVerNum) + "." + hex(a.wMinorVerNum);
    write(key, "", doc.utf8().empty() ? name.utf8() : doc.utf8());
    write(key + "\\FLAGS", "", std::to_string(a.wLibFlags & ~LIBFLAG_FHASDISKIMAGE));
    write(key + "\\" + hex(a.lcid) + "\\" + platform_key(a.syskind), "", win32::utf16_to_utf8(full_path));
    write(key + "\\HELPDIR", "", help_dir ? win32::utf16_to_utf8(help_dir) : std::string());
    for (const Registered& r : automation_interfaces(lib)) {
      std::string ikey = "Interface\\" + win32::guid_to_string(r.iid);
      write(ikey, "", r.name);
      write(ikey + "\\ProxyStubClsid", "", r.proxy);
      write(ikey + "\\ProxyStubClsid32", "", r.proxy);
      write(ikey + "\\TypeLib", "", libid);
      write(ikey + "\\TypeLib", "Version", version);
    }
    return S_OK;
  });
}

HRESULT UnRegisterTypeLib(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND syskind) {
  return win32::com_guard([&]() -> HRESULT {
    TLIBATTR a{libid, lcid, syskind, major, minor, 0};
    std::string key = version_key(a);
    std::string libid_text = win32::guid_to_string(libid);
    auto path = win32::ReadClassesRootString(key + "\\" + hex(lcid) + "\\" + platform_key(syskind));
    if (!path) return TYPE_E_REGISTRYACCESS;
    // The interface keys are found through the library itself, as Windows does.
    ComPtr<ITypeLib> lib;
    if (SUCCEEDED(LoadTypeLib(win32::utf8_to_utf16(*path).c_str(), lib.put()))) {
      for (const Registered& r : automation_interfaces(lib.get())) {
        std::string ikey = "Interface\\" + win32::guid_to_string(r.iid);
        auto owner = win32::ReadClassesRootString(ikey + "\\TypeLib");
        if (owner && *owner == libid_text) RegDeleteTreeA(HKEY_CLASSES_ROOT, ikey.c_str());
      }
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
    RegKey parent;
    if (RegKey::Open(HKEY_CLASSES_ROOT, "TypeLib\\" + libid_text, &parent) == ERROR_SUCCESS) {
      char sub[256];
      bool empty = RegEnumKeyA(parent.get(), 0, sub, sizeof sub) == ERROR_NO_MORE_ITEMS;
      parent.close();
      if (empty) RegDeleteKeyA(HKEY_CLASSES_ROOT, ("TypeLib\\" + libid_text).c_str());
    }
    return S_OK;
  });
}

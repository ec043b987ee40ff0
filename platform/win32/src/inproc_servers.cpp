// Class objects of in-process servers named by the registry.
#include <algorithm>
#include <mutex>

#include "../include/libloaderapi.h"
#include "../include/objbase.h"
#include "../include/winbase.h"
#include "../include/win32/com_runtime.h"
#include "../include/win32/inproc_servers.h"
#include "../include/win32/reg_key.h"
#include "../include/win32/text.h"

namespace {

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFn = HRESULT (*)();

struct Servers {
  std::mutex lock;
  std::vector<HMODULE> modules;  // one LoadLibrary reference each
  bool enabled = false;
  win32::ClassObjectResolver previous;
};

Servers& servers() {
  static Servers* s = new Servers;
  return *s;
}

// Loads the module (keeping one reference per server module in the table).
HMODULE server_module(const std::string& path) {
  HMODULE m = LoadLibraryW(win32::utf8_to_utf16(path).c_str());
  if (!m) return nullptr;
  auto& s = servers();
  std::unique_lock<std::mutex> g(s.lock);
  if (std::find(s.modules.begin(), s.modules.end(), m) == s.modules.end()) {
    s.modules.push_back(m);
  } else {
    g.unlock();
    FreeLibrary(m);
  }
  return m;
}

HRESULT from_registry(REFCLSID clsid, REFIID riid, void** ppv) {
  auto path = win32::ReadClassesRootString("CLSID\\" + win32::guid_to_string(clsid) + "\\InprocServer32");
  if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
  HMODULE module = server_module(*path);
  if (!module) return HRESULT_FROM_WIN32(GetLastError());
  auto get = reinterpret_cast<GetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
  if (!get) return CO_E_ERRORINDLL;
  return get(clsid, riid, ppv);
}

bool progid_to_clsid(const std::string& progid, CLSID* clsid) {
  auto text = win32::ReadClassesRootString(progid + "\\CLSID");
  return text && win32::guid_from_string(*text, clsid);
}

bool clsid_to_progid(REFCLSID clsid, std::string* progid) {
  auto text = win32::ReadClassesRootString("CLSID\\" + win32::guid_to_string(clsid) + "\\ProgID");
  if (!text || text->empty()) return false;
  *progid = *text;
  return true;
}

}  // namespace

namespace win32 {

void EnableRegistryClasses() {
  auto& s = servers();
  std::lock_guard<std::mutex> g(s.lock);
  if (s.enabled) return;
  s.enabled = true;
  s.previous = SetClassObjectResolver([](REFCLSID clsid, REFIID riid, void** ppv) {
    HRESULT hr = from_registry(clsid, riid, ppv);
    if (hr != REGDB_E_CLASSNOTREG) return hr;
    ClassObjectResolver previous;
    {
      std::lock_guard<std::mutex> g2(servers().lock);
      previous = servers().previous;
    }
    return previous ? previous(clsid, riid, ppv) : hr;
  });
  SetProgIdResolvers(progid_to_clsid, clsid_to_progid);
}

void DisableRegistryClasses() {
  auto& s = servers();
  ClassObjectResolver previous;
  {
    std::lock_guard<std::mutex> g(s.lock);
    if (!s.enabled) return;
    s.enabled = false;
    previous = std::move(s.previous);
    s.previous = nullptr;
  }
  SetClassObjectResolver(std::move(previous));
  SetProgIdResolvers(nullptr, nullptr);
}

std::vector<HMODULE> LoadedServerModules() {
  auto& s = servers();
  std::lock_guard<std::mutex> g(s.lock);
  return s.modules;
}

}  // namespace win32

void CoFreeUnusedLibraries() {
  std::vector<HMODULE> unused;
  {
    auto& s = servers();
    std::lock_guard<std::mutex> g(s.lock);
    for (HMODULE m : s.modules) {
      auto can_unload = reinterpret_cast<CanUnloadNowFn>(GetProcAddress(m, "DllCanUnloadNow"));
      if (can_unload && can_unload() == S_OK) unused.push_back(m);
    }
    std::erase_if(s.modules,
                  [&](HMODULE m) { return std::find(unused.begin(), unused.end(), m) != unused.end(); });
  }
  for (HMODULE m : unused) FreeLibrary(m);
}

// LoadLibrary and friends over dlopen: a table of loaded modules keyed by their mapping
// address, counted loads, and the process notifications of DllMain.
#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "../include/libloaderapi.h"
#include "../include/winbase.h"
#include "../include/winuser.h"
#include "../include/win32/modules.h"
#include "../include/win32/paths.h"
#include "../include/win32/text.h"

namespace {

using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);

struct Module {
  void* dl = nullptr;
  std::string path;  // absolute, as loaded (a short form stays short)
  int refs = 0;
  DllMainFn main = nullptr;
  bool attached = false;  // DLL_PROCESS_ATTACH delivered, DETACH still due
  unsigned long order = 0;
};

struct Loader {
  std::recursive_mutex lock;  // DllMain may load other modules, as under the Windows loader lock
  std::map<uintptr_t, Module> modules;
  // Modules whose last FreeLibrary has passed but which the dynamic loader keeps mapped
  // (objects with unique symbols are never unmapped); they count as unloaded.
  std::set<uintptr_t> released;
  unsigned long next_order = 0;
};

Loader& loader() {
  static Loader* l = new Loader;  // alive during process exit
  return *l;
}

thread_local std::string t_load_error;

uintptr_t base_of_handle(void* dl) {
  struct link_map* map = nullptr;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &map) != 0 || !map) return 0;
  Dl_info info;
  if (!dladdr(map->l_ld, &info)) return 0;
  return reinterpret_cast<uintptr_t>(info.dli_fbase);
}

std::string program_path() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

bool file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A bare file name is looked for beside the program first.
std::string locate(const std::string& posix) {
  if (posix.find('/') != std::string::npos) return absolute(posix);
  std::string exe = program_path();
  std::string beside = exe.substr(0, exe.rfind('/') + 1) + posix;
  return file_exists(beside) ? beside : posix;
}

// Delivers DLL_PROCESS_DETACH at process exit to every module still attached, latest first.
void detach_all_at_exit() {
  Loader& l = loader();
  std::lock_guard<std::recursive_mutex> g(l.lock);
  for (;;) {
    Module* last = nullptr;
    uintptr_t base = 0;
    for (auto& [b, m] : l.modules) {
      if (m.attached && (!last || m.order > last->order)) {
        last = &m;
        base = b;
      }
    }
    if (!last) return;
    last->attached = false;
    last->main(reinterpret_cast<HINSTANCE>(base), DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1));
  }
}

HMODULE load(const std::string& posix, DWORD flags) {
  if (posix.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string path = locate(posix);
  Loader& l = loader();
  std::lock_guard<std::recursive_mutex> g(l.lock);
  void* dl = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    const char* why = dlerror();
    t_load_error = why ? why : "";
    struct stat st;
    SetLastError(::stat(path.c_str(), &st) == 0 ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  uintptr_t base = base_of_handle(dl);
  l.released.erase(base);
  bool as_data = (flags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE | DONT_RESOLVE_DLL_REFERENCES)) != 0;
  auto it = l.modules.find(base);
  if (it != l.modules.end()) {
    dlclose(dl);  // the table keeps one dlopen reference per module
  } else {
    Module m;
    m.dl = dl;
    m.path = path;
    m.main = reinterpret_cast<DllMainFn>(dlsym(dl, "DllMain"));
    if (m.main) {
      Dl_info info;
      if (!dladdr(reinterpret_cast<void*>(m.main), &info) || reinterpret_cast<uintptr_t>(info.dli_fbase) != base)
        m.main = nullptr;  // found in a library the module depends on, not its own
    }
    if (m.path.find('/') == std::string::npos) {
      struct link_map* map = nullptr;
      if (dlinfo(dl, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) m.path = map->l_name;
    }
    m.order = l.next_order++;
    it = l.modules.emplace(base, std::move(m)).first;
  }
  Module& m = it->second;
  ++m.refs;
  if (!as_data && m.main && !m.attached) {
    m.attached = true;
    if (!m.main(reinterpret_cast<HINSTANCE>(base), DLL_PROCESS_ATTACH, nullptr)) {
      m.main(reinterpret_cast<HINSTANCE>(base), DLL_PROCESS_DETACH, nullptr);
      m.attached = false;
      if (--m.refs == 0) {
        dlclose(m.dl);
        l.modules.erase(it);
      }
      SetLastError(ERROR_DLL_INIT_FAILED);
      return nullptr;
    }
    // Registered after the module's own static objects, so it runs before they are destroyed.
    std::atexit(detach_all_at_exit);
  }
  return reinterpret_cast<HMODULE>(base);
}

const Module* find_module(HMODULE h) {
  auto& mods = loader().modules;
  auto it = mods.find(reinterpret_cast<uintptr_t>(h));
  return it == mods.end() ? nullptr : &it->second;
}

std::string path_of_module(HMODULE h) {
  if (!h || h == win32::ProgramModule()) return program_path();
  {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> g(l.lock);
    if (const Module* m = find_module(h)) return m->path;
  }
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(h), &info) || reinterpret_cast<HMODULE>(info.dli_fbase) != h ||
      !info.dli_fname)
    return std::string();
  char real[PATH_MAX];
  return ::realpath(info.dli_fname, real) ? std::string(real) : absolute(info.dli_fname);
}

HMODULE handle_by_name(const std::string& posix) {
  if (posix.empty()) return win32::ProgramModule();
  std::string wanted = posix;
  bool bare = wanted.find('/') == std::string::npos;
  Loader& l = loader();
  std::lock_guard<std::recursive_mutex> g(l.lock);
  for (const auto& [base, m] : l.modules) {
    std::string name = bare ? m.path.substr(m.path.rfind('/') + 1) : m.path;
    if (name == (bare ? wanted : absolute(wanted))) return reinterpret_cast<HMODULE>(base);
  }
  if (void* dl = dlopen(posix.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
    uintptr_t base = base_of_handle(dl);
    dlclose(dl);
    if (!l.released.count(base)) return reinterpret_cast<HMODULE>(base);
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

template <class Char>
DWORD copy_truncated(const std::basic_string<Char>& s, Char* out, DWORD size) {
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (s.size() + 1 > size) {
    std::copy(s.begin(), s.begin() + (size - 1), out);
    out[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(s.begin(), s.end(), out);
  out[s.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(s.size());
}

}  // namespace

namespace win32 {

HMODULE ModuleOfAddress(const void* address) {
  Dl_info info;
  if (!address || !dladdr(address, &info)) return nullptr;
  return reinterpret_cast<HMODULE>(info.dli_fbase);
}

HMODULE ProgramModule() {
  static HMODULE program = [] {
    void* self = dlopen(nullptr, RTLD_LAZY);
    HMODULE h = reinterpret_cast<HMODULE>(base_of_handle(self));
    dlclose(self);
    return h;
  }();
  return program;
}

std::string LastLoadError() { return t_load_error; }

}  // namespace win32

HMODULE LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }
HMODULE LoadLibraryW(LPCWSTR name) { return LoadLibraryExW(name, nullptr, 0); }
HMODULE LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags) {
  return load(name ? win32::ansi_path_to_posix(name) : std::string(), flags);
}
HMODULE LoadLibraryExW(LPCWSTR name, HANDLE, DWORD flags) {
  return load(name ? win32::wide_path_to_posix(name) : std::string(), flags);
}

BOOL FreeLibrary(HMODULE h) {
  Loader& l = loader();
  std::lock_guard<std::recursive_mutex> g(l.lock);
  auto it = l.modules.find(reinterpret_cast<uintptr_t>(h));
  if (it == l.modules.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Module& m = it->second;
  if (--m.refs > 0) return TRUE;
  if (m.attached) {
    m.attached = false;
    m.main(h, DLL_PROCESS_DETACH, nullptr);
  }
  void* dl = m.dl;
  l.modules.erase(it);
  l.released.insert(reinterpret_cast<uintptr_t>(h));
  dlclose(dl);
  return TRUE;
}

FARPROC GetProcAddress(HMODULE h, LPCSTR name) {
  if (!name || IS_INTRESOURCE(name)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  if (!h) h = win32::ProgramModule();
  void* dl = nullptr;
  bool owned = false;
  {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> g(l.lock);
    if (const Module* m = find_module(h)) dl = m->dl;
  }
  if (!dl) {
    std::string path = h == win32::ProgramModule() ? std::string() : path_of_module(h);
    dl = dlopen(path.empty() ? nullptr : path.c_str(), RTLD_LAZY | (path.empty() ? 0 : RTLD_NOLOAD));
    owned = true;
  }
  void* sym = dl ? dlsym(dl, name) : nullptr;
  if (owned && dl) dlclose(dl);
  Dl_info info;
  if (!sym || !dladdr(sym, &info) || reinterpret_cast<HMODULE>(info.dli_fbase) != h) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(sym);
}

HMODULE GetModuleHandleA(LPCSTR name) { return handle_by_name(name ? win32::ansi_path_to_posix(name) : ""); }
HMODULE GetModuleHandleW(LPCWSTR name) { return handle_by_name(name ? win32::wide_path_to_posix(name) : ""); }

BOOL GetModuleHandleExA(DWORD flags, LPCSTR name, HMODULE* out) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *out = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ? win32::ModuleOfAddress(name) : GetModuleHandleA(name);
  if (!*out) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (!(flags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN))) {
    Loader& l = loader();
    std::lock_guard<std::recursive_mutex> g(l.lock);
    auto it = l.modules.find(reinterpret_cast<uintptr_t>(*out));
    if (it != l.modules.end()) ++it->second.refs;
  }
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE h, LPSTR out, DWORD size) {
  std::string path = path_of_module(h);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return copy_truncated(win32::posix_path_to_ansi(path), out, size);
}

DWORD GetModuleFileNameW(HMODULE h, LPWSTR out, DWORD size) {
  std::string path = path_of_module(h);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return copy_truncated(win32::utf8_to_utf16(path), out, size);
}

BOOL DisableThreadLibraryCalls(HMODULE h) {
  // Thread notifications are never sent; the call only checks the handle.
  if (win32::ModuleOfAddress(reinterpret_cast<void*>(h)) != h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

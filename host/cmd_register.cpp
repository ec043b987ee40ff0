// areaclip register | unregister [--module PATH]: what regsvr32 does for the module. Loads
// it (by default vot_arcmap_areaclip.so beside the program), calls DllRegisterServer or
// DllUnregisterServer and prints the outcome.
#include "commands.h"

#include <cstdio>
#include <string>

#include <objbase.h>
#include <windows.h>
#include <win32/modules.h>
#include <win32/registry.h>

namespace {

int run(int argc, char** argv, const char* command, const char* entry) {
  std::string module;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--module" && i + 1 < argc) {
      module = argv[++i];
    } else {
      std::fprintf(stderr, "areaclip %s: unexpected argument '%s'\nusage: areaclip %s [--module PATH]\n", command,
                   arg.c_str(), command);
      return 2;
    }
  }
  if (module.empty()) module = host::default_module_path();
  HMODULE handle = LoadLibraryA(module.c_str());
  if (!handle) {
    std::fprintf(stderr, "areaclip: cannot load the module %s: %s\n", module.c_str(), win32::LastLoadError().c_str());
    return 2;
  }
  auto call = reinterpret_cast<HRESULT (*)()>(GetProcAddress(handle, entry));
  if (!call) {
    std::fprintf(stderr, "areaclip: %s has no entry point %s\n", module.c_str(), entry);
    FreeLibrary(handle);
    return 2;
  }
  HRESULT hr = call();
  FreeLibrary(handle);
  if (FAILED(hr)) {
    std::fprintf(stderr, "areaclip: %s in %s failed: 0x%08X\n", entry, module.c_str(), static_cast<unsigned>(hr));
    return 1;
  }
  std::printf("%s in %s succeeded (registry %s)\n", entry, module.c_str(), win32::RegistryFile().c_str());
  return 0;
}

}  // namespace

namespace host {

std::string default_module_path() {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string path = program;
  size_t slash = path.find_last_of('/');
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "vot_arcmap_areaclip.so";
}

int cmd_register(int argc, char** argv) { return run(argc, argv, "register", "DllRegisterServer"); }
int cmd_unregister(int argc, char** argv) { return run(argc, argv, "unregister", "DllUnregisterServer"); }

}  // namespace host

// areaclip register | unregister [--module PATH]: what regsvr32 does for the module. Loads
// it (by default vot_arcmap_areaclip.so beside the program), calls DllRegisterServer or
// DllUnregisterServer and prints the outcome.
#include "commands.h"
#include "extension.h"

#include <cstdio>
#include <string>

#include <windows.h>
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
  std::string error;
  if (int code = host::register_module(module, std::string(entry) == "DllRegisterServer", &error)) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return code;
  }
  std::printf("%s in %s succeeded (registry %s)\n", entry, module.c_str(), win32::RegistryFile().c_str());
  return 0;
}

}  // namespace

namespace host {

int cmd_register(int argc, char** argv) { return run(argc, argv, "register", "DllRegisterServer"); }
int cmd_unregister(int argc, char** argv) { return run(argc, argv, "unregister", "DllUnregisterServer"); }

}  // namespace host

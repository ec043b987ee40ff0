// areaclip register | unregister [--module PATH]: what regsvr32 does for the module. Loads
// it (by default the program's own vot_arcmap_areaclip.so), calls DllRegisterServer or
// DllUnregisterServer and prints the outcome.
#include "commands.h"
#include "extension.h"

#include <cstdio>
#include <string>

#include <windows.h>
#include <win32/registry.h>

namespace {

int run(const host::Arguments& args, const char* entry) {
  std::string module = args.value("--module");
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

int cmd_register(const Arguments& args) { return run(args, "DllRegisterServer"); }
int cmd_unregister(const Arguments& args) { return run(args, "DllUnregisterServer"); }

}  // namespace host

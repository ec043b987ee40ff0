// areaclip open [DOC]: the application window. The window lives in its own library beside
// the program (libareaclip_window.so), loaded only here, so no other command needs the
// window system.
#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace host {

int cmd_open(const Arguments& args) {
  std::string library = default_module_path();
  library = library.substr(0, library.find_last_of('/') + 1) + "libareaclip_window.so";
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "areaclip: the window is not available (%s); it needs Qt 6 Widgets at build time\n",
                 dlerror());
    return 2;
  }
  using Main = int (*)(const char* document, const char* screenshot, const char* module_path);
  auto main = reinterpret_cast<Main>(dlsym(handle, "areaclip_window_main"));
  if (!main) {
    std::fprintf(stderr, "areaclip: %s has no window entry point\n", library.c_str());
    return 2;
  }
  // The library stays loaded: Qt's exit handlers run at program exit.
  const std::vector<std::string> documents = args.positionals();
  const std::string screenshot = args.value("--screenshot");
  return main(documents.empty() ? "" : documents.front().c_str(), screenshot.c_str(), default_module_path().c_str());
}

}  // namespace host

// areaclip: the host application. It plays the part of the desktop GIS for the extension.
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <oaidl.h>
#include <oleauto.h>
#include <win32/com_object.h>

#include "commands.h"

namespace {

// Files made at build time from the command table: the manual pages into a folder, the
// bash completion script to standard output.
int write_manual_pages(const char* folder) {
  const auto write = [folder](const std::string& name, const std::string& text) {
    const std::string path = std::string(folder) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    const bool ok = std::fputs(text.c_str(), file) >= 0;
    return std::fclose(file) == 0 && ok;
  };
  std::string version = host::kVersion;
  version = version.substr(0, version.find(' ', std::strlen("areaclip ")));
  bool ok = write("areaclip.1", host::program_manual_page(host::command_table(), version.c_str()));
  for (const host::CommandSpec& c : host::command_table())
    ok = write(std::string("areaclip-") + c.name + ".1", host::manual_page(c, version.c_str())) && ok;
  if (!ok) std::fprintf(stderr, "areaclip: cannot write the manual pages into %s\n", folder);
  return ok ? 0 : 1;
}

// The hidden commands the build and the shell use.
int hidden_command(const std::string& name, int argc, char** argv) {
  if (name == "__complete") {
    std::fputs(host::complete(host::command_table(), std::vector<std::string>(argv, argv + argc)).c_str(), stdout);
    return 0;
  }
  if (name == "__bash-completion") {
    std::fputs(host::bash_completion_script().c_str(), stdout);
    return 0;
  }
  if (name == "__man" && argc == 1) return write_manual_pages(argv[0]);
  std::fprintf(stderr, "areaclip: unknown command '%s'\n", name.c_str());
  return 2;
}

// With AREACLIP_CHECK_RELEASES set (the tests set it), every COM object and string the
// command made must be gone once it returns; a leak is exit code 4.
bool releases_checked() {
  const char* check = std::getenv("AREACLIP_CHECK_RELEASES");
  return check && *check;
}

int checked_releases(int code) {
  if (releases_checked()) {
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    const long objects = win32::ComObjectsAlive();
    const long strings = SysStringsOutstanding();
    if (objects != 0 || strings != 0) {
      std::fprintf(stderr, "areaclip: %ld COM objects and %ld strings were never released\n", objects, strings);
      return 4;
    }
  }
  return code;
}

}  // namespace

// The program's allocator is jemalloc where it was built with it (AREACLIP_JEMALLOC): a long
// read makes its features on a thread of its own and the cut frees them on the main thread,
// which glibc's arenas serve under a lock (the two threads then took more processor time
// than one and the cut was no faster); jemalloc's thread caches take such blocks back
// without one. Its pages freed are given back after 30 ms, not after its default ten
// seconds: a cut's peak is otherwise the overlay of its largest shape plus what was freed
// before it; nor at once, which has the kernel stop the program's other threads to forget
// the pages (the overlay of a large shape gives back at once: clip.cpp; bench/README.md,
// "The cut").
#if defined(AREACLIP_JEMALLOC)
extern "C" {
__attribute__((used, visibility("default"))) const char* malloc_conf = "dirty_decay_ms:30,muzzy_decay_ms:0";
}
#endif

namespace {

// With glibc's allocator: glibc raises its mmap threshold to the size of each large block
// freed (GDAL's read of a whole .shx frees 8 MB at once), after which every block up to
// that size comes from the heap: the untouched tails of growing vectors are then resident,
// and a large transient (GEOS's noding of a shape of many vertices) leaves the heap
// fragmented for the rest of the run. A fixed threshold keeps blocks of 1 MiB and more in
// mappings of their own, returned when freed (bench/README.md, "The cut": 8 MiB off the
// whole-map cut's peak, for some more page faults).
void set_allocator_policy() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  set_allocator_policy();
  win32::CountLiveObjects(releases_checked());
  const std::string usage = host::program_usage(host::command_table()) + "\n" + host::kProgramNotes;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(usage.c_str(), argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::fputs(host::kVersion, stdout);
    return 0;
  }
  const std::string name = argv[1];
  if (name.rfind("__", 0) == 0) return checked_releases(hidden_command(name, argc - 2, argv + 2));
  for (const host::CommandSpec& command : host::command_table()) {
    if (name != command.name) continue;
    host::Arguments arguments;
    std::string error;
    if (!host::parse_arguments(command, argc - 2, argv + 2, &arguments, &error)) {
      std::fprintf(stderr, "areaclip %s: %s\n%s", command.name, error.c_str(), host::usage_text(command).c_str());
      return 2;
    }
    if (arguments.has("--help")) {
      std::fputs(host::help_text(command).c_str(), stdout);
      return 0;
    }
    host::set_output(arguments);
    const int code = command.run(arguments);
    std::fflush(stdout);
    std::fflush(host::json_output());
    return checked_releases(code);
  }
  std::fprintf(stderr, "areaclip: unknown command '%s'\n%s", name.c_str(), usage.c_str());
  return 2;
}

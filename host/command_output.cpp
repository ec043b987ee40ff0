// The shared pieces every command uses: where its output goes, its messages, its document.
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include <gis/document.h>
#include <gis/gis.h>

#include "commands.h"

namespace host {

namespace {

std::FILE* g_json = nullptr;
bool g_quiet = false;

void vprint(const char* prefix, const char* format, va_list args) {
  std::fputs(prefix, stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
}

}  // namespace

void set_output(const Arguments& arguments) {
  g_quiet = arguments.quiet();
  if (!arguments.json() && !g_quiet) return;
  std::fflush(stdout);
  if (arguments.json()) {
    // The JSON document keeps the real standard output; everything else printed there
    // (progress, the dialog's messages) goes to standard error, as ogrinfo -json does.
    const int fd = dup(STDOUT_FILENO);
    g_json = fd < 0 ? nullptr : fdopen(fd, "w");
    if (!g_json) g_json = stdout;
  }
  if (g_json != stdout) {
    const int to = g_quiet ? open("/dev/null", O_WRONLY) : dup(STDERR_FILENO);
    if (to >= 0) {
      dup2(to, STDOUT_FILENO);
      close(to);
    }
  }
}

std::FILE* json_output() { return g_json ? g_json : stdout; }

bool quiet() { return g_quiet; }

int usage_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint("areaclip: ", format, args);
  va_end(args);
  return 2;
}

void note(const char* format, ...) {
  if (g_quiet) return;
  va_list args;
  va_start(args, format);
  vprint("", format, args);
  va_end(args);
}

void error_message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint("areaclip: ", format, args);
  va_end(args);
}

win32::ComPtr<IMxDocument> open_document(const std::string& path) {
  gis::RegisterClasses();
  std::string error;
  win32::ComPtr<IMxDocument> document = gis::LoadDocument(path, &error);
  if (!document) error_message("%s", error.c_str());
  return document;
}

win32::ComPtr<IMap> open_focus_map(const std::string& path, win32::ComPtr<IMxDocument>* document) {
  *document = open_document(path);
  win32::ComPtr<IMap> map;
  if (*document) (*document)->get_FocusMap(map.put());
  if (*document && !map) error_message("%s has no map", path.c_str());
  return map;
}

}  // namespace host

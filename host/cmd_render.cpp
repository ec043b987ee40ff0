// areaclip render DOC -o FILE: a picture of the document's maps, SVG, or PNG converted from
// the SVG by rsvg-convert when FILE ends in ".png".
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <win32/com_ptr.h>

#include "commands.h"
#include "gis/document.h"
#include "gis/gis.h"
#include "gis/render.h"

extern char** environ;

namespace host {

namespace {

bool ends_with(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  return true;
}

bool write_text(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out) out.close();
  if (!out) {
    *error = "cannot write \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  return true;
}

// Runs rsvg-convert on svg_path into png_path; false with *error on failure.
bool convert_to_png(const std::string& svg_path, const std::string& png_path, std::string* error) {
  std::vector<std::string> args = {"rsvg-convert", "--format=png", "--output", png_path, svg_path};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "rsvg-convert", nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    *error = std::string("cannot run rsvg-convert (package librsvg2-bin): ") + std::strerror(rc);
    return false;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) {
      *error = std::string("rsvg-convert: ") + std::strerror(errno);
      return false;
    }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    *error = "rsvg-convert could not convert the picture";
    return false;
  }
  return true;
}

}  // namespace

int cmd_render(const Arguments& args) {
  const std::string doc_path = args.positionals().front(), out_path = args.value("--output");
  const std::string usage = usage_text(*args.command);
  gis::RenderOptions options;
  if (out_path.empty()) return usage_error("-o FILE is missing\n%s", usage.c_str());
  if (args.has("--width")) {
    const std::string width = args.value("--width");
    char* end = nullptr;
    long w = std::strtol(width.c_str(), &end, 10);
    if (width.empty() || *end || w < 100 || w > 20000) return usage_error("--width takes 100 to 20000 pixels\n%s", usage.c_str());
    options.map_width = static_cast<int>(w);
  }
  options.legend = !args.has("--no-legend");
  bool png = ends_with(out_path, ".png");
  if (!png && !ends_with(out_path, ".svg")) return usage_error("the picture must be a .svg or .png file: \"%s\"", out_path.c_str());

  win32::ComPtr<IMxDocument> document = open_document(doc_path);
  if (!document) return 2;
  std::string error;

  std::vector<std::string> warnings;
  std::string svg = gis::RenderDocumentSvg(document.get(), options, &warnings);
  for (const auto& w : warnings) note("areaclip: warning: %s", w.c_str());
  if (svg.empty()) {
    std::fprintf(stderr, "areaclip: the document could not be drawn\n");
    return 1;
  }
  if (!png) {
    if (!write_text(out_path, svg, &error)) {
      std::fprintf(stderr, "areaclip: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  std::string temp = out_path + ".areaclip-" + std::to_string(getpid()) + ".svg";
  bool ok = write_text(temp, svg, &error) && convert_to_png(temp, out_path, &error);
  std::remove(temp.c_str());
  if (!ok) {
    std::fprintf(stderr, "areaclip: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace host

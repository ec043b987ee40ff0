// Pictures of controls as PNG, converted from their SVG by rsvg-convert.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "toolkit/exception.h"
#include "toolkit/snapshot.h"

extern char** environ;

namespace toolkit {

void SavePng(const TControl& root, const std::string& path) {
  const std::string svg = path + ".svg";
  SaveSvg(root, svg);
  std::string f = "png", o = path;
  char* argv[] = {const_cast<char*>("rsvg-convert"), const_cast<char*>("-f"), f.data(),
                  const_cast<char*>("-o"), o.data(), const_cast<char*>(svg.c_str()), nullptr};
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "rsvg-convert", nullptr, nullptr, argv, environ);
  int status = 0;
  if (rc == 0) waitpid(pid, &status, 0);
  std::remove(svg.c_str());
  if (rc != 0) throw Exception("Cannot run rsvg-convert (install the package librsvg2-bin)");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw Exception("rsvg-convert could not convert the picture " + path);
}

}  // namespace toolkit

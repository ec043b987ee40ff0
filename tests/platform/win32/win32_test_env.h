// Test environment of the Windows stand-in: a registry file and a short-path folder of the
// test's own (AREACLIP_REGISTRY, AREACLIP_SHORT_PATHS), put back afterwards.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/com_test.h"

namespace win32_test {

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (previous_) ::setenv(name_, previous_->c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

// A fresh registry and short-path folder for one test.
class TempRegistry {
 public:
  TempRegistry()
      : file_(dir_.str() + "/registry.txt"),
        registry_("AREACLIP_REGISTRY", file_),
        short_("AREACLIP_SHORT_PATHS", dir_.str() + "/short") {}
  const std::string& file() const { return file_; }
  const testing_support::TempDir& dir() const { return dir_; }

 private:
  testing_support::TempDir dir_;
  std::string file_;
  ScopedEnv registry_;
  ScopedEnv short_;
};

inline std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace win32_test

// RegKey: a scoped registry key handle with UTF-8 helpers over the Reg*W calls.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "../winreg.h"

namespace win32 {

class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY h) : h_(h) {}
  RegKey(RegKey&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  RegKey& operator=(RegKey&& o) noexcept {
    if (this != &o) {
      close();
      h_ = std::exchange(o.h_, nullptr);
    }
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { close(); }

  // Creates (or opens) parent\sub; the Win32 result.
  static LONG Create(HKEY parent, const std::string& sub, RegKey* out);
  static LONG Open(HKEY parent, const std::string& sub, RegKey* out);

  HKEY get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void close();

  // REG_SZ value (name "" is the default value).
  LONG SetString(const std::string& name, const std::string& value) const;
  // The text of a REG_SZ / REG_EXPAND_SZ value; nothing when missing or of another type.
  std::optional<std::string> GetString(const std::string& name) const;

 private:
  HKEY h_ = nullptr;
};

// The default value of HKEY_CLASSES_ROOT\path; nothing when the key or value is missing.
std::optional<std::string> ReadClassesRootString(const std::string& path, const std::string& name = "");

}  // namespace win32

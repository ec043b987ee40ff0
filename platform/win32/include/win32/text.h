// Text conversions for the stand-ins: UTF-8 (what GDAL, JSON and terminals speak), the
// process ANSI code page and UTF-16 BSTRs.
#pragma once

#include <string>
#include <string_view>

#include "../oleauto.h"
#include "text_conversions.h"

namespace win32 {


// A new BSTR (caller frees) from UTF-8 text.
BSTR bstr_from_utf8(std::string_view s);
// The text of a BSTR (null reads as empty).
std::string bstr_to_utf8(BSTR b);
std::u16string_view bstr_view(BSTR b);

// Owns one BSTR; frees it on destruction.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
  static Bstr from_utf8(std::string_view s) { return Bstr(utf8_to_utf16(s)); }
  static Bstr adopt(BSTR b) {
    Bstr r;
    r.b_ = b;
    return r;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
  Bstr& operator=(Bstr&& o) noexcept {
    if (this != &o) {
      SysFreeString(b_);
      b_ = o.b_;
      o.b_ = nullptr;
    }
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  BSTR detach() {
    BSTR b = b_;
    b_ = nullptr;
    return b;
  }
  std::string utf8() const { return bstr_to_utf8(b_); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace win32

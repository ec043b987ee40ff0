// COM support shared by all of the system's COM-using code: the check of failed interface
// queries (check_hresult), the exception it raises when the user stops (com_call_error),
// the counted interface reference TComInterface, and the conversion between ANSI and wide
// text with the BSTR holder Tvo_bstr.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include <toolkit/exception.h>

// Raised by check_hresult when the user chooses to stop the current operation.
class com_call_error : public Exception {
 public:
  com_call_error(const std::string& message, HRESULT error_code, const std::string& source,
                 const std::string& help_file, int help_context);

  HRESULT error_code;
  std::string source;
  std::string help_file;
  int help_context;
};

// Passes a success code through silently. A failure is reported in a task-modal box that
// lets the user stop (com_call_error is raised), go on (hr is returned) or break into a
// debugger and then go on; without an attached debugger that choice only goes on.
HRESULT check_hresult(HRESULT hr, const char* expression, const char* file, int line);

// Shows the report with the prompt line; returns IDYES, IDNO or IDCANCEL.
int show_check_prompt(const char* caption, const char* report);

namespace vot_atl_detail {
// The conversion code below reports itself as the place of a failed query.
inline HRESULT check_conversion(HRESULT hr, const char* expression, int line) {
  return check_hresult(hr, expression, __FILE__, line);
}
}  // namespace vot_atl_detail

// A counted reference to one interface T. Copying adds a reference; replacing or destroying
// releases it. Assigning a reference or pointer of another interface queries it for T; a
// failed query goes through check_hresult and leaves the reference empty.
template <class T>
class TComInterface {
 public:
  TComInterface() = default;
  TComInterface(std::nullptr_t) {}
  // Takes its own reference to p.
  TComInterface(T* p) : intf(p) {
    if (intf) intf->AddRef();
  }
  TComInterface(const TComInterface& o) : TComInterface(o.intf) {}
  TComInterface(TComInterface&& o) noexcept : intf(std::exchange(o.intf, nullptr)) {}
  template <class U>
  TComInterface(const TComInterface<U>& src) {
    *this = src;
  }
  ~TComInterface() { Reset(); }

  TComInterface& operator=(const TComInterface& o) {
    if (this != std::addressof(o)) Bind(o.intf);
    return *this;
  }
  TComInterface& operator=(TComInterface&& o) noexcept {
    if (this != std::addressof(o)) {
      Reset();
      intf = std::exchange(o.intf, nullptr);
    }
    return *this;
  }
  TComInterface& operator=(T* p) {
    Bind(p);
    return *this;
  }
  TComInterface& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Conversion from a reference to another interface.
  template <class U>
  TComInterface& operator=(const TComInterface<U>& src) {
    Reset();
    U* s = src.get();
    if (!s) return *this;
    HRESULT hr = s->QueryInterface(GetIID(), reinterpret_cast<LPVOID*>(&intf));
    if (FAILED(hr)) intf = nullptr;
    vot_atl_detail::check_conversion(hr, "src->QueryInterface(GetIID(), (LPVOID*)(&intf))", __LINE__);
    return *this;
  }

  // Conversion from a plain pointer to another interface.
  template <class U, class = std::enable_if_t<!std::is_same_v<U, T>>>
  TComInterface& operator=(U* p) {
    Reset();
    if (!p) return *this;
    HRESULT hr = p->QueryInterface(GetIID(), reinterpret_cast<LPVOID*>(&intf));
    if (FAILED(hr)) intf = nullptr;
    vot_atl_detail::check_conversion(hr, "p->QueryInterface(GetIID(), (LPVOID*)(&intf))", __LINE__);
    return *this;
  }

  static const IID& GetIID() { return __uuidof(T); }

  T* operator->() const { return intf; }
  T* get() const { return intf; }
  operator T*() const { return intf; }
  bool IsBound() const { return intf != nullptr; }
  explicit operator bool() const { return intf != nullptr; }

  // Releases what is held and hands out the slot for an out-parameter.
  T** operator&() {
    Reset();
    return &intf;
  }

  void Reset() {
    if (T* p = std::exchange(intf, nullptr)) p->Release();
  }
  // Hands the reference over to the caller; the holder becomes empty.
  T* Detach() { return std::exchange(intf, nullptr); }
  // Takes over a reference the caller owns (no AddRef).
  void Attach(T* p) {
    Reset();
    intf = p;
  }
  // A new reference for an out-parameter.
  T* AddRefed() const {
    if (intf) intf->AddRef();
    return intf;
  }

 private:
  void Bind(T* p) {
    if (p) p->AddRef();
    Reset();
    intf = p;
  }

  T* intf = nullptr;
};

// The extension's one conversion between narrow (ANSI code page) and wide text; characters
// the ANSI code page lacks become its default character.
// Narrow (ANSI) text to a new BSTR through MultiByteToWideChar(CP_ACP); the caller frees it.
BSTR ansi_to_bstr(const std::string& text);
// A BSTR's text in the ANSI code page (WideCharToMultiByte(CP_ACP)); null reads as empty.
std::string bstr_to_ansi(BSTR text);
// A zero-terminated wide text that is no BSTR (from CoTaskMemAlloc, say) in the ANSI code
// page; null reads as empty.
std::string olestr_to_ansi(LPCOLESTR text);

// Owns one BSTR and frees it with SysFreeString.
class Tvo_bstr {
 public:
  Tvo_bstr() = default;
  explicit Tvo_bstr(const std::string& ansi) : f_text(ansi_to_bstr(ansi)) {}
  ~Tvo_bstr() { SysFreeString(f_text); }
  Tvo_bstr(const Tvo_bstr&) = delete;
  Tvo_bstr& operator=(const Tvo_bstr&) = delete;

  BSTR get() const { return f_text; }
  // Frees what is held and hands out the slot for an out-parameter.
  BSTR* operator&() {
    SysFreeString(f_text);
    f_text = nullptr;
    return &f_text;
  }
  std::string ansi() const { return bstr_to_ansi(f_text); }

 private:
  BSTR f_text = nullptr;
};

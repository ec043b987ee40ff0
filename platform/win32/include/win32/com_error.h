// ComError and com_guard: exceptions inside a stand-in stop at the COM method boundary,
// where com_guard turns them into the method's HRESULT and the thread's error object.
#pragma once

#include <stdexcept>
#include <string>

#include "../oaidl.h"

namespace win32 {

// A failure with the HRESULT the interface promises and a description in UTF-8.
class ComError : public std::runtime_error {
 public:
  ComError(HRESULT hr, const std::string& what) : std::runtime_error(what), hr_(hr) {}
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

[[noreturn]] inline void throw_hr(HRESULT hr, const std::string& what) { throw ComError(hr, what); }

// Installs an error object with the given UTF-8 description on the calling thread.
void set_error_info(REFGUID iid, const std::string& description_utf8);

// Runs the body of a COM method; any exception becomes an HRESULT (never crosses COM).
template <class F>
HRESULT com_guard(F&& body) noexcept {
  try {
    return body();
  } catch (const ComError& e) {
    set_error_info(GUID_NULL, e.what());
    return e.hr();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    set_error_info(GUID_NULL, e.what());
    return E_FAIL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace win32

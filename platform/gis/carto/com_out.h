// Out-parameter helpers for the COM methods of the carto objects: each checks the pointer,
// nulls or fills it, and answers the HRESULT the interfaces promise.
#pragma once

#include <string>

#include <oleauto.h>
#include <win32/com_error.h>
#include <win32/com_ptr.h>
#include <win32/text.h>

namespace gis::carto {

inline HRESULT out_text(BSTR* out, const std::string& utf8) {
  if (!out) return E_POINTER;
  *out = nullptr;
  *out = win32::bstr_from_utf8(utf8);
  return *out ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT out_value(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

inline HRESULT out_bool(VARIANT_BOOL* out, bool value) {
  return out_value(out, value ? VARIANT_TRUE : VARIANT_FALSE);
}

// A new reference for the caller; S_OK even when the held pointer is null.
template <class T, class U>
HRESULT out_ref(T** out, const win32::ComPtr<U>& held) {
  if (!out) return E_POINTER;
  *out = nullptr;
  win32::ComPtr<T> p(held);
  *out = p.detach();
  return S_OK;
}

// The same object under another interface (QueryInterface); S_OK with null when held is null.
template <class T, class U>
HRESULT out_query(T** out, const win32::ComPtr<U>& held) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!held) return S_OK;
  return held->QueryInterface(__uuidof(T), reinterpret_cast<void**>(out));
}

// The UTF-8 text of a BSTR argument.
inline std::string in_text(BSTR b) { return win32::bstr_to_utf8(b); }

}  // namespace gis::carto

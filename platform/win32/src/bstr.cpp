// BSTR allocation and VARIANT handling.
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "../include/objbase.h"
#include "../include/win32/text.h"
#include "live_counts.h"

namespace {

std::atomic<LONG> g_live_bstrs{0};

// Layout: [uint32 byte length][characters][zero], the BSTR points at the characters.
BSTR alloc_bytes(const void* src, UINT bytes) {
  void* block = std::malloc(sizeof(uint32_t) + bytes + sizeof(OLECHAR));
  if (!block) return nullptr;
  auto* len = static_cast<uint32_t*>(block);
  *len = bytes;
  auto* chars = reinterpret_cast<char*>(len + 1);
  if (src) std::memcpy(chars, src, bytes);
  else std::memset(chars, 0, bytes);
  chars[bytes] = 0;
  chars[bytes + 1] = 0;
  if (win32::detail::g_count_live) ++g_live_bstrs;
  return reinterpret_cast<BSTR>(chars);
}

uint32_t* header(BSTR b) { return reinterpret_cast<uint32_t*>(b) - 1; }

// OLE automation dates count days from 1899-12-30.
std::string format_date(DATE d) {
  if (!std::isfinite(d)) return std::string();
  double days = std::floor(d);
  double frac = d - days;
  // Civil-from-days (Howard Hinnant), with epoch 1970-01-01 = 25569 OLE days.
  long long n = static_cast<long long>(days) - 25569;
  n += 719468;
  long long era = (n >= 0 ? n : n - 146096) / 146097;
  long long doe = n - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long dd = doy - (153 * mp + 2) / 5 + 1;
  long long mm = mp < 10 ? mp + 3 : mp - 9;
  if (mm <= 2) ++y;
  char buf[128];
  int secs = static_cast<int>(std::lround(frac * 86400.0));
  if (secs >= 86400) secs = 86399;
  if (secs == 0)
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld", y, mm, dd);
  else
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02d:%02d:%02d", y, mm, dd, secs / 3600, secs / 60 % 60,
                  secs % 60);
  return buf;
}

bool parse_date(const std::string& s, DATE* out) {
  int y = 0, m = 0, d = 0, hh = 0, mi = 0, ss = 0;
  int n = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &y, &m, &d, &hh, &mi, &ss);
  if (n != 3 && n != 6) return false;
  if (m < 1 || m > 12 || d < 1 || d > 31 || hh < 0 || hh > 23 || mi < 0 || mi > 59 || ss < 0 || ss > 59) return false;
  long long yy = y - (m <= 2);
  long long era = (yy >= 0 ? yy : yy - 399) / 400;
  long long yoe = yy - era * 400;
  long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468;
  *out = static_cast<double>(days + 25569) + (hh * 3600 + mi * 60 + ss) / 86400.0;
  return true;
}

std::string format_double(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool to_double(const VARIANT& v, double* out) {
  switch (v.vt) {
    case VT_I2: *out = v.iVal; return true;
    case VT_I4: case VT_INT: *out = v.lVal; return true;
    case VT_I8: *out = static_cast<double>(v.llVal); return true;
    case VT_UI1: *out = v.bVal; return true;
    case VT_UI2: *out = v.uiVal; return true;
    case VT_UI4: case VT_UINT: *out = v.ulVal; return true;
    case VT_UI8: *out = static_cast<double>(v.ullVal); return true;
    case VT_R4: *out = v.fltVal; return true;
    case VT_R8: *out = v.dblVal; return true;
    case VT_DATE: *out = v.date; return true;
    case VT_BOOL: *out = v.boolVal ? -1 : 0; return true;
    case VT_EMPTY: *out = 0; return true;
    case VT_BSTR: {
      std::string s = win32::bstr_to_utf8(v.bstrVal);
      size_t a = s.find_first_not_of(" \t");
      size_t b = s.find_last_not_of(" \t");
      if (a == std::string::npos) return false;
      s = s.substr(a, b - a + 1);
      double d = 0;
      auto r = std::from_chars(s.data(), s.data() + s.size(), d);
      if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
      *out = d;
      return true;
    }
    default: return false;
  }
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  UINT n = 0;
  while (psz[n]) ++n;
  return SysAllocStringLen(psz, n);
}

BSTR SysAllocStringLen(const OLECHAR* str, UINT ui) {
  if (ui > (std::numeric_limits<uint32_t>::max() - 16) / sizeof(OLECHAR)) return nullptr;
  return alloc_bytes(str, ui * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
  if (len > std::numeric_limits<uint32_t>::max() - 16) return nullptr;
  return alloc_bytes(psz, len);
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR n = SysAllocString(psz);
  if (psz && !n) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = n;
  return TRUE;
}

void SysFreeString(BSTR b) {
  if (!b) return;
  if (win32::detail::g_count_live) --g_live_bstrs;
  std::free(header(b));
}

UINT SysStringLen(BSTR b) { return b ? *header(b) / sizeof(OLECHAR) : 0; }
UINT SysStringByteLen(BSTR b) { return b ? *header(b) : 0; }
LONG SysStringsOutstanding() { return g_live_bstrs.load(); }

void VariantInit(VARIANTARG* v) {
  std::memset(v, 0, sizeof(VARIANT));
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    switch (v->vt) {
      case VT_BSTR: SysFreeString(v->bstrVal); break;
      case VT_UNKNOWN:
      case VT_DISPATCH:
        if (v->punkVal) v->punkVal->Release();
        break;
      default: break;
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VARIANT copy = *src;
  if (!(src->vt & VT_BYREF)) {
    switch (src->vt) {
      case VT_BSTR:
        copy.bstrVal = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
        if (src->bstrVal && !copy.bstrVal) return E_OUTOFMEMORY;
        break;
      case VT_UNKNOWN:
      case VT_DISPATCH:
        if (copy.punkVal) copy.punkVal->AddRef();
        break;
      default: break;
    }
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  if (src->vt == vt) return VariantCopy(dest, src);
  if (src->vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  VARIANT out;
  VariantInit(&out);
  out.vt = vt;
  double d = 0;
  switch (vt) {
    case VT_EMPTY: break;
    case VT_BSTR: {
      std::string s;
      switch (src->vt) {
        case VT_EMPTY: break;
        case VT_BOOL: s = src->boolVal ? "True" : "False"; break;
        case VT_DATE: s = format_date(src->date); break;
        case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UINT:
          to_double(*src, &d);
          s = std::to_string(static_cast<long long>(d));
          break;
        case VT_I8: s = std::to_string(src->llVal); break;
        case VT_UI8: s = std::to_string(src->ullVal); break;
        case VT_R4: s = format_double(src->fltVal); break;
        case VT_R8: s = format_double(src->dblVal); break;
        default: return DISP_E_TYPEMISMATCH;
      }
      out.bstrVal = win32::bstr_from_utf8(s);
      if (!out.bstrVal) return E_OUTOFMEMORY;
      break;
    }
    case VT_DATE:
      if (src->vt == VT_BSTR) {
        if (!parse_date(win32::bstr_to_utf8(src->bstrVal), &out.date)) {
          if (!to_double(*src, &out.date)) return DISP_E_TYPEMISMATCH;
        }
      } else if (!to_double(*src, &out.date)) {
        return DISP_E_TYPEMISMATCH;
      }
      break;
    case VT_BOOL:
      if (src->vt == VT_BSTR) {
        std::string s = win32::bstr_to_utf8(src->bstrVal);
        if (s == "True" || s == "true") { out.boolVal = VARIANT_TRUE; break; }
        if (s == "False" || s == "false") { out.boolVal = VARIANT_FALSE; break; }
      }
      if (!to_double(*src, &d)) return DISP_E_TYPEMISMATCH;
      out.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_R8:
      if (!to_double(*src, &out.dblVal)) return DISP_E_TYPEMISMATCH;
      break;
    case VT_R4:
      if (!to_double(*src, &d)) return DISP_E_TYPEMISMATCH;
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out.fltVal = static_cast<float>(d);
      break;
    case VT_I2: case VT_I4: case VT_INT: case VT_I8: case VT_UI1: {
      if (!to_double(*src, &d)) return DISP_E_TYPEMISMATCH;
      if (!std::isfinite(d)) return DISP_E_OVERFLOW;
      double r = std::nearbyint(d);
      double lo = vt == VT_I2 ? -32768.0 : vt == VT_UI1 ? 0.0 : vt == VT_I8 ? -9.2233720368547758e18 : -2147483648.0;
      double hi = vt == VT_I2 ? 32767.0 : vt == VT_UI1 ? 255.0 : vt == VT_I8 ? 9.2233720368547748e18 : 2147483647.0;
      if (r < lo || r > hi) return DISP_E_OVERFLOW;
      if (src->vt == VT_I8 && vt == VT_I8) out.llVal = src->llVal;
      else if (vt == VT_I2) out.iVal = static_cast<SHORT>(r);
      else if (vt == VT_UI1) out.bVal = static_cast<BYTE>(r);
      else if (vt == VT_I8) out.llVal = static_cast<LONGLONG>(r);
      else out.lVal = static_cast<LONG>(r);
      break;
    }
    default: return DISP_E_BADVARTYPE;
  }
  VariantClear(dest);
  *dest = out;
  return S_OK;
}

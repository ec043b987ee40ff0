// Basic Windows types as the system's code expects them (LLP64 sizes: LONG and DWORD are
// 32 bits wide, as on Windows, even though long is 64 bits here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#define WINAPI
#define STDAPI extern "C" HRESULT
#define STDAPI_(type) extern "C" type
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE
#define CALLBACK
#define interface struct

typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef int32_t HRESULT;
typedef int32_t INT;
typedef uint32_t UINT;
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef double DATE;
typedef char CHAR;
typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const char* LPCCH;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* LPCWCH;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef LONG DISPID;
typedef LONG MEMBERID;
typedef DWORD LCID;
typedef WORD LANGID;
typedef ULONG PROPID;
typedef uintptr_t OLE_HANDLE;   // wide enough for a handle on a 64-bit host

#define DECLARE_HANDLE(name) struct name##__; typedef struct name##__* name
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HRSRC);
DECLARE_HANDLE(HGLOBAL);
DECLARE_HANDLE(HKEY);
typedef HINSTANCE HMODULE;
typedef void* HANDLE;
typedef HANDLE HLOCAL;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME* PFILETIME;
typedef FILETIME* LPFILETIME;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MAX_PATH 260

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef GUID* LPGUID;
typedef CLSID* LPCLSID;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

// Associates an interface with its identifier, for __uuidof-style lookups.
template <class T> struct uuid_traits;
template <class T> constexpr const IID& uuidof() { return uuid_traits<T>::iid; }
#define __uuidof(T) uuidof<T>()

// As in the Windows headers, a use ends with its own semicolon.
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
// MinGW-w64's way of telling __uuidof(type) its identifier (at global scope, no semicolon).
#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  template <> struct uuid_traits<type> {                                 \
    static constexpr IID iid = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
  };
// The stand-in's own headers: declares interface I (defined later) with its IID_I constant
// and uuidof<I>(). Named apart from the Windows headers' DECLARE_INTERFACE_IID.
#define WIN32_STANDIN_INTERFACE_IID(I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  struct I;                                                                  \
  inline constexpr IID IID_##I = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}; \
  template <> struct uuid_traits<I> { static constexpr const IID& iid = IID_##I; };
// Still used by the GIS stand-in's internal interfaces.
#define DECLARE_INTERFACE_IID WIN32_STANDIN_INTERFACE_IID

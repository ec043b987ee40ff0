// AO_DECLARE_IID(I, l, w1, w2, b1, ..., b8) declares interface I (defined later) with its
// identifier IID_I, the one __uuidof(I) answers. It goes through the platform's own
// DEFINE_GUID and __CRT_UUID_DECL (MinGW-w64's on Windows, the stand-in's on Linux), so one
// declaration serves both; the name keeps clear of the Windows headers' DECLARE_INTERFACE_*.
// Use it at global scope. Where DEFINE_GUID only declares (Windows without <initguid.h>),
// one source of the module includes <initguid.h> first to define the identifiers.
#pragma once

#include <objbase.h>

#define AO_DECLARE_IID(I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  struct I;                                                          \
  DEFINE_GUID(IID_##I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8);   \
  __CRT_UUID_DECL(I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)

// Registration of a core class with the COM runtime's table of built-in classes.
#pragma once

#include <win32/com_runtime.h>

namespace gis::core {

// T is a ComObject with a default constructor; aggregation is refused.
template <class T>
void register_class(REFCLSID clsid, const char* progid) {
  win32::RegisterBuiltinClass(clsid, progid, [](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return T::create_instance(riid, ppv);
  });
}

}  // namespace gis::core

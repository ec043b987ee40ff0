// System objects: unique identifiers and property sets.
#pragma once

#include "esri_ids.h"

// A class or interface identifier held as a value (its registry text form or a ProgID).
struct IUID : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SubType(LONG* subType) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_SubType(LONG subType) = 0;
  virtual HRESULT STDMETHODCALLTYPE Generate() = 0;
};

// Named values, for example the connection properties of a workspace ("DATABASE").
struct IPropertySet : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProperty(BSTR name, VARIANT value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperty(BSTR name, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveProperty(BSTR name) = 0;
};

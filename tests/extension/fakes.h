// Small test doubles of object-model classes, for checking reference counting and call
// sequences where the real stand-in cannot tell.
#pragma once

#include <string>
#include <vector>

#include <win32/com_object.h>
#include <win32/text.h>

#include "arcobjects/arcobjects.h"

namespace fakes {

// An application that only counts references and records saves.
class Application : public win32::ComObject<Application, IApplication> {
 public:
  HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Caption(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Document(IDocument**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Templates(ITemplates**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewDocument(VARIANT_BOOL, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OpenDocument(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SaveDocument(BSTR path) override {
    saved.push_back(win32::bstr_to_utf8(path));
    return save_result;
  }
  HRESULT STDMETHODCALLTYPE RefreshWindow() override { return S_OK; }

  std::vector<std::string> saved;
  HRESULT save_result = S_OK;
};

// A unique-value renderer holding field names only.
class UniqueValueRenderer
    : public win32::ComObject<UniqueValueRenderer, IFeatureRenderer, IUniqueValueRenderer> {
 public:
  explicit UniqueValueRenderer(std::vector<std::u16string> names) : fields(std::move(names)) {}
  HRESULT STDMETHODCALLTYPE CanRender(IFeatureClass*, IDisplay*, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* n) override {
    if (fail_count) return E_FAIL;
    *n = static_cast<LONG>(fields.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_FieldCount(LONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Field(LONG i, BSTR* out) override {
    *out = SysAllocStringLen(fields[i].data(), static_cast<UINT>(fields[i].size()));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Field(LONG i, BSTR name) override {
    fields[i] = std::u16string(win32::bstr_view(name));
    ++writes;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_FieldDelimiter(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_FieldDelimiter(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ValueCount(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Value(LONG, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddValue(BSTR, BSTR, ISymbol*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Label(BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Label(BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Symbol(BSTR, ISymbol**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DefaultSymbol(ISymbol**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE putref_DefaultSymbol(ISymbol*) override { return E_NOTIMPL; }

  std::vector<std::u16string> fields;
  int writes = 0;
  bool fail_count = false;
};

// A renderer of another kind.
class SimpleRenderer : public win32::ComObject<SimpleRenderer, IFeatureRenderer> {
 public:
  HRESULT STDMETHODCALLTYPE CanRender(IFeatureClass*, IDisplay*, VARIANT_BOOL*) override { return E_NOTIMPL; }
};

}  // namespace fakes

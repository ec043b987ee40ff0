// Error-information objects and the per-thread error object.
#include <string>

#include "../include/oaidl.h"
#include "../include/win32/com_error.h"
#include "../include/win32/com_object.h"
#include "../include/win32/text.h"

namespace {

using win32::ComPtr;

class ErrorInfo : public win32::ComObject<ErrorInfo, IErrorInfo, ICreateErrorInfo> {
 public:
  HRESULT STDMETHODCALLTYPE GetGUID(GUID* g) override {
    if (!g) return E_INVALIDARG;
    *g = guid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* b) override { return copy(source_, b); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* b) override { return copy(description_, b); }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* b) override { return copy(help_file_, b); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* c) override {
    if (!c) return E_INVALIDARG;
    *c = help_context_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID g) override {
    guid_ = g;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR s) override { return assign(source_, s); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR s) override { return assign(description_, s); }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR s) override { return assign(help_file_, s); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD c) override {
    help_context_ = c;
    return S_OK;
  }

 private:
  static HRESULT copy(const std::u16string& s, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT assign(std::u16string& field, LPOLESTR s) {
    field = s ? std::u16string(s) : std::u16string();
    return S_OK;
  }

  GUID guid_ = GUID_NULL;
  std::u16string source_, description_, help_file_;
  DWORD help_context_ = 0;
};

// The thread's error object; released at thread exit.
thread_local ComPtr<IErrorInfo> t_error_info;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
  if (!out) return E_INVALIDARG;
  return ErrorInfo::create_instance(IID_ICreateErrorInfo, reinterpret_cast<void**>(out));
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
  t_error_info = ComPtr<IErrorInfo>(info);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** out) {
  if (!out) return E_INVALIDARG;
  *out = t_error_info.detach();
  return *out ? S_OK : S_FALSE;
}

namespace win32 {

void set_error_info(REFGUID iid, const std::string& description_utf8) {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(iid);
  std::u16string d = utf8_to_utf16(description_utf8);
  create->SetDescription(d.data());
  SetErrorInfo(0, create.as<IErrorInfo>().get());
}

}  // namespace win32

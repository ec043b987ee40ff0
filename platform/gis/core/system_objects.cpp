#include "system_objects.h"

#include "registration.h"

#include <vector>

#include <win32/com_error.h>
#include <win32/com_object.h>
#include <win32/text.h>

namespace gis::core {

namespace {

bool same_name(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x < 128) x = static_cast<char16_t>(std::toupper(x));
    if (y < 128) y = static_cast<char16_t>(std::toupper(y));
    if (x != y) return false;
  }
  return true;
}

// Property names compare without regard to ASCII letter case, as connection properties do.
class PropertySet final : public win32::ComObject<PropertySet, IPropertySet> {
 public:
  ~PropertySet() override {
    for (auto& p : items_) VariantClear(&p.second);
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(items_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetProperty(BSTR name, VARIANT value) override {
    return win32::com_guard([&] {
      VARIANT copy;
      VariantInit(&copy);
      HRESULT hr = VariantCopy(&copy, &value);
      if (FAILED(hr)) return hr;
      if (auto* slot = find(name)) {
        VariantClear(slot);
        *slot = copy;
      } else {
        items_.emplace_back(std::u16string(win32::bstr_view(name)), copy);
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE GetProperty(BSTR name, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    VARIANT* slot = find(name);
    if (!slot) return E_INVALIDARG;
    return VariantCopy(value, slot);
  }
  HRESULT STDMETHODCALLTYPE RemoveProperty(BSTR name) override {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (same_name(it->first, win32::bstr_view(name))) {
        VariantClear(&it->second);
        items_.erase(it);
        return S_OK;
      }
    }
    return E_INVALIDARG;
  }

 private:
  VARIANT* find(BSTR name) {
    for (auto& p : items_)
      if (same_name(p.first, win32::bstr_view(name))) return &p.second;
    return nullptr;
  }
  std::vector<std::pair<std::u16string, VARIANT>> items_;
};

class Uid final : public win32::ComObject<Uid, IUID> {
 public:
  HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    value->vt = VT_BSTR;
    value->bstrVal = win32::bstr_from_utf8(value_);
    return S_OK;
  }
  // A GUID in registry form ("{...}") or a ProgID; ProgIDs are resolved through the COM
  // runtime and must be known to it.
  HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) override {
    return win32::com_guard([&] {
      if (value.vt != VT_BSTR) return E_INVALIDARG;
      std::string text = win32::bstr_to_utf8(value.bstrVal);
      GUID guid;
      if (!text.empty() && text.front() == '{') {
        if (!win32::guid_from_string(text, &guid)) return E_INVALIDARG;
        value_ = win32::guid_to_string(guid);
        return S_OK;
      }
      HRESULT hr = CLSIDFromProgID(value.bstrVal, &guid);
      if (FAILED(hr)) return hr;
      value_ = text;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_SubType(LONG* sub_type) override {
    if (!sub_type) return E_POINTER;
    *sub_type = sub_type_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SubType(LONG sub_type) override {
    sub_type_ = sub_type;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Generate() override { return E_NOTIMPL; }

 private:
  std::string value_;
  LONG sub_type_ = 0;
};

class QueryFilter final : public win32::ComObject<QueryFilter, IQueryFilter> {
 public:
  HRESULT STDMETHODCALLTYPE get_WhereClause(BSTR* clause) override { return get(where_, clause); }
  HRESULT STDMETHODCALLTYPE put_WhereClause(BSTR clause) override { return put(&where_, clause); }
  HRESULT STDMETHODCALLTYPE get_SubFields(BSTR* fields) override { return get(sub_fields_, fields); }
  HRESULT STDMETHODCALLTYPE put_SubFields(BSTR fields) override { return put(&sub_fields_, fields); }

 private:
  static HRESULT get(const std::u16string& v, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT put(std::u16string* v, BSTR in) {
    return win32::com_guard([&] {
      *v = std::u16string(win32::bstr_view(in));
      return S_OK;
    });
  }
  std::u16string where_;
  std::u16string sub_fields_ = u"*";
};

}  // namespace

std::string where_clause(IQueryFilter* filter) {
  if (!filter) return "";
  win32::Bstr clause;
  if (FAILED(filter->get_WhereClause(clause.put()))) return "";
  return clause.utf8();
}

void register_system_classes() {
  register_class<PropertySet>(CLSID_PropertySet, "esriSystem.PropertySet");
  register_class<Uid>(CLSID_UID, "esriSystem.UID");
  register_class<QueryFilter>(CLSID_QueryFilter, "esriGeoDatabase.QueryFilter");
}

}  // namespace gis::core

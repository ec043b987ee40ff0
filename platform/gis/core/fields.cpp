#include "fields.h"

#include <unordered_map>

#include <win32/com_error.h>
#include <win32/com_object.h>
#include <win32/text.h>

#include "registration.h"

namespace gis::core {

namespace {

HRESULT out_bstr(const std::string& s, BSTR* out) {
  if (!out) return E_POINTER;
  *out = win32::bstr_from_utf8(s);
  return *out ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT out_value(T v, T* out) {
  if (!out) return E_POINTER;
  *out = v;
  return S_OK;
}

class GeometryDef final : public win32::ComObject<GeometryDef, IGeometryDef, IGeometryDefEdit> {
 public:
  HRESULT STDMETHODCALLTYPE get_GeometryType(esriGeometryType* type) override { return out_value(type_, type); }
  HRESULT STDMETHODCALLTYPE get_HasM(VARIANT_BOOL* v) override { return out_value(has_m_, v); }
  HRESULT STDMETHODCALLTYPE get_HasZ(VARIANT_BOOL* v) override { return out_value(has_z_, v); }
  HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) override {
    if (!sr) return E_POINTER;
    *sr = sr_.copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_AvgNumPoints(LONG* n) override { return out_value(avg_points_, n); }
  HRESULT STDMETHODCALLTYPE get_GridCount(LONG* n) override { return out_value(LONG(0), n); }
  HRESULT STDMETHODCALLTYPE get_GridSize(LONG, double* size) override {
    if (!size) return E_POINTER;
    *size = 0;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE put_GeometryType(esriGeometryType type) override {
    type_ = type;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_HasM(VARIANT_BOOL v) override {
    has_m_ = v ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_HasZ(VARIANT_BOOL v) override {
    has_z_ = v ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) override {
    sr_ = win32::ComPtr<ISpatialReference>(sr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_AvgNumPoints(LONG n) override {
    avg_points_ = n;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_GridCount(LONG) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE put_GridSize(LONG, double) override { return S_OK; }

 private:
  esriGeometryType type_ = esriGeometryNull;
  VARIANT_BOOL has_m_ = VARIANT_FALSE;
  VARIANT_BOOL has_z_ = VARIANT_FALSE;
  win32::ComPtr<ISpatialReference> sr_;
  LONG avg_points_ = 0;
};

// The object-id field is never editable, whatever was set.
class Field final : public win32::ComObject<Field, IFieldEdit> {
 public:
  Field() = default;
  explicit Field(const FieldSpec& desc) : spec_(desc) {}
  ~Field() override { VariantClear(&default_); }

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override { return out_bstr(spec_.name, name); }
  HRESULT STDMETHODCALLTYPE get_AliasName(BSTR* name) override {
    return out_bstr(spec_.alias.empty() ? spec_.name : spec_.alias, name);
  }
  HRESULT STDMETHODCALLTYPE get_Type(esriFieldType* type) override { return out_value(spec_.type, type); }
  HRESULT STDMETHODCALLTYPE get_Length(LONG* v) override { return out_value(spec_.length, v); }
  HRESULT STDMETHODCALLTYPE get_Precision(LONG* v) override { return out_value(spec_.precision, v); }
  HRESULT STDMETHODCALLTYPE get_Scale(LONG* v) override { return out_value(spec_.scale, v); }
  HRESULT STDMETHODCALLTYPE get_IsNullable(VARIANT_BOOL* v) override { return out_value(as_bool(spec_.nullable), v); }
  HRESULT STDMETHODCALLTYPE get_Required(VARIANT_BOOL* v) override { return out_value(as_bool(spec_.required), v); }
  HRESULT STDMETHODCALLTYPE get_Editable(VARIANT_BOOL* v) override {
    return out_value(as_bool(spec_.editable && spec_.type != esriFieldTypeOID), v);
  }
  HRESULT STDMETHODCALLTYPE get_GeometryDef(IGeometryDef** def) override {
    if (!def) return E_POINTER;
    *def = spec_.geometry_def.copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_DefaultValue(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return VariantCopy(value, &default_);
  }
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override { return put_text(&spec_.name, name); }
  HRESULT STDMETHODCALLTYPE put_AliasName(BSTR name) override { return put_text(&spec_.alias, name); }
  HRESULT STDMETHODCALLTYPE put_Type(esriFieldType type) override {
    spec_.type = type;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Length(LONG v) override { return put_number(&spec_.length, v); }
  HRESULT STDMETHODCALLTYPE put_Precision(LONG v) override { return put_number(&spec_.precision, v); }
  HRESULT STDMETHODCALLTYPE put_Scale(LONG v) override { return put_number(&spec_.scale, v); }
  HRESULT STDMETHODCALLTYPE put_IsNullable(VARIANT_BOOL v) override {
    spec_.nullable = v != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Required(VARIANT_BOOL v) override {
    spec_.required = v != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Editable(VARIANT_BOOL v) override {
    spec_.editable = v != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_GeometryDef(IGeometryDef* def) override {
    spec_.geometry_def = win32::ComPtr<IGeometryDef>(def);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_DefaultValue(VARIANT value) override { return VariantCopy(&default_, &value); }

 private:
  static VARIANT_BOOL as_bool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }
  static HRESULT put_text(std::string* s, BSTR v) {
    return win32::com_guard([&] {
      *s = win32::bstr_to_utf8(v);
      return S_OK;
    });
  }
  static HRESULT put_number(LONG* n, LONG v) {
    if (v < 0) return E_INVALIDARG;
    *n = v;
    return S_OK;
  }
  FieldSpec spec_;
  VARIANT default_{};
};

// The name index is built from each field's name when it is added; renaming a field
// after adding it is not followed.
class Fields final : public win32::ComObject<Fields, IFieldsEdit> {
 public:
  HRESULT STDMETHODCALLTYPE get_FieldCount(LONG* count) override {
    return out_value(static_cast<LONG>(fields_.size()), count);
  }
  HRESULT STDMETHODCALLTYPE get_Field(LONG index, IField** field) override {
    if (!field) return E_POINTER;
    *field = nullptr;
    if (index < 0 || size_t(index) >= fields_.size()) return E_INVALIDARG;
    *field = fields_[index].copy();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindField(BSTR name, LONG* index) override {
    if (!index) return E_POINTER;
    *index = -1;
    return win32::com_guard([&] {
      auto it = by_name_.find(fold_case(win32::bstr_view(name)));
      if (it != by_name_.end()) *index = it->second;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE FindFieldByAliasName(BSTR name, LONG* index) override {
    if (!index) return E_POINTER;
    *index = -1;
    return win32::com_guard([&] {
      std::u16string wanted = fold_case(win32::bstr_view(name));
      for (size_t i = 0; i < fields_.size(); ++i) {
        win32::Bstr alias;
        if (SUCCEEDED(fields_[i]->get_AliasName(alias.put())) && fold_case(win32::bstr_view(alias.get())) == wanted) {
          *index = static_cast<LONG>(i);
          break;
        }
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE AddField(IField* field) override {
    if (!field) return E_POINTER;
    return win32::com_guard([&] {
      add(field);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE put_FieldCount(LONG count) override {
    if (count < 0) return E_INVALIDARG;
    return win32::com_guard([&] {
      fields_.resize(size_t(count));
      reindex();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE putref_Field(LONG index, IField* field) override {
    if (index < 0 || size_t(index) >= fields_.size() || !field) return E_INVALIDARG;
    return win32::com_guard([&] {
      fields_[index] = win32::ComPtr<IField>(field);
      reindex();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE DeleteAllFields() override {
    fields_.clear();
    by_name_.clear();
    return S_OK;
  }

  void add(IField* field) {
    fields_.emplace_back(field);
    index_name(fields_.size() - 1);
  }
  void add_lookup_name(const std::string& name, LONG index) {
    if (!name.empty()) by_name_.emplace(fold_case(win32::utf8_to_utf16(name)), index);
  }

 private:
  void index_name(size_t i) {
    if (!fields_[i]) return;
    win32::Bstr name;
    if (FAILED(fields_[i]->get_Name(name.put()))) return;
    by_name_.emplace(fold_case(win32::bstr_view(name.get())), static_cast<LONG>(i));  // first wins
  }
  void reindex() {
    by_name_.clear();
    for (size_t i = 0; i < fields_.size(); ++i) index_name(i);
  }
  std::vector<win32::ComPtr<IField>> fields_;
  std::unordered_map<std::u16string, LONG> by_name_;
};

}  // namespace

std::u16string fold_case(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    else if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
             (c >= 0x430 && c <= 0x44F))
      c = static_cast<char16_t>(c - 32);
    else if (c >= 0x450 && c <= 0x45F) c = static_cast<char16_t>(c - 80);
  }
  return out;
}

win32::ComPtr<IField> make_field(const FieldSpec& desc) { return Field::make(desc); }

FieldSpec read_field(IField* field) {
  FieldSpec s;
  win32::Bstr name, alias;
  field->get_Name(name.put());
  field->get_AliasName(alias.put());
  s.name = name.utf8();
  s.alias = alias.utf8();
  field->get_Type(&s.type);
  field->get_Length(&s.length);
  field->get_Precision(&s.precision);
  field->get_Scale(&s.scale);
  VARIANT_BOOL b = VARIANT_FALSE;
  if (SUCCEEDED(field->get_IsNullable(&b))) s.nullable = b != VARIANT_FALSE;
  if (SUCCEEDED(field->get_Required(&b))) s.required = b != VARIANT_FALSE;
  if (SUCCEEDED(field->get_Editable(&b))) s.editable = b != VARIANT_FALSE;
  field->get_GeometryDef(s.geometry_def.put());
  return s;
}

win32::ComPtr<IGeometryDef> make_geometry_def(esriGeometryType type, bool has_z, bool has_m, ISpatialReference* sr) {
  win32::ComPtr<GeometryDef> def = GeometryDef::make();
  def->put_GeometryType(type);
  def->put_HasZ(has_z ? VARIANT_TRUE : VARIANT_FALSE);
  def->put_HasM(has_m ? VARIANT_TRUE : VARIANT_FALSE);
  def->putref_SpatialReference(sr);
  return win32::ComPtr<IGeometryDef>(static_cast<IGeometryDef*>(def.get()));
}

win32::ComPtr<IFields> make_fields(const std::vector<win32::ComPtr<IField>>& fields) {
  win32::ComPtr<Fields> f = Fields::make();
  for (const auto& field : fields) f->add(field.get());
  return win32::ComPtr<IFields>(f.get());
}

void append_field(IFields* fields, IField* field, const std::string& also_known_as) {
  auto* f = dynamic_cast<Fields*>(fields);
  if (!f) win32::throw_hr(E_INVALIDARG, "not a field collection of this library");
  f->add(field);
  LONG count = 0;
  f->get_FieldCount(&count);
  f->add_lookup_name(also_known_as, count - 1);
}

void register_field_classes() {
  register_class<Field>(CLSID_Field, "esriGeoDatabase.Field");
  register_class<Fields>(CLSID_Fields, "esriGeoDatabase.Fields");
  register_class<GeometryDef>(CLSID_GeometryDef, "esriGeoDatabase.GeometryDef");
}

}  // namespace gis::core

#include "feature.h"

#include <win32/com_error.h>

#include "gis/core.h"

#include "geometry.h"

namespace gis::core {

Feature::Feature(win32::ComPtr<FeatureClass> cls, LONG oid, std::vector<VARIANT> values,
                 win32::ComPtr<IGeometry> shape)
    : class_(std::move(cls)), oid_(oid), values_(std::move(values)), shape_(std::move(shape)) {}

Feature::~Feature() {
  for (VARIANT& v : values_) VariantClear(&v);
}

const Column* Feature::column(LONG index) const {
  const auto& columns = class_->columns();
  if (index < 0 || size_t(index) >= columns.size()) return nullptr;
  return &columns[index];
}

HRESULT Feature::get_Value(LONG index, VARIANT* value) {
  if (!value) return E_POINTER;
  VariantInit(value);
  const Column* c = column(index);
  if (!c) return E_INVALIDARG;
  switch (c->kind) {
    case Column::Oid:
      if (oid_ < 0) {
        value->vt = VT_NULL;
      } else {
        value->vt = VT_I4;
        value->lVal = oid_;
      }
      return S_OK;
    case Column::Shape:
      if (!shape_) {
        value->vt = VT_NULL;
      } else {
        value->vt = VT_UNKNOWN;
        value->punkVal = shape_.copy();
      }
      return S_OK;
    default:
      if (size_t(index) >= values_.size()) {
        value->vt = VT_NULL;
        return S_OK;
      }
      return VariantCopy(value, &values_[index]);
  }
}

HRESULT Feature::put_Value(LONG index, VARIANT value) {
  return win32::com_guard([&] {
    const Column* c = column(index);
    if (!c) return E_INVALIDARG;
    if (c->kind == Column::Oid) win32::throw_hr(E_INVALIDARG, "the object id field is not editable");
    if (c->kind == Column::Shape) {
      if (value.vt == VT_NULL || value.vt == VT_EMPTY) return putref_Shape(nullptr);
      if (value.vt != VT_UNKNOWN && value.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
      auto g = win32::query<IGeometry>(value.punkVal);
      if (!g) return DISP_E_TYPEMISMATCH;
      return putref_Shape(g.get());
    }
    VARIANT converted;
    HRESULT hr = convert_for_field(c->type, value, &converted);
    if (FAILED(hr)) win32::throw_hr(hr, "value of the wrong type for field " + c->name);
    if (size_t(index) >= values_.size()) {
      size_t old = values_.size();
      values_.resize(size_t(index) + 1);
      for (size_t i = old; i < values_.size(); ++i) VariantInit(&values_[i]);
    }
    VariantClear(&values_[index]);
    values_[index] = converted;
    return S_OK;
  });
}

HRESULT Feature::get_Fields(IFields** fields) {
  if (!fields) return E_POINTER;
  *fields = class_->fields();
  (*fields)->AddRef();
  return S_OK;
}

HRESULT Feature::get_HasOID(VARIANT_BOOL* has_oid) {
  if (!has_oid) return E_POINTER;
  *has_oid = VARIANT_TRUE;
  return S_OK;
}

HRESULT Feature::get_OID(LONG* oid) {
  if (!oid) return E_POINTER;
  *oid = oid_;
  return S_OK;
}

HRESULT Feature::Store() {
  return win32::com_guard([&] {
    if (!class_->writable()) win32::throw_hr(E_ACCESSDENIED, "the feature class is read-only");
    if (oid_ >= 0) win32::throw_hr(E_NOTIMPL, "a stored feature cannot be stored again");
    ThrowIfCancelled();
    oid_ = class_->write(values_, shape_.get());
    return S_OK;
  });
}

HRESULT Feature::Delete() { return E_NOTIMPL; }

HRESULT Feature::get_Class(IObjectClass** object_class) {
  if (!object_class) return E_POINTER;
  *object_class = static_cast<IFeatureClass*>(class_.get());
  (*object_class)->AddRef();
  return S_OK;
}

HRESULT Feature::get_ShapeCopy(IGeometry** shape) {
  if (!shape) return E_POINTER;
  *shape = nullptr;
  return win32::com_guard([&] {
    if (!shape_) return S_OK;
    GeometryState* s = state_of(shape_.get());
    if (!s) return E_FAIL;
    *shape = copy_geometry(*s).detach();
    return S_OK;
  });
}

HRESULT Feature::get_Shape(IGeometry** shape) {
  if (!shape) return E_POINTER;
  *shape = shape_.copy();
  return S_OK;
}

HRESULT Feature::putref_Shape(IGeometry* shape) {
  shape_ = win32::ComPtr<IGeometry>(shape);
  return S_OK;
}

HRESULT Feature::get_Extent(IEnvelope** extent) {
  if (!extent) return E_POINTER;
  *extent = nullptr;
  if (!shape_) return S_OK;
  return shape_->get_Envelope(extent);
}

HRESULT Feature::get_FeatureType(esriFeatureType* type) {
  if (!type) return E_POINTER;
  *type = esriFTSimple;
  return S_OK;
}

}  // namespace gis::core

// Feature: IFeature (with IObject, IRow, IRowBuffer) of a core feature class. A feature
// read from a source holds its values and its own shape object: Shape hands out that same
// object each time (so Project on it changes the feature's in-memory shape), ShapeCopy a
// new one. A feature made by CreateFeature is a buffer that Store writes once.
#pragma once

#include <vector>

#include <win32/com_object.h>

#include "feature_class.h"

namespace gis::core {

class Feature final : public win32::ComObject<Feature, IFeature> {
 public:
  // values: one per column of cls (the id and shape columns are unused); oid -1 for a
  // buffer not yet stored.
  Feature(win32::ComPtr<FeatureClass> cls, LONG oid, std::vector<VARIANT> values, win32::ComPtr<IGeometry> shape);
  ~Feature() override;

  // IRowBuffer
  HRESULT STDMETHODCALLTYPE get_Value(LONG index, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE put_Value(LONG index, VARIANT value) override;
  HRESULT STDMETHODCALLTYPE get_Fields(IFields** fields) override;
  // IRow
  HRESULT STDMETHODCALLTYPE get_HasOID(VARIANT_BOOL* has_oid) override;
  HRESULT STDMETHODCALLTYPE get_OID(LONG* oid) override;
  HRESULT STDMETHODCALLTYPE Store() override;
  HRESULT STDMETHODCALLTYPE Delete() override;
  // IObject
  HRESULT STDMETHODCALLTYPE get_Class(IObjectClass** object_class) override;
  // IFeature
  HRESULT STDMETHODCALLTYPE get_ShapeCopy(IGeometry** shape) override;
  HRESULT STDMETHODCALLTYPE get_Shape(IGeometry** shape) override;
  HRESULT STDMETHODCALLTYPE putref_Shape(IGeometry* shape) override;
  HRESULT STDMETHODCALLTYPE get_Extent(IEnvelope** extent) override;
  HRESULT STDMETHODCALLTYPE get_FeatureType(esriFeatureType* type) override;

 private:
  const Column* column(LONG index) const;

  win32::ComPtr<FeatureClass> class_;
  LONG oid_;
  std::vector<VARIANT> values_;
  win32::ComPtr<IGeometry> shape_;
};

}  // namespace gis::core

// FeatureBookmark (CLSID_FeatureBookmark): a bookmark of one feature of a feature class.
// ZoomTo makes the map (its IActiveView) show the feature: the extent becomes the feature's
// envelope in the map's spatial reference; a point keeps the map's extent size, centred on
// it. The extent is part of the map, so a saved document keeps it.
#pragma once

#include <string>

#include <win32/com_object.h>

#include "arcobjects/arcobjects.h"

namespace gis::carto {

class FeatureBookmark : public win32::ComObject<FeatureBookmark, IFeatureBookmark> {
 public:
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override;
  HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override;
  // E_FAIL when no feature class is set, the feature does not exist or has no shape, or
  // the map is no active view; the map is then unchanged.
  HRESULT STDMETHODCALLTYPE ZoomTo(IMap* map) override;
  HRESULT STDMETHODCALLTYPE get_FeatureClass(IFeatureClass** featureClass) override;
  HRESULT STDMETHODCALLTYPE putref_FeatureClass(IFeatureClass* featureClass) override;
  HRESULT STDMETHODCALLTYPE get_FeatureId(LONG* id) override;
  HRESULT STDMETHODCALLTYPE put_FeatureId(LONG id) override;

 private:
  std::string name_;
  win32::ComPtr<IFeatureClass> feature_class_;
  LONG feature_id_ = -1;
};

}  // namespace gis::carto

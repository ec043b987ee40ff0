#include "feature_bookmark.h"

#include "com_out.h"

namespace gis::carto {

HRESULT FeatureBookmark::get_Name(BSTR* name) {
  return win32::com_guard([&] { return out_text(name, name_); });
}

HRESULT FeatureBookmark::put_Name(BSTR name) {
  return win32::com_guard([&] {
    name_ = in_text(name);
    return S_OK;
  });
}

HRESULT FeatureBookmark::get_FeatureClass(IFeatureClass** out) { return out_ref(out, feature_class_); }

HRESULT FeatureBookmark::putref_FeatureClass(IFeatureClass* featureClass) {
  feature_class_ = win32::ComPtr<IFeatureClass>(featureClass);
  return S_OK;
}

HRESULT FeatureBookmark::get_FeatureId(LONG* id) { return out_value(id, feature_id_); }

HRESULT FeatureBookmark::put_FeatureId(LONG id) {
  feature_id_ = id;
  return S_OK;
}

HRESULT FeatureBookmark::ZoomTo(IMap* map) {
  if (!map) return E_POINTER;
  return win32::com_guard([&]() -> HRESULT {
    if (!feature_class_) win32::throw_hr(E_FAIL, "the bookmark names no feature class");
    auto view = win32::query<IActiveView>(map);
    if (!view) win32::throw_hr(E_FAIL, "the map is not an active view");
    win32::ComPtr<IFeature> feature;
    if (FAILED(feature_class_->GetFeature(feature_id_, feature.put())) || !feature)
      win32::throw_hr(E_FAIL, "the bookmarked feature " + std::to_string(feature_id_) + " does not exist");
    win32::ComPtr<IGeometry> shape;
    feature->get_ShapeCopy(shape.put());
    VARIANT_BOOL empty = VARIANT_TRUE;
    if (!shape || FAILED(shape->get_IsEmpty(&empty)) || empty != VARIANT_FALSE)
      win32::throw_hr(E_FAIL, "the bookmarked feature has no shape");
    win32::ComPtr<ISpatialReference> map_sr;
    map->get_SpatialReference(map_sr.put());
    if (map_sr) {
      HRESULT hr = shape->Project(map_sr.get());
      if (FAILED(hr)) return hr;
    }
    win32::ComPtr<IEnvelope> envelope;
    HRESULT hr = shape->get_Envelope(envelope.put());
    if (FAILED(hr) || !envelope) return FAILED(hr) ? hr : E_FAIL;
    double width = 0, height = 0;
    envelope->get_Width(&width);
    envelope->get_Height(&height);
    if (width == 0 && height == 0) {
      // A point has no size of its own: keep the size shown now, centred on it.
      win32::ComPtr<IEnvelope> current;
      VARIANT_BOOL current_empty = VARIANT_TRUE;
      if (SUCCEEDED(view->get_Extent(current.put())) && current &&
          SUCCEEDED(current->get_IsEmpty(&current_empty)) && current_empty == VARIANT_FALSE) {
        double x = 0, y = 0, w = 0, h = 0;
        envelope->get_XMin(&x);
        envelope->get_YMin(&y);
        current->get_Width(&w);
        current->get_Height(&h);
        envelope->PutCoords(x - w / 2, y - h / 2, x + w / 2, y + h / 2);
      }
    }
    return view->put_Extent(envelope.get());
  });
}

}  // namespace gis::carto

// Registration of the core's creatable classes and the vector-data entry points of
// gis/core.h.
#include "gis/core.h"

#include <mutex>

#include <win32/com_error.h>

#include "feature_class.h"
#include "feature_cursor.h"
#include "geometry_object.h"
#include "fields.h"
#include "geometry.h"
#include "shapefile_workspace.h"
#include "spatial_reference.h"
#include "system_objects.h"

namespace gis {

void RegisterCoreClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    core::register_geometry_classes();
    core::register_system_classes();
    core::register_field_classes();
    core::register_workspace_classes();
  });
}

win32::ComPtr<IFeatureClass> OpenFeatureClass(const std::string& path, const std::string& layer, std::string* error,
                                              ISpatialReference* assigned, const std::string& filter) {
  try {
    if (assigned && !core::core_sr(assigned))
      win32::throw_hr(E_INVALIDARG, "the coordinate system given to " + path + " was not made by the GIS core");
    return win32::ComPtr<IFeatureClass>(core::FeatureClass::open(path, layer, nullptr, assigned, filter));
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  }
  return {};
}

bool FeatureClassSource(IFeatureClass* feature_class, std::string* path, std::string* layer) {
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  if (!fc) return false;
  if (path) *path = fc->path();
  if (layer) *layer = fc->layer_name();
  return true;
}

bool ShapefileWhole(const std::string& path) { return core::written_whole(path); }

bool RestrictFeatures(IFeatureClass* feature_class, std::shared_ptr<const std::vector<LONG>> ids) {
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  if (!fc) return false;
  fc->restrict_to(std::move(ids));
  return true;
}

HRESULT SearchFeaturesWithin(IFeatureClass* feature_class, const double box[4], ISpatialReference* in,
                             IFeatureCursor** cursor) {
  if (!feature_class || !cursor) return E_POINTER;
  *cursor = nullptr;
  core::FeatureClass* fc = core::feature_class_of(feature_class);
  double within[4] = {box[0], box[1], box[2], box[3]};
  if (!fc || (in && fc->spatial_reference() && !core::project_box(in, fc->spatial_reference(), within)))
    return feature_class->Search(nullptr, VARIANT_FALSE, cursor);
  return win32::com_guard([&] {
    const core::SearchBox search{within[0], within[1], within[2], within[3]};
    *cursor = core::open_cursor(win32::ComPtr<core::FeatureClass>(fc), "", &search).detach();
    return S_OK;
  });
}

}  // namespace gis

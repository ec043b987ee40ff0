// Registration of the core's creatable classes and the vector-data entry points of
// gis/core.h.
#include "gis/core.h"

#include <mutex>

#include <win32/com_error.h>

#include "feature_class.h"
#include "fields.h"
#include "geometry.h"
#include "shapefile_workspace.h"
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

win32::ComPtr<IFeatureClass> OpenFeatureClass(const std::string& path, const std::string& layer, std::string* error) {
  try {
    return win32::ComPtr<IFeatureClass>(core::FeatureClass::open(path, layer, nullptr));
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

}  // namespace gis

// IGeometry::Project: coordinates are transformed in place through a transformation
// taken from a per-thread cache keyed by the pair of systems, so a layer's features share
// one transformation instead of building one each.
#include <algorithm>
#include <unordered_map>

#include <win32/com_error.h>

#include "diagnostics.h"
#include "gdal_support.h"
#include "geometry_object.h"
#include "spatial_reference.h"

namespace gis::core {

namespace {

struct TransformDeleter {
  void operator()(OGRCoordinateTransformation* t) const { OGRCoordinateTransformation::DestroyCT(t); }
};
using TransformPtr = std::unique_ptr<OGRCoordinateTransformation, TransformDeleter>;

struct CachedTransform {
  bool identity = false;  // the systems are the same in substance
  TransformPtr transform;
};

}  // namespace

OGRCoordinateTransformation* transformation(ICoreSpatialReference* from, ICoreSpatialReference* to) {
  thread_local std::unordered_map<uint64_t, CachedTransform> cache;
  uint64_t key = (uint64_t(uint32_t(from->system_id())) << 32) | uint32_t(to->system_id());
  auto it = cache.find(key);
  if (it == cache.end()) {
    CachedTransform entry;
    if (from->ogr().IsSame(&to->ogr())) {
      entry.identity = true;
    } else {
      gdal_init();
      GdalErrorScope errors;
      entry.transform.reset(OGRCreateCoordinateTransformation(&from->ogr(), &to->ogr()));
      if (!entry.transform) errors.fail(E_FAIL, "no transformation between the coordinate systems");
    }
    it = cache.emplace(key, std::move(entry)).first;
  }
  return it->second.identity ? nullptr : it->second.transform.get();
}

namespace {

struct TransformCall {
  OGRCoordinateTransformation* transform;
  bool failed = false;
};

int transform_xy(double* x, double* y, void* userdata) {
  auto* call = static_cast<TransformCall*>(userdata);
  if (!call->transform->Transform(1, x, y)) {
    call->failed = true;
    return 0;
  }
  return 1;
}

}  // namespace

bool project_box(ISpatialReference* from_sr, ISpatialReference* to_sr, double box[4]) {
  ICoreSpatialReference* from = core_sr(from_sr);
  ICoreSpatialReference* to = core_sr(to_sr);
  if (!from || !to) return false;
  try {
    OGRCoordinateTransformation* t = transformation(from, to);
    if (!t) return true;
    double out[4];
    if (!t->TransformBounds(box[0], box[1], box[2], box[3], &out[0], &out[1], &out[2], &out[3], 21)) return false;
    std::copy(out, out + 4, box);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void project_state(GeometryState& g, ISpatialReference* sr) {
  if (!sr) win32::throw_hr(E_INVALIDARG, "Project: no spatial reference given");
  ICoreSpatialReference* to = core_sr(sr);
  if (!to) win32::throw_hr(E_INVALIDARG, "Project: the spatial reference was not made by this library");
  ICoreSpatialReference* from = core_sr(g.sr());
  if (!from && !g.is_empty()) report_change("features without a coordinate system taken in the map's");
  if (!from || from->system_id() == to->system_id() || g.type() == esriGeometryMultiPatch || g.is_empty()) {
    g.set_sr(sr);
    return;
  }
  if (OGRCoordinateTransformation* t = transformation(from, to)) {
    GdalErrorScope errors;
    TransformCall call{t};
    GEOSGeometry* moved = GEOSGeom_transformXY_r(geos(), g.geom(), transform_xy, &call);
    if (!moved || call.failed) {
      if (moved) GEOSGeom_destroy_r(geos(), moved);
      // Left in the old system the shape would be compared with shapes of the new one:
      // it becomes empty, in the new system, and so is left out.
      report_change("features that cannot be projected into the map's coordinate system left out");
      g.set_empty();
      g.set_sr(sr);
      errors.fail(E_FAIL, "Project: coordinates cannot be transformed");
    }
    g.set(GeomPtr(moved));
  }
  g.set_sr(sr);
}

}  // namespace gis::core

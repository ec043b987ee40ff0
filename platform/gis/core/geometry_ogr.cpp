#include "geometry_ogr.h"

#include <vector>

#include <win32/com_error.h>

namespace gis::core {

GeomPtr geos_from_ogr(const OGRGeometry& g) {
  thread_local std::vector<unsigned char> wkb;
  std::unique_ptr<OGRGeometry> linear;
  const OGRGeometry* src = &g;
  if (g.hasCurveGeometry()) {
    linear.reset(g.getLinearGeometry());
    if (!linear) win32::throw_hr(E_FAIL, "a curved geometry cannot be approximated");
    src = linear.get();
  }
  wkb.resize(src->WkbSize());
  if (src->exportToWkb(wkbNDR, wkb.data(), wkbVariantIso) != OGRERR_NONE)
    win32::throw_hr(E_FAIL, "a geometry cannot be exported as WKB");
  return geos_from_wkb(wkb.data(), wkb.size());
}

std::unique_ptr<OGRGeometry> ogr_from_geos(const GEOSGeometry* g) {
  auto wkb = geos_to_wkb(g);
  OGRGeometry* out = nullptr;
  size_t consumed = 0;
  if (OGRGeometryFactory::createFromWkb(wkb.data(), nullptr, &out, wkb.size(), wkbVariantIso, consumed) !=
          OGRERR_NONE ||
      !out)
    win32::throw_hr(E_FAIL, "a geometry cannot be converted for OGR");
  return std::unique_ptr<OGRGeometry>(out);
}

esriGeometryType esri_type_of(OGRwkbGeometryType type) {
  switch (wkbFlatten(type)) {
    case wkbPoint: return esriGeometryPoint;
    case wkbMultiPoint: return esriGeometryMultipoint;
    case wkbLineString:
    case wkbMultiLineString:
    case wkbCircularString:
    case wkbCompoundCurve:
    case wkbMultiCurve: return esriGeometryPolyline;
    case wkbPolygon:
    case wkbMultiPolygon:
    case wkbCurvePolygon:
    case wkbMultiSurface:
    case wkbTriangle: return esriGeometryPolygon;
    case wkbPolyhedralSurface:
    case wkbTIN: return esriGeometryMultiPatch;
    default: return esriGeometryNull;
  }
}

esriGeometryType esri_type_of_geos(const GEOSGeometry* g) {
  switch (GEOSGeomTypeId_r(geos(), g)) {
    case GEOS_POINT: return esriGeometryPoint;
    case GEOS_MULTIPOINT: return esriGeometryMultipoint;
    case GEOS_LINESTRING:
    case GEOS_LINEARRING:
    case GEOS_MULTILINESTRING: return esriGeometryPolyline;
    case GEOS_POLYGON:
    case GEOS_MULTIPOLYGON: return esriGeometryPolygon;
    default: return esriGeometryNull;
  }
}

OGRwkbGeometryType ogr_type_of(esriGeometryType type, bool has_z, bool has_m) {
  OGRwkbGeometryType t = wkbUnknown;
  switch (type) {
    case esriGeometryPoint: t = wkbPoint; break;
    case esriGeometryMultipoint: t = wkbMultiPoint; break;
    case esriGeometryPolyline:
    case esriGeometryLine: t = wkbMultiLineString; break;
    case esriGeometryPolygon:
    case esriGeometryEnvelope: t = wkbMultiPolygon; break;
    default: win32::throw_hr(E_INVALIDARG, "a shapefile cannot hold geometry type " + std::to_string(type));
  }
  return OGR_GT_SetModifier(t, has_z, has_m);
}

}  // namespace gis::core

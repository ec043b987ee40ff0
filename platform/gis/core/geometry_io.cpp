// Text forms of geometries and spatial references (gis/core.h).
#include <ogr_api.h>

#include <win32/com_error.h>

#include "gdal_support.h"
#include "geometry.h"
#include "gis/core.h"
#include "geometry_ogr.h"
#include "spatial_reference.h"

namespace gis {

namespace {

// Runs f, turning a failure into an empty result and *error.
template <class F>
auto guarded(std::string* error, F f) -> decltype(f()) {
  try {
    return f();
  } catch (const std::exception& e) {
    if (error) *error = e.what();
  }
  return {};
}

win32::ComPtr<IGeometry> from_geos(core::GeomPtr g, ISpatialReference* sr) {
  esriGeometryType type = core::esri_type_of_geos(g.get());
  if (type == esriGeometryNull) win32::throw_hr(E_INVALIDARG, "geometry collections are not supported");
  return core::make_geometry(type, std::move(g), sr);
}

}  // namespace

win32::ComPtr<ISpatialReference> SpatialReferenceFromText(const std::string& text, std::string* error) {
  return guarded(error, [&] { return core::make_spatial_reference(text); });
}

std::string SpatialReferenceToText(ISpatialReference* sr) {
  return guarded(nullptr, [&] { return core::spatial_reference_text(sr); });
}

win32::ComPtr<IGeometry> GeometryFromGeoJson(const std::string& geojson, ISpatialReference* sr, std::string* error) {
  return guarded(error, [&] {
    core::gdal_init();
    core::GdalErrorScope errors;
    std::unique_ptr<OGRGeometry> g(OGRGeometryFactory::createFromGeoJson(geojson.c_str()));
    if (!g) errors.fail(E_INVALIDARG, "not a GeoJSON geometry");
    return from_geos(core::geos_from_ogr(*g), sr);
  });
}

std::string GeometryToGeoJson(IGeometry* geometry) {
  return guarded(nullptr, [&]() -> std::string {
    core::GeometryState* s = core::state_of(geometry);
    if (!s || s->type() == esriGeometryMultiPatch) return "";
    std::unique_ptr<OGRGeometry> g = core::ogr_from_geos(s->geom());
    char* json = g->exportToJson();
    std::string out = json ? json : "";
    CPLFree(json);
    return out;
  });
}

win32::ComPtr<IGeometry> GeometryFromWkt(const std::string& wkt, ISpatialReference* sr, std::string* error) {
  return guarded(error, [&] { return from_geos(core::geos_from_wkt(wkt), sr); });
}

std::string GeometryToWkt(IGeometry* geometry) {
  return guarded(nullptr, [&]() -> std::string {
    core::GeometryState* s = core::state_of(geometry);
    if (!s || s->type() == esriGeometryMultiPatch) return "";
    return core::geos_to_wkt(s->geom());
  });
}

}  // namespace gis

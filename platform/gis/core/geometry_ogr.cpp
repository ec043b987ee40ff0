#include "geometry_ogr.h"

#include <vector>

#include <win32/com_error.h>

#include "geos_parts.h"

namespace gis::core {

namespace {

// Plain two-dimensional points, lines and polygons (and their collections, the shapes data
// sources hold) are copied coordinate by coordinate; anything else, and whatever GEOS
// would refuse to build (rings open or too short, lines of one point), goes through WKB,
// which gives the same shapes and the same refusals.

// The coordinates of an OGR line or ring, x y x y ...
const double* ogr_coords(const OGRSimpleCurve& c, std::vector<double>& xy) {
  xy.resize(2 * size_t(c.getNumPoints()));
  c.getPoints(reinterpret_cast<OGRRawPoint*>(xy.data()), nullptr);
  return xy.data();
}

GeomPtr direct_line(const OGRSimpleCurve& c, bool ring, std::vector<double>& xy) {
  const int n = c.getNumPoints();
  if (n < (ring ? 4 : 2)) return nullptr;
  const double* p = ogr_coords(c, xy);
  if (ring && (p[0] != p[2 * n - 2] || p[1] != p[2 * n - 1])) return nullptr;
  return ring ? make_ring(p, n) : make_line(p, n);
}

GeomPtr direct_polygon(const OGRPolygon& poly, std::vector<double>& xy) {
  if (poly.IsEmpty() || !poly.getExteriorRing()) return nullptr;
  GeomPtr shell = direct_line(*poly.getExteriorRing(), true, xy);
  if (!shell) return nullptr;
  std::vector<GeomPtr> holes;
  for (int i = 0; i < poly.getNumInteriorRings(); ++i) {
    GeomPtr hole = direct_line(*poly.getInteriorRing(i), true, xy);
    if (!hole) return nullptr;
    holes.push_back(std::move(hole));
  }
  return make_polygon(std::move(shell), std::move(holes));
}

GeomPtr direct_from_ogr(const OGRGeometry& g) {
  thread_local std::vector<double> xy;
  if (g.Is3D() || g.IsMeasured() || g.IsEmpty()) return nullptr;
  switch (wkbFlatten(g.getGeometryType())) {
    case wkbPoint: return make_point(g.toPoint()->getX(), g.toPoint()->getY());
    case wkbLineString: return direct_line(*g.toLineString(), false, xy);
    case wkbPolygon: return direct_polygon(*g.toPolygon(), xy);
    case wkbMultiLineString:
    case wkbMultiPolygon: {
      const OGRGeometryCollection& c = *g.toGeometryCollection();
      std::vector<GeomPtr> parts;
      for (const OGRGeometry* part : c) {
        GeomPtr p = part->IsEmpty() ? nullptr : direct_from_ogr(*part);
        if (!p) return nullptr;
        parts.push_back(std::move(p));
      }
      return make_collection(wkbFlatten(g.getGeometryType()) == wkbMultiPolygon ? GEOS_MULTIPOLYGON
                                                                                 : GEOS_MULTILINESTRING,
                             std::move(parts));
    }
    default: return nullptr;
  }
}

std::unique_ptr<OGRSimpleCurve> direct_curve(const GEOSGeometry* line, bool ring, std::vector<double>& xy) {
  xy.clear();
  append_coords(line, &xy);
  std::unique_ptr<OGRSimpleCurve> out;
  if (ring) out = std::make_unique<OGRLinearRing>();
  else out = std::make_unique<OGRLineString>();
  out->setPoints(static_cast<int>(xy.size() / 2), reinterpret_cast<const OGRRawPoint*>(xy.data()));
  return out;
}

std::unique_ptr<OGRGeometry> direct_to_ogr(const GEOSGeometry* g) {
  thread_local std::vector<double> xy;
  GEOSContextHandle_t h = geos();
  if (GEOSisEmpty_r(h, g) != 0) return nullptr;
  switch (GEOSGeomTypeId_r(h, g)) {
    case GEOS_POINT: {
      double x = 0, y = 0;
      if (!GEOSGeomGetX_r(h, g, &x) || !GEOSGeomGetY_r(h, g, &y)) return nullptr;
      return std::make_unique<OGRPoint>(x, y);
    }
    case GEOS_LINESTRING: return direct_curve(g, false, xy);
    case GEOS_POLYGON: {
      auto poly = std::make_unique<OGRPolygon>();
      poly->addRingDirectly(static_cast<OGRLinearRing*>(direct_curve(GEOSGetExteriorRing_r(h, g), true, xy).release()));
      const int holes = GEOSGetNumInteriorRings_r(h, g);
      for (int i = 0; i < holes; ++i)
        poly->addRingDirectly(
            static_cast<OGRLinearRing*>(direct_curve(GEOSGetInteriorRingN_r(h, g, i), true, xy).release()));
      return poly;
    }
    case GEOS_MULTILINESTRING:
    case GEOS_MULTIPOLYGON: {
      std::unique_ptr<OGRGeometryCollection> c;
      if (GEOSGeomTypeId_r(h, g) == GEOS_MULTIPOLYGON) c = std::make_unique<OGRMultiPolygon>();
      else c = std::make_unique<OGRMultiLineString>();
      const int n = GEOSGetNumGeometries_r(h, g);
      for (int i = 0; i < n; ++i) {
        std::unique_ptr<OGRGeometry> part = direct_to_ogr(GEOSGetGeometryN_r(h, g, i));
        if (!part) return nullptr;
        c->addGeometryDirectly(part.release());
      }
      return c;
    }
    default: return nullptr;
  }
}

}  // namespace

GeomPtr geos_from_ogr(const OGRGeometry& g) {
  if (GeomPtr direct = direct_from_ogr(g)) return direct;
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

// The WKB written of a GEOS shape is two-dimensional, and so is what is built directly.
std::unique_ptr<OGRGeometry> ogr_from_geos(const GEOSGeometry* g) {
  if (std::unique_ptr<OGRGeometry> direct = direct_to_ogr(g)) return direct;
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

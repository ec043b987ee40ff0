#include "geos_parts.h"

#include <algorithm>
#include <cmath>

#include <win32/com_error.h>

namespace gis::core {

namespace {

GEOSCoordSequence* sequence(const double* xy, size_t points, bool close) {
  GEOSContextHandle_t h = geos();
  bool add = close && points > 0 && (xy[0] != xy[2 * points - 2] || xy[1] != xy[2 * points - 1]);
  GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, static_cast<unsigned>(points + (add ? 1 : 0)), 2);
  if (!seq) win32::throw_hr(E_OUTOFMEMORY, "GEOS coordinate sequence: " + geos_last_error());
  for (size_t i = 0; i < points; ++i) GEOSCoordSeq_setXY_r(h, seq, static_cast<unsigned>(i), xy[2 * i], xy[2 * i + 1]);
  if (add) GEOSCoordSeq_setXY_r(h, seq, static_cast<unsigned>(points), xy[0], xy[1]);
  return seq;
}

}  // namespace

GeomPtr make_line(const double* xy, size_t points) {
  return geos_checked(GEOSGeom_createLineString_r(geos(), sequence(xy, points, false)), "line");
}

GeomPtr make_ring(const double* xy, size_t points) {
  return geos_checked(GEOSGeom_createLinearRing_r(geos(), sequence(xy, points, true)), "ring");
}

GeomPtr make_point(double x, double y) { return geos_checked(GEOSGeom_createPointFromXY_r(geos(), x, y), "point"); }

GeomPtr make_collection(int type_id, std::vector<GeomPtr> parts) {
  std::vector<GEOSGeometry*> raw;
  raw.reserve(parts.size());
  for (auto& p : parts) raw.push_back(p.get());
  GEOSGeometry* c = GEOSGeom_createCollection_r(geos(), type_id, raw.data(), static_cast<unsigned>(raw.size()));
  if (!c) return geos_checked(nullptr, "collection");
  for (auto& p : parts) p.release();  // now owned by c
  return GeomPtr(c);
}

GeomPtr make_polygon(GeomPtr shell, std::vector<GeomPtr> holes) {
  std::vector<GEOSGeometry*> raw;
  for (auto& p : holes) raw.push_back(p.get());
  GEOSGeometry* g = GEOSGeom_createPolygon_r(geos(), shell.get(), raw.data(), static_cast<unsigned>(raw.size()));
  if (!g) return geos_checked(nullptr, "polygon");
  shell.release();
  for (auto& p : holes) p.release();
  return GeomPtr(g);
}

void components(const GEOSGeometry* g, std::vector<GeomPtr>* out) {
  GEOSContextHandle_t h = geos();
  int n = GEOSGetNumGeometries_r(h, g);
  int id = GEOSGeomTypeId_r(h, g);
  bool multi = id == GEOS_MULTIPOINT || id == GEOS_MULTILINESTRING || id == GEOS_MULTIPOLYGON ||
               id == GEOS_GEOMETRYCOLLECTION;
  if (!multi) {
    if (!GEOSisEmpty_r(h, g)) out->push_back(geos_clone(g));
    return;
  }
  for (int i = 0; i < n; ++i) {
    const GEOSGeometry* part = GEOSGetGeometryN_r(h, g, i);
    if (!GEOSisEmpty_r(h, part)) out->push_back(geos_clone(part));
  }
}

void extract_dimension(const GEOSGeometry* g, int dim, std::vector<GeomPtr>* out) {
  GEOSContextHandle_t h = geos();
  int id = GEOSGeomTypeId_r(h, g);
  if (id == GEOS_GEOMETRYCOLLECTION || id == GEOS_MULTIPOINT || id == GEOS_MULTILINESTRING ||
      id == GEOS_MULTIPOLYGON) {
    int n = GEOSGetNumGeometries_r(h, g);
    for (int i = 0; i < n; ++i) extract_dimension(GEOSGetGeometryN_r(h, g, i), dim, out);
    return;
  }
  if (GEOSisEmpty_r(h, g)) return;
  int d = id == GEOS_POINT ? 0 : id == GEOS_POLYGON ? 2 : 1;
  if (d == dim) {
    if (id == GEOS_LINEARRING) {
      std::vector<double> xy;
      append_coords(g, &xy);
      out->push_back(make_line(xy.data(), xy.size() / 2));
    } else {
      out->push_back(geos_clone(g));
    }
  }
}

void append_coords(const GEOSGeometry* line, std::vector<double>* xy) {
  GEOSContextHandle_t h = geos();
  const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(h, line);
  if (!seq) return;
  unsigned n = 0;
  GEOSCoordSeq_getSize_r(h, seq, &n);
  size_t at = xy->size();
  xy->resize(at + 2 * size_t(n));
  for (unsigned i = 0; i < n; ++i) GEOSCoordSeq_getXY_r(h, seq, i, &(*xy)[at + 2 * i], &(*xy)[at + 2 * i + 1]);
}

bool ring_is_ccw(const GEOSGeometry* ring) {
  GEOSContextHandle_t h = geos();
  char ccw = 0;
  const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(h, ring);
  return seq && GEOSCoordSeq_isCCW_r(h, seq, &ccw) && ccw;
}

namespace {

// The side of p from the line a → b (1 left, -1 right, 0 on it; 2 when GEOS failed),
// decided exactly by GEOS.
int side(GEOSContextHandle_t h, const double* a, const double* b, const double* p) {
  return GEOSOrientationIndex_r(h, a[0], a[1], b[0], b[1], p[0], p[1]);
}

}  // namespace

bool surely_valid_polygon(const GEOSGeometry* g) {
  GEOSContextHandle_t h = geos();
  if (GEOSGeomTypeId_r(h, g) != GEOS_POLYGON || GEOSGetNumInteriorRings_r(h, g) != 0) return false;
  const GEOSGeometry* shell = GEOSGetExteriorRing_r(h, g);
  const GEOSCoordSequence* seq = shell ? GEOSGeom_getCoordSeq_r(h, shell) : nullptr;
  unsigned size = 0;
  if (!seq || !GEOSCoordSeq_getSize_r(h, seq, &size) || size < 4 || size > kQuickValidVertices) return false;
  double xy[2 * kQuickValidVertices];
  for (unsigned i = 0; i < size; ++i) {
    if (!GEOSCoordSeq_getXY_r(h, seq, i, &xy[2 * i], &xy[2 * i + 1])) return false;
    if (!std::isfinite(xy[2 * i]) || !std::isfinite(xy[2 * i + 1])) return false;
  }
  const size_t n = size - 1;  // edges; point n closes the ring on point 0
  if (xy[0] != xy[2 * n] || xy[1] != xy[2 * n + 1]) return false;
  auto at = [&](size_t i) { return &xy[2 * (i % n)]; };
  for (size_t i = 0; i < n; ++i) {
    const double *a = at(i), *b = at(i + 1);
    if (a[0] == b[0] && a[1] == b[1]) return false;
    const int turn = side(h, a, b, at(i + 2));
    if (turn != 1 && turn != -1) return false;  // a straight vertex, a spike or a turn back
  }
  // Edges i and j (not consecutive) must not meet at all. Boxes apart settle most pairs.
  for (size_t i = 0; i < n; ++i) {
    const double *a = at(i), *b = at(i + 1);
    const double ax0 = std::min(a[0], b[0]), ax1 = std::max(a[0], b[0]);
    const double ay0 = std::min(a[1], b[1]), ay1 = std::max(a[1], b[1]);
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;  // the edges meeting at the closing point
      const double *c = at(j), *d = at(j + 1);
      if (std::max(c[0], d[0]) < ax0 || std::min(c[0], d[0]) > ax1 || std::max(c[1], d[1]) < ay0 ||
          std::min(c[1], d[1]) > ay1)
        continue;
      const int s1 = side(h, a, b, c), s2 = side(h, a, b, d), s3 = side(h, c, d, a), s4 = side(h, c, d, b);
      for (int s : {s1, s2, s3, s4})
        if (s != 1 && s != -1) return false;  // touching or in line: GEOS judges
      if (s1 != s2 && s3 != s4) return false;  // crossing
    }
  }
  return true;
}

}  // namespace gis::core

#include "geometry_state.h"

#include <algorithm>

#include <win32/com_error.h>

#include "geos_parts.h"

namespace gis::core {

namespace {

int empty_kind(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint: return GEOS_POINT;
    case esriGeometryMultipoint: return GEOS_MULTIPOINT;
    case esriGeometryPolyline:
    case esriGeometryLine: return GEOS_LINESTRING;
    default: return GEOS_POLYGON;
  }
}

[[noreturn]] void mismatch(esriGeometryType type, const GEOSGeometry* g) {
  char* name = GEOSGeomType_r(geos(), g);
  std::string kind = name ? name : "?";
  GEOSFree_r(geos(), name);
  win32::throw_hr(E_INVALIDARG, "a " + kind + " cannot be held by a geometry of type " + std::to_string(type));
}

// The polygons of shape_ as a list, for appending.
std::vector<GeomPtr> polygons_of(const GEOSGeometry* g) {
  std::vector<GeomPtr> out;
  extract_dimension(g, 2, &out);
  return out;
}

GeomPtr polygonal(std::vector<GeomPtr> polys) {
  if (polys.empty()) return geos_empty(GEOS_POLYGON);
  if (polys.size() == 1) return std::move(polys.front());
  return make_collection(GEOS_MULTIPOLYGON, std::move(polys));
}

GeomPtr lineal(std::vector<GeomPtr> lines) {
  if (lines.empty()) return geos_empty(GEOS_LINESTRING);
  if (lines.size() == 1) return std::move(lines.front());
  return make_collection(GEOS_MULTILINESTRING, std::move(lines));
}

// Adds a ring to a list of polygons: a ring turning the other way from the last shell and
// lying within its bounds is a hole of it, any other ring starts a new polygon (so rings
// given with either orientation convention come out right).
void add_ring(std::vector<GeomPtr>* polys, GeomPtr ring) {
  GEOSContextHandle_t h = geos();
  if (!polys->empty()) {
    const GEOSGeometry* last = polys->back().get();
    const GEOSGeometry* shell = GEOSGetExteriorRing_r(h, last);
    Bounds sb, rb;
    if (shell && ring_is_ccw(shell) != ring_is_ccw(ring.get()) && geos_bounds(shell, &sb) &&
        geos_bounds(ring.get(), &rb) && sb.contains(rb)) {
      GeomPtr new_shell = geos_clone(shell);
      std::vector<GeomPtr> holes;
      int n = GEOSGetNumInteriorRings_r(h, last);
      for (int i = 0; i < n; ++i) holes.push_back(geos_clone(GEOSGetInteriorRingN_r(h, last, i)));
      holes.push_back(std::move(ring));
      polys->back() = make_polygon(std::move(new_shell), std::move(holes));
      return;
    }
  }
  polys->push_back(make_polygon(std::move(ring), {}));
}

}  // namespace

GeomPtr coerce_geometry(esriGeometryType type, GeomPtr g) {
  GEOSContextHandle_t h = geos();
  int id = GEOSGeomTypeId_r(h, g.get());
  bool empty = GEOSisEmpty_r(h, g.get());
  switch (type) {
    case esriGeometryPoint:
      if (id == GEOS_POINT) return g;
      if (empty) return geos_empty(GEOS_POINT);
      if (id == GEOS_MULTIPOINT && GEOSGetNumGeometries_r(h, g.get()) == 1)
        return geos_clone(GEOSGetGeometryN_r(h, g.get(), 0));
      break;
    case esriGeometryMultipoint: {
      if (id == GEOS_MULTIPOINT) return g;
      if (empty) return geos_empty(GEOS_MULTIPOINT);
      std::vector<GeomPtr> points;
      extract_dimension(g.get(), 0, &points);
      std::vector<GeomPtr> rest;
      extract_dimension(g.get(), 1, &rest);
      extract_dimension(g.get(), 2, &rest);
      if (rest.empty()) return make_collection(GEOS_MULTIPOINT, std::move(points));
      break;
    }
    case esriGeometryPolyline: {
      if (id == GEOS_LINESTRING || id == GEOS_MULTILINESTRING) return g;
      if (empty) return geos_empty(GEOS_LINESTRING);
      std::vector<GeomPtr> lines;
      extract_dimension(g.get(), 1, &lines);
      std::vector<GeomPtr> rest;
      extract_dimension(g.get(), 0, &rest);
      extract_dimension(g.get(), 2, &rest);
      if (rest.empty()) return lineal(std::move(lines));
      break;
    }
    case esriGeometryLine:
      if (id == GEOS_LINESTRING) return g;
      if (empty) return geos_empty(GEOS_LINESTRING);
      break;
    case esriGeometryPolygon: {
      if (id == GEOS_POLYGON || id == GEOS_MULTIPOLYGON) return g;
      if (empty) return geos_empty(GEOS_POLYGON);
      std::vector<GeomPtr> polys = polygons_of(g.get());
      std::vector<GeomPtr> rest;
      extract_dimension(g.get(), 0, &rest);
      extract_dimension(g.get(), 1, &rest);
      if (rest.empty()) return polygonal(std::move(polys));
      break;
    }
    case esriGeometryEnvelope:
      if (empty) return geos_empty(GEOS_POLYGON);
      return geos_checked(GEOSEnvelope_r(h, g.get()), "envelope");
    default: break;
  }
  mismatch(type, g.get());
}

GeometryState::GeometryState(esriGeometryType type) : type_(type) {}

const GEOSGeometry* GeometryState::shape() const {
  if (!shape_) {
    if (type_ == esriGeometryMultiPatch) win32::throw_hr(E_NOTIMPL, "this geometry type has no planar shape");
    shape_ = geos_empty(empty_kind(type_));
  }
  return shape_.get();
}

esriGeometryDimension GeometryState::dimension() const {
  switch (type_) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return esriGeometry0Dimension;
    case esriGeometryPolyline:
    case esriGeometryLine: return esriGeometry1Dimension;
    case esriGeometryPolygon:
    case esriGeometryEnvelope: return esriGeometry2Dimension;
    case esriGeometryMultiPatch: return esriGeometry3Dimension;
    default: return esriGeometryNoDimension;
  }
}

const GEOSGeometry* GeometryState::geom() const {
  if (pending_.empty()) return shape();
  if (combined_) return combined_.get();
  // Combine the committed parts with the part under construction, when it can stand.
  size_t n = pending_.size() / 2;
  std::vector<GeomPtr> parts;
  if (type_ == esriGeometryPolygon) {
    parts = polygons_of(shape());
    if (n >= 3) add_ring(&parts, make_ring(pending_.data(), n));
    combined_ = polygonal(std::move(parts));
  } else if (type_ == esriGeometryPolyline) {
    extract_dimension(shape(), 1, &parts);
    if (n >= 2) parts.push_back(make_line(pending_.data(), n));
    combined_ = lineal(std::move(parts));
  } else {
    return shape();
  }
  return combined_.get();
}

void GeometryState::set(GeomPtr g) {
  if (type_ == esriGeometryMultiPatch) win32::throw_hr(E_NOTIMPL, "a multipatch has no planar shape");
  GeomPtr c = coerce_geometry(type_, std::move(g));
  changed();
  pending_.clear();
  shape_ = std::move(c);
}

void GeometryState::set_empty() {
  changed();
  pending_.clear();
  shape_.reset();  // empty, made when asked for
}

bool GeometryState::is_empty() const {
  if (type_ == esriGeometryMultiPatch || (!shape_ && pending_.empty())) return true;
  return GEOSisEmpty_r(geos(), geom()) != 0;
}

bool GeometryState::bounds(Bounds* b) const {
  if (type_ == esriGeometryMultiPatch || (!shape_ && pending_.empty())) return false;
  if (!bounds_known_) {
    bounds_empty_ = !geos_bounds(geom(), &bounds_);
    bounds_known_ = true;
  }
  if (bounds_empty_) return false;
  *b = bounds_;
  return true;
}

void GeometryState::coords(std::vector<double>* xy) const {
  xy->clear();
  if (type_ == esriGeometryMultiPatch) return;
  GEOSContextHandle_t h = geos();
  std::vector<GeomPtr> parts;
  components(geom(), &parts);
  for (const auto& p : parts) {
    int id = GEOSGeomTypeId_r(h, p.get());
    if (id == GEOS_POLYGON) {
      append_coords(GEOSGetExteriorRing_r(h, p.get()), xy);
      int n = GEOSGetNumInteriorRings_r(h, p.get());
      for (int i = 0; i < n; ++i) append_coords(GEOSGetInteriorRingN_r(h, p.get(), i), xy);
    } else {
      append_coords(p.get(), xy);
    }
  }
}

void GeometryState::add_vertex(double x, double y) {
  changed();
  switch (type_) {
    case esriGeometryMultipoint: {
      std::vector<GeomPtr> points;
      extract_dimension(shape(), 0, &points);
      points.push_back(make_point(x, y));
      shape_ = make_collection(GEOS_MULTIPOINT, std::move(points));
      break;
    }
    case esriGeometryPolyline:
    case esriGeometryPolygon:
      pending_.push_back(x);
      pending_.push_back(y);
      break;
    default: win32::throw_hr(E_NOTIMPL, "vertices are added only to multipoints, polylines and polygons");
  }
}

void GeometryState::commit_pending() {
  if (pending_.empty()) return;
  geom();  // builds combined_ from the pending part when it can stand
  GeomPtr c = std::move(combined_);
  changed();
  if (c) shape_ = std::move(c);
  pending_.clear();
}

void GeometryState::close_part() { commit_pending(); }

size_t GeometryState::part_count() const {
  if (is_empty()) return 0;
  GEOSContextHandle_t h = geos();
  if (type_ == esriGeometryPolygon) {
    std::vector<GeomPtr> polys = polygons_of(geom());
    size_t n = 0;
    for (const auto& p : polys) n += 1 + size_t(GEOSGetNumInteriorRings_r(h, p.get()));
    return n;
  }
  int id = GEOSGeomTypeId_r(h, geom());
  if (id == GEOS_MULTIPOINT || id == GEOS_MULTILINESTRING || id == GEOS_MULTIPOLYGON) {
    return size_t(GEOSGetNumGeometries_r(h, geom()));
  }
  return 1;
}

GeomPtr GeometryState::part(size_t index) const {
  if (type_ == esriGeometryMultiPatch || index >= part_count()) win32::throw_hr(E_INVALIDARG, "part index out of range");
  GEOSContextHandle_t h = geos();
  if (type_ == esriGeometryPolygon) {
    for (const auto& p : polygons_of(geom())) {
      int holes = GEOSGetNumInteriorRings_r(h, p.get());
      if (index <= size_t(holes)) {
        const GEOSGeometry* ring =
            index == 0 ? GEOSGetExteriorRing_r(h, p.get()) : GEOSGetInteriorRingN_r(h, p.get(), int(index - 1));
        return make_polygon(geos_clone(ring), {});
      }
      index -= size_t(holes) + 1;
    }
  }
  std::vector<GeomPtr> parts;
  components(geom(), &parts);
  return std::move(parts.at(index));
}

void GeometryState::add_parts(const GEOSGeometry* g) {
  commit_pending();
  changed();
  std::vector<GeomPtr> parts;
  switch (type_) {
    case esriGeometryMultipoint:
      extract_dimension(shape(), 0, &parts);
      extract_dimension(g, 0, &parts);
      shape_ = make_collection(GEOS_MULTIPOINT, std::move(parts));
      break;
    case esriGeometryPolyline:
      extract_dimension(shape(), 1, &parts);
      extract_dimension(g, 1, &parts);
      shape_ = lineal(std::move(parts));
      break;
    case esriGeometryPolygon: {
      parts = polygons_of(shape());
      GEOSContextHandle_t h = geos();
      for (auto& p : polygons_of(g)) {
        int holes = GEOSGetNumInteriorRings_r(h, p.get());
        if (holes == 0) {
          add_ring(&parts, geos_clone(GEOSGetExteriorRing_r(h, p.get())));
        } else {
          parts.push_back(std::move(p));
        }
      }
      shape_ = polygonal(std::move(parts));
      break;
    }
    default: win32::throw_hr(E_NOTIMPL, "parts are added only to multipoints, polylines and polygons");
  }
}

const GEOSGeometry* GeometryState::cutter() const {
  if (valid_) return valid_.get();
  const GEOSGeometry* g = geom();
  // The validity test walks every vertex: it is made once, not for every geometry cut.
  if (cutter_is_shape_) return g;
  GEOSContextHandle_t h = geos();
  char valid = GEOSisValid_r(h, g);
  if (valid == 1) {
    cutter_is_shape_ = true;
    return g;
  }
  GeomPtr repaired = geos_checked(GEOSMakeValid_r(h, g), "repair of the cutting polygon");
  std::vector<GeomPtr> polys;
  extract_dimension(repaired.get(), 2, &polys);
  valid_ = polygonal(std::move(polys));
  return valid_.get();
}


const GEOSPreparedGeometry* GeometryState::prepared_cutter() const {
  if (!prepared_) {
    const GEOSPreparedGeometry* p = GEOSPrepare_r(geos(), cutter());
    if (!p) win32::throw_hr(E_FAIL, "GEOS prepare: " + geos_last_error());
    prepared_.reset(p);
  }
  return prepared_.get();
}

int GeometryState::cutter_vertex_count() const {
  if (cutter_vertices_ < 0) cutter_vertices_ = std::max(0, GEOSGetNumCoordinates_r(geos(), cutter()));
  return cutter_vertices_;
}

void GeometryState::changed() {
  cutter_vertices_ = -1;
  cutter_is_shape_ = false;
  prepared_.reset();
  combined_.reset();
  valid_.reset();
  bounds_known_ = false;
}

}  // namespace gis::core

// Intersect of an area (polygon or envelope) with another geometry: the parts of the
// other geometry inside the area, with the other geometry's type.
//
// The area is repaired and prepared once (GeometryState::prepared_cutter) and reused for
// every geometry it cuts. A geometry whose bounds miss the area's bounds, or that the
// prepared area does not intersect, gives the empty result without an overlay; one that
// the area covers is copied whole; only geometries crossing the boundary are overlaid.
//
// A geometry of many vertices that is overlaid leaves memory behind in GEOS: the prepared
// area keeps the index of the last geometry it tested (and the room of the largest) until
// it is destroyed, and the overlay's many small blocks leave free pages inside the heap.
// Before such an overlay the prepared form is dropped (made again for the next geometry);
// during it, memory freed goes back at once (the program otherwise keeps freed pages for a
// moment), and after it the free pages are given back; all cost little beside the overlay.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include <win32/com_error.h>

#include "allocator.h"
#include "geometry_object.h"
#include "geos_parts.h"

namespace gis::core {

namespace {

esriGeometryDimension dimension_of(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint:
    case esriGeometryMultipoint: return esriGeometry0Dimension;
    case esriGeometryPolyline:
    case esriGeometryLine: return esriGeometry1Dimension;
    case esriGeometryPolygon: return esriGeometry2Dimension;
    default: return esriGeometryNoDimension;
  }
}

// A polygon known by its coordinates: a hash of its parts' sizes and of the bits of its
// coordinates, with its vertex count and bounds.
struct Fingerprint {
  uint64_t hash = 0;
  int vertices = 0;
  double bounds[4] = {0, 0, 0, 0};
  bool operator==(const Fingerprint& o) const {
    return hash == o.hash && vertices == o.vertices && std::memcmp(bounds, o.bounds, sizeof bounds) == 0;
  }
};

struct FingerprintHash {
  size_t operator()(const Fingerprint& f) const { return static_cast<size_t>(f.hash); }
};

class Fingerprinter {
 public:
  void add(uint64_t word) {
    hash_ ^= word * 0x9e3779b97f4a7c15ULL;
    hash_ = ((hash_ << 31) | (hash_ >> 33)) * 0xbf58476d1ce4e5b9ULL;
  }
  void add(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    add(bits);
  }
  uint64_t hash() const {
    uint64_t z = hash_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

 private:
  uint64_t hash_ = 0x243f6a8885a308d3ULL;
};

// The fingerprint of a polygon or multipolygon; false when GEOS cannot say its parts.
bool fingerprint(const GEOSGeometry* g, Fingerprint* f) {
  GEOSContextHandle_t h = geos();
  thread_local std::vector<double> xy;
  Fingerprinter hash;
  const int polygons = GEOSGetNumGeometries_r(h, g);
  if (polygons < 0) return false;
  hash.add(static_cast<uint64_t>(polygons));
  for (int i = 0; i < polygons; ++i) {
    const GEOSGeometry* polygon = GEOSGetGeometryN_r(h, g, i);
    const int holes = polygon ? GEOSGetNumInteriorRings_r(h, polygon) : -1;
    if (holes < 0) return false;
    hash.add(static_cast<uint64_t>(holes));
    for (int r = -1; r < holes; ++r) {
      const GEOSGeometry* ring = r < 0 ? GEOSGetExteriorRing_r(h, polygon) : GEOSGetInteriorRingN_r(h, polygon, r);
      const GEOSCoordSequence* seq = ring ? GEOSGeom_getCoordSeq_r(h, ring) : nullptr;
      unsigned size = 0;
      if (!seq || !GEOSCoordSeq_getSize_r(h, seq, &size)) return false;
      hash.add(static_cast<uint64_t>(size));
      xy.resize(2 * static_cast<size_t>(size));
      if (size > 0 && !GEOSCoordSeq_copyToBuffer_r(h, seq, xy.data(), 0, 0)) return false;
      for (double v : xy) hash.add(v);
      f->vertices += static_cast<int>(size);
    }
  }
  if (f->vertices > 0 && (!GEOSGeom_getXMin_r(h, g, &f->bounds[0]) || !GEOSGeom_getYMin_r(h, g, &f->bounds[1]) ||
                          !GEOSGeom_getXMax_r(h, g, &f->bounds[2]) || !GEOSGeom_getYMax_r(h, g, &f->bounds[3])))
    return false;
  f->hash = hash.hash();
  return true;
}

// Whether the polygons met lately were valid. A series of cuts meets a polygon again on
// every sheet it lies on, and GEOS's validity test of a polygon of several parts (which
// looks for shells inside shells) costs about as much as its cut by a sheet. Per thread,
// at most kValidityKept polygons, forgotten all at once when full.
constexpr size_t kValidityKept = 4096;

class ValidityMemo {
 public:
  // 1 valid, 0 invalid, -1 not met lately.
  int find(const Fingerprint& f) const {
    auto it = known_.find(f);
    return it == known_.end() ? -1 : it->second ? 1 : 0;
  }
  void add(const Fingerprint& f, bool valid) {
    if (known_.size() >= kValidityKept) known_.clear();
    known_.emplace(f, valid);
  }

 private:
  std::unordered_map<Fingerprint, bool, FingerprintHash> known_;
};

bool is_valid_polygon(const GEOSGeometry* g) {
  if (surely_valid_polygon(g)) return true;
  thread_local ValidityMemo memo;
  Fingerprint f;
  const bool known = fingerprint(g, &f);
  const int found = known ? memo.find(f) : -1;
  if (found >= 0) return found == 1;
  const bool valid = GEOSisValid_r(geos(), g) == 1;
  if (known) memo.add(f, valid);
  return valid;
}

// The polygonal part of g (repaired when g is invalid); g itself when it is valid.
const GEOSGeometry* valid_polygonal(const GEOSGeometry* g, GeomPtr* holder) {
  GEOSContextHandle_t h = geos();
  if (is_valid_polygon(g)) return g;
  GeomPtr repaired = geos_checked(GEOSMakeValid_r(h, g), "repair of a polygon");
  std::vector<GeomPtr> polys;
  extract_dimension(repaired.get(), 2, &polys);
  if (polys.empty()) {
    *holder = geos_empty(GEOS_POLYGON);
  } else if (polys.size() == 1) {
    *holder = std::move(polys.front());
  } else {
    *holder = make_collection(GEOS_MULTIPOLYGON, std::move(polys));
  }
  return holder->get();
}

GeomPtr overlay(const GEOSGeometry* area, const GEOSGeometry* g, int dim) {
  GEOSContextHandle_t h = geos();
  GeomPtr r(GEOSIntersection_r(h, area, g));
  if (!r && dim == 1) {
    // An invalid line (for example one with a single repeated vertex) gets one retry in
    // repaired form.
    GeomPtr repaired = geos_checked(GEOSMakeValid_r(h, g), "repair of a line");
    r.reset(GEOSIntersection_r(h, area, repaired.get()));
  }
  if (!r) geos_checked(nullptr, "GEOS intersection");
  std::vector<GeomPtr> parts;
  extract_dimension(r.get(), dim, &parts);
  if (parts.empty()) return nullptr;
  if (parts.size() == 1) return std::move(parts.front());
  return make_collection(dim == 2 ? GEOS_MULTIPOLYGON : GEOS_MULTILINESTRING, std::move(parts));
}

// A cutter with many vertices is first cut down to the neighbourhood of the geometry it
// cuts, so that the overlay walks only the cutter's edges near the geometry. The result is
// the same as with the whole cutter: the geometry lies inside that neighbourhood, whose
// border keeps a margin from it. An eighth of the geometry's size is margin enough (the
// rectangle's cut may leave the cutter invalid only along the rectangle's border) and
// keeps the neighbourhood small: with the geometry's whole size on every side, a cutter of
// 20,000 vertices brought some 2.4 times the edges into each overlay, which then took twice
// the time.
constexpr int kLocalCutterVertices = 256;

GeomPtr local_cutter(const GeometryState& cutter, const GEOSGeometry* g) {
  GEOSContextHandle_t h = geos();
  double xmin, ymin, xmax, ymax;
  if (!GEOSGeom_getXMin_r(h, g, &xmin) || !GEOSGeom_getYMin_r(h, g, &ymin) || !GEOSGeom_getXMax_r(h, g, &xmax) ||
      !GEOSGeom_getYMax_r(h, g, &ymax))
    return nullptr;
  const double magnitude = std::max({std::fabs(xmin), std::fabs(xmax), std::fabs(ymin), std::fabs(ymax), 1.0});
  const double margin = std::max({(xmax - xmin) / 8, (ymax - ymin) / 8, 1e-9 * magnitude});
  GeomPtr local(GEOSClipByRect_r(h, cutter.cutter(), xmin - margin, ymin - margin, xmax + margin, ymax + margin));
  if (!local || GEOSisEmpty_r(h, local.get())) return nullptr;
  return local;
}

// The overlay of g with the cutter, or with its neighbourhood of g for a large cutter.
GeomPtr cut(const GeometryState& cutter, const GEOSGeometry* g, int dim) {
  if (cutter.cutter_vertex_count() > kLocalCutterVertices) {
    if (GeomPtr local = local_cutter(cutter, g)) return overlay(local.get(), g, dim);
  }
  return overlay(cutter.cutter(), g, dim);
}

// Vertex count from which a geometry counts as large, for the memory GEOS keeps after it.
constexpr int kLargeShapeVertices = 4096;

// Frees what the overlay of a large geometry leaves behind in GEOS: the prepared area's
// index of it before the overlay (whose peak it would add to), the heap's free pages at
// the end of the clip. Geometries that are not overlaid keep the prepared area as it is.
class LargeShapeCleanup {
 public:
  LargeShapeCleanup(const GeometryState& cutter, const GEOSGeometry* g)
      : cutter_(cutter), large_(GEOSGetNumCoordinates_r(geos(), g) > kLargeShapeVertices) {}
  // The prepared tests are done and the geometry will be overlaid.
  void before_overlay() {
    if (!large_) return;
    cutter_.release_prepared_cutter();
    immediate_.emplace();
    overlaid_ = true;
  }
  ~LargeShapeCleanup() {
    if (overlaid_) release_free_memory();
  }
  LargeShapeCleanup(const LargeShapeCleanup&) = delete;
  LargeShapeCleanup& operator=(const LargeShapeCleanup&) = delete;

 private:
  const GeometryState& cutter_;
  bool large_;
  bool overlaid_ = false;
  std::optional<ImmediateRelease> immediate_;  // the overlay's blocks go back as freed
};

bool prepared_test(char r, const char* what) {
  if (r == 2) win32::throw_hr(E_FAIL, std::string(what) + ": " + geos_last_error());
  return r == 1;
}

// The clipped shape of other; null for the empty result.
GeomPtr clip(const GeometryState& cutter, const GeometryState& other) {
  Bounds cb, ob;
  if (!cutter.bounds(&cb) || !other.bounds(&ob) || !cb.intersects(ob)) return nullptr;
  GEOSContextHandle_t h = geos();
  const GEOSPreparedGeometry* prepared = cutter.prepared_cutter();
  const GEOSGeometry* g = other.geom();
  switch (other.type()) {
    case esriGeometryPoint:
      if (prepared_test(GEOSPreparedCovers_r(h, prepared, g), "GEOS covers")) return geos_clone(g);
      return nullptr;
    case esriGeometryMultipoint: {
      std::vector<GeomPtr> inside;
      int n = GEOSGetNumGeometries_r(h, g);
      for (int i = 0; i < n; ++i) {
        const GEOSGeometry* p = GEOSGetGeometryN_r(h, g, i);
        if (prepared_test(GEOSPreparedCovers_r(h, prepared, p), "GEOS covers")) inside.push_back(geos_clone(p));
      }
      if (inside.empty()) return nullptr;
      return make_collection(GEOS_MULTIPOINT, std::move(inside));
    }
    case esriGeometryPolyline:
    case esriGeometryLine: {
      LargeShapeCleanup cleanup(cutter, g);
      // "Contains properly" never needs the full topology of the cutter, unlike "covers";
      // a geometry touching the border from inside goes through the (local) overlay.
      if (prepared_test(GEOSPreparedContainsProperly_r(h, prepared, g), "GEOS contains")) return geos_clone(g);
      if (!prepared_test(GEOSPreparedIntersects_r(h, prepared, g), "GEOS intersects")) return nullptr;
      cleanup.before_overlay();
      return cut(cutter, g, 1);
    }
    case esriGeometryPolygon: {
      LargeShapeCleanup cleanup(cutter, g);
      GeomPtr repaired;
      g = valid_polygonal(g, &repaired);
      if (GEOSisEmpty_r(h, g)) return nullptr;
      if (prepared_test(GEOSPreparedContainsProperly_r(h, prepared, g), "GEOS contains")) return geos_clone(g);
      if (!prepared_test(GEOSPreparedIntersects_r(h, prepared, g), "GEOS intersects")) return nullptr;
      // The cutting feature itself, met in its own layer: an overlay of a large polygon
      // with itself costs seconds and gives the polygon.
      if (GEOSEqualsExact_r(h, cutter.cutter(), g, 0.0) == 1) return geos_clone(g);
      cleanup.before_overlay();
      return cut(cutter, g, 2);
    }
    default: return nullptr;
  }
}

}  // namespace

HRESULT intersect(const GeometryState& cutter, IGeometry* other, esriGeometryDimension dimension,
                  IGeometry** result) {
  if (!other) return E_POINTER;
  const GeometryState* o = state_of(other);
  if (!o) win32::throw_hr(E_INVALIDARG, "Intersect: the geometry was not made by this library");
  esriGeometryDimension wanted = dimension_of(o->type());
  if (wanted == esriGeometryNoDimension)
    win32::throw_hr(E_INVALIDARG, "Intersect: geometry type " + std::to_string(o->type()) + " cannot be intersected");
  if (dimension != wanted)
    win32::throw_hr(E_INVALIDARG, "Intersect: dimension " + std::to_string(dimension) +
                                      " does not fit geometry type " + std::to_string(o->type()));
  esriGeometryType type = o->type() == esriGeometryLine ? esriGeometryPolyline : o->type();
  GeomPtr r;
  if (!cutter.is_empty() && !o->is_empty()) r = clip(cutter, *o);
  *result = make_geometry(type, std::move(r), o->sr()).detach();
  return S_OK;
}

}  // namespace gis::core

// GEOS through its reentrant C API: one context handle per thread, owning pointers for
// geometries and prepared geometries, and the error text of the last failed call.
#pragma once

#include <geos_c.h>

#include <memory>
#include <string>
#include <string_view>

namespace gis::core {

// The calling thread's GEOS context, created on first use and finished with the thread.
GEOSContextHandle_t geos();

// The message of the last GEOS error or notice on this thread ("" when none).
const std::string& geos_last_error();

struct GeomDeleter {
  void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(geos(), g); }
};
using GeomPtr = std::unique_ptr<GEOSGeometry, GeomDeleter>;

struct PreparedDeleter {
  void operator()(const GEOSPreparedGeometry* p) const { GEOSPreparedGeom_destroy_r(geos(), p); }
};
using PreparedPtr = std::unique_ptr<const GEOSPreparedGeometry, PreparedDeleter>;

// Takes ownership of a geometry a GEOS call returned; throws ComError with the GEOS
// message (what names the operation) when the call failed and returned null.
GeomPtr geos_checked(GEOSGeometry* g, const char* what);
// An owned copy.
GeomPtr geos_clone(const GEOSGeometry* g);

// Readers and writers (thread's own instances, reused).
GeomPtr geos_from_wkt(std::string_view wkt);
std::string geos_to_wkt(const GEOSGeometry* g);
GeomPtr geos_from_wkb(const unsigned char* wkb, size_t size);
// WKB of g into the thread's buffer; valid until the next call on this thread.
std::basic_string_view<unsigned char> geos_to_wkb(const GEOSGeometry* g);

// Empty geometries of each GEOS kind.
GeomPtr geos_empty(int geos_type_id);

// Axis-aligned bounds; false for an empty geometry.
struct Bounds {
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  bool intersects(const Bounds& o) const { return xmin <= o.xmax && o.xmin <= xmax && ymin <= o.ymax && o.ymin <= ymax; }
  bool contains(const Bounds& o) const { return xmin <= o.xmin && o.xmax <= xmax && ymin <= o.ymin && o.ymax <= ymax; }
};
bool geos_bounds(const GEOSGeometry* g, Bounds* b);

}  // namespace gis::core

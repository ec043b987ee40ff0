// Building and taking apart GEOS geometries: lines and rings from coordinate buffers,
// collections from parts, and the parts of a given dimension inside any geometry.
#pragma once

#include <vector>

#include "geos_support.h"

namespace gis::core {

// A line through the points of xy (x0 y0 x1 y1 ...).
GeomPtr make_line(const double* xy, size_t points);
// A ring through the points of xy, closed when the last point differs from the first.
GeomPtr make_ring(const double* xy, size_t points);
GeomPtr make_point(double x, double y);
// A collection of GEOS type id type_id taking ownership of the parts.
GeomPtr make_collection(int type_id, std::vector<GeomPtr> parts);
// A polygon from a shell and holes (taken over).
GeomPtr make_polygon(GeomPtr shell, std::vector<GeomPtr> holes);

// Copies of the simple components of g (points, lines, polygons; collections unpacked)
// whose dimension is dim (0, 1 or 2).
void extract_dimension(const GEOSGeometry* g, int dim, std::vector<GeomPtr>* out);
// Copies of the direct components of g (g itself for a simple geometry).
void components(const GEOSGeometry* g, std::vector<GeomPtr>* out);
// The coordinates of a line or ring appended to xy.
void append_coords(const GEOSGeometry* line, std::vector<double>* xy);
// Signed orientation of a ring: true when counter-clockwise.
bool ring_is_ccw(const GEOSGeometry* ring);
// True when g is surely a valid polygon by a quick test: one shell of at most
// kQuickValidVertices finite points, no holes, no repeated or collinear consecutive points,
// and no two edges meeting except consecutive ones at their shared point. False says only
// that the quick test cannot tell; GEOSisValid decides then.
constexpr size_t kQuickValidVertices = 64;
bool surely_valid_polygon(const GEOSGeometry* g);

}  // namespace gis::core

// GeometryState: what every core geometry object holds. The shape lives in one GEOS
// geometry whose kind follows the object's type (point: Point; multipoint: MultiPoint;
// polyline: LineString or MultiLineString; polygon: Polygon or MultiPolygon; line: a
// two-point LineString; envelope: a rectangle Polygon; multipatch: none). Caches derived
// from the shape (bounds, the repaired and prepared form used when it cuts other shapes)
// are built on first use and dropped whenever the shape changes.
#pragma once

#include <vector>

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "geos_support.h"

namespace gis::core {

class GeometryState {
 public:
  explicit GeometryState(esriGeometryType type);

  esriGeometryType type() const { return type_; }
  esriGeometryDimension dimension() const;

  // The shape, never null (an empty geometry of the right kind when there is nothing).
  const GEOSGeometry* geom() const;
  // Replaces the shape; g is converted to the kind this type holds (a single point for a
  // multipoint, a line for a polyline...). Throws ComError E_INVALIDARG when g cannot be
  // held by this type.
  void set(GeomPtr g);
  void set_empty();
  bool is_empty() const;

  ISpatialReference* sr() const { return sr_.get(); }
  void set_sr(ISpatialReference* sr) { sr_ = win32::ComPtr<ISpatialReference>(sr); }

  // Bounds of the shape; false when empty.
  bool bounds(Bounds* b) const;

  // Vertices in order (for polygons: each polygon's shell, then its holes).
  void coords(std::vector<double>* xy) const;
  // Appends a vertex to the part being built (the last path or ring). A ring is closed
  // when read; a part with too few vertices to stand alone is held back until it has them.
  void add_vertex(double x, double y);
  // Ends the part being built; the next vertex starts a new one.
  void close_part();
  size_t part_count() const;
  // Part i as a stand-alone GEOS geometry: a point, a line, or a one-ring polygon.
  GeomPtr part(size_t i) const;
  // Appends the parts of g (points, lines or polygons as this type holds them).
  void add_parts(const GEOSGeometry* g);

  // The shape as a cutter: repaired when invalid, with its prepared form. Built once.
  const GEOSGeometry* cutter() const;
  const GEOSPreparedGeometry* prepared_cutter() const;
  // Drops the prepared form (built again on next use) with what GEOS keeps in it from the
  // geometries it tested.
  void release_prepared_cutter() const { prepared_.reset(); }
  // Number of vertices of the cutter form. Counted once.
  int cutter_vertex_count() const;
  // Tells that the shape is a valid area as it stands (one built valid): it is its own
  // cutter, without the validity test. Undone by any change.
  void known_valid() const { cutter_is_shape_ = true; }

 private:
  // The committed parts; an empty geometry of this type's kind when there are none.
  const GEOSGeometry* shape() const;
  void changed();
  void commit_pending();

  esriGeometryType type_;
  // The committed parts.
  // Null for an empty shape until one is asked for (most results of a cut are empty).
  mutable GeomPtr shape_;
  win32::ComPtr<ISpatialReference> sr_;
  // Vertices of the part under construction, not yet in shape_.
  std::vector<double> pending_;
  // shape_ with the part under construction, while there is one.
  mutable GeomPtr combined_;
  mutable bool bounds_known_ = false;
  mutable bool bounds_empty_ = true;
  mutable Bounds bounds_;
  mutable GeomPtr valid_;
  mutable PreparedPtr prepared_;
  mutable int cutter_vertices_ = -1;
  // The shape was found valid: it is its own cutter.
  mutable bool cutter_is_shape_ = false;
};

// Converts g into the GEOS kind that a geometry of the given type holds; throws ComError
// E_INVALIDARG when the kinds do not fit (a polygon for a polyline, for example).
GeomPtr coerce_geometry(esriGeometryType type, GeomPtr g);

}  // namespace gis::core

// Geometry: spatial references, shapes and the topological operator.
#pragma once

#include "esri_enums.h"
#include "esri_ids.h"

struct ISpatialReference : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
  // EPSG code, 0 when the system has none.
  virtual HRESULT STDMETHODCALLTYPE get_FactoryCode(LONG* code) = 0;
  // Well-known text of the system.
  virtual HRESULT STDMETHODCALLTYPE ExportToESRISpatialReference(BSTR* wkt, LONG* bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsSame(ISpatialReference* other, VARIANT_BOOL* same) = 0;
};

struct IEnvelope;

struct IGeometry : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_GeometryType(esriGeometryType* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Dimension(esriGeometryDimension* dimension) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsEmpty(VARIANT_BOOL* empty) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEmpty() = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Envelope(IEnvelope** envelope) = 0;
  // Transforms the coordinates in place into sr; a geometry without a spatial reference
  // only takes sr.
  virtual HRESULT STDMETHODCALLTYPE Project(ISpatialReference* sr) = 0;
};

struct IEnvelope : IGeometry {
  using base_interface = IGeometry;
  virtual HRESULT STDMETHODCALLTYPE get_XMin(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_YMin(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_XMax(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_YMax(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Width(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Height(double* v) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutCoords(double xmin, double ymin, double xmax, double ymax) = 0;
};

struct IPoint : IGeometry {
  using base_interface = IGeometry;
  virtual HRESULT STDMETHODCALLTYPE get_X(double* x) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_X(double x) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Y(double* y) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Y(double y) = 0;
  virtual HRESULT STDMETHODCALLTYPE PutCoords(double x, double y) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryCoords(double* x, double* y) = 0;
};

// The vertices of a multipoint, polyline or polygon, in order.
struct IPointCollection : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_PointCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Point(LONG index, IPoint** point) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPoint(IPoint* point, VARIANT* before, VARIANT* after) = 0;
};

// The parts of a multi-part geometry (points, paths, rings).
struct IGeometryCollection : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_GeometryCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Geometry(LONG index, IGeometry** part) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddGeometry(IGeometry* part, VARIANT* before, VARIANT* after) = 0;
};

struct ICurve : IGeometry {
  using base_interface = IGeometry;
  virtual HRESULT STDMETHODCALLTYPE get_Length(double* length) = 0;
};

struct IPolycurve : ICurve {
  using base_interface = ICurve;
};

struct IPolyline : IPolycurve {
  using base_interface = IPolycurve;
};

struct IPolygon : IPolycurve {
  using base_interface = IPolycurve;
  virtual HRESULT STDMETHODCALLTYPE get_ExteriorRingCount(LONG* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct ILine : ICurve {
  using base_interface = ICurve;
  virtual HRESULT STDMETHODCALLTYPE PutCoords(IPoint* from, IPoint* to) = 0;
};

struct IMultipoint : IGeometry {
  using base_interface = IGeometry;
};

struct IMultiPatch : IGeometry {
  using base_interface = IGeometry;
};

struct IArea : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Area(double* area) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Centroid(IPoint** centroid) = 0;
};

struct ITopologicalOperator : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_IsKnownSimple(VARIANT_BOOL* simple) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsSimple(VARIANT_BOOL* simple) = 0;
  virtual HRESULT STDMETHODCALLTYPE Simplify() = 0;
  // The parts of other that lie inside this geometry, of the given dimension.
  virtual HRESULT STDMETHODCALLTYPE Intersect(IGeometry* other, esriGeometryDimension dimension,
                                              IGeometry** result) = 0;
};

// The COM faces of the core geometries. GeometryObject implements IGeometry over a
// GeometryState; the mixins add the interfaces that only some types answer (ICurve,
// IArea, the point and part collections, ITopologicalOperator). A concrete class stacks
// what its type needs, for example
//   class Polygon : public CurveMixin<GeometryObject<Polygon, IPolygon, ...>>.
#pragma once

#include <win32/com_error.h>
#include <win32/com_object.h>

#include "geometry.h"
#include "geos_parts.h"

namespace gis::core {

// Transforms the shape of g into sr in place (spatial_reference.cpp).
void project_state(GeometryState& g, ISpatialReference* sr);
// The envelope in the system `to` of the rectangle box {xmin, ymin, xmax, ymax} given in
// `from`, its edges followed so that a curved image is covered; false when either system is
// not this library's or there is no transformation between them (box unchanged).
bool project_box(ISpatialReference* from, ISpatialReference* to, double box[4]);
// The parts of other inside the area of cutter, of the given dimension (clip.cpp).
HRESULT intersect(const GeometryState& cutter, IGeometry* other, esriGeometryDimension dimension,
                  IGeometry** result);

template <class Derived, class... Interfaces>
class GeometryObject : public win32::ComObject<Derived, Interfaces..., ICoreGeometry> {
 public:
  explicit GeometryObject(esriGeometryType type) : state_(type) {}

  GeometryState& state() override { return state_; }

  HRESULT STDMETHODCALLTYPE get_GeometryType(esriGeometryType* type) override {
    if (!type) return E_POINTER;
    *type = state_.type();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Dimension(esriGeometryDimension* dimension) override {
    if (!dimension) return E_POINTER;
    *dimension = state_.dimension();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_SpatialReference(ISpatialReference** sr) override {
    if (!sr) return E_POINTER;
    *sr = state_.sr();
    if (*sr) (*sr)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_SpatialReference(ISpatialReference* sr) override {
    state_.set_sr(sr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsEmpty(VARIANT_BOOL* empty) override {
    if (!empty) return E_POINTER;
    *empty = VARIANT_TRUE;
    return win32::com_guard([&] {
      *empty = state_.is_empty() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE SetEmpty() override {
    return win32::com_guard([&] {
      state_.set_empty();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Envelope(IEnvelope** envelope) override {
    if (!envelope) return E_POINTER;
    *envelope = nullptr;
    return win32::com_guard([&] {
      win32::ComPtr<IGeometry> e = make_geometry(esriGeometryEnvelope);
      Bounds b;
      if (state_.bounds(&b)) {
        e.as<IEnvelope>()->PutCoords(b.xmin, b.ymin, b.xmax, b.ymax);
      }
      e->putref_SpatialReference(state_.sr());
      *envelope = e.as<IEnvelope>().detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Project(ISpatialReference* sr) override {
    return win32::com_guard([&] {
      project_state(state_, sr);
      return S_OK;
    });
  }

 protected:
  GeometryState state_;
};

// ICurve: the length of lines, the perimeter of areas.
template <class Base>
class CurveMixin : public Base {
 public:
  using Base::Base;
  HRESULT STDMETHODCALLTYPE get_Length(double* length) override {
    if (!length) return E_POINTER;
    *length = 0;
    return win32::com_guard([&] {
      if (!this->state_.is_empty() && !GEOSLength_r(geos(), this->state_.geom(), length))
        win32::throw_hr(E_FAIL, "GEOS length: " + geos_last_error());
      return S_OK;
    });
  }
};

// IArea.
template <class Base>
class AreaMixin : public Base {
 public:
  using Base::Base;
  HRESULT STDMETHODCALLTYPE get_Area(double* area) override {
    if (!area) return E_POINTER;
    *area = 0;
    return win32::com_guard([&] {
      if (!this->state_.is_empty() && !GEOSArea_r(geos(), this->state_.geom(), area))
        win32::throw_hr(E_FAIL, "GEOS area: " + geos_last_error());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Centroid(IPoint** centroid) override {
    if (!centroid) return E_POINTER;
    *centroid = nullptr;
    return win32::com_guard([&] {
      GeomPtr c = geos_checked(GEOSGetCentroid_r(geos(), this->state_.geom()), "GEOS centroid");
      *centroid = make_geometry(esriGeometryPoint, std::move(c), this->state_.sr()).template as<IPoint>().detach();
      return S_OK;
    });
  }
};

// IPointCollection and IGeometryCollection of multipoints, polylines and polygons.
template <class Base>
class PartsMixin : public Base {
 public:
  using Base::Base;
  HRESULT STDMETHODCALLTYPE get_PointCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return win32::com_guard([&] {
      std::vector<double> xy;
      this->state_.coords(&xy);
      *count = static_cast<LONG>(xy.size() / 2);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Point(LONG index, IPoint** point) override {
    if (!point) return E_POINTER;
    *point = nullptr;
    return win32::com_guard([&] {
      std::vector<double> xy;
      this->state_.coords(&xy);
      if (index < 0 || size_t(index) >= xy.size() / 2) return E_INVALIDARG;
      GeomPtr p = make_point(xy[2 * index], xy[2 * index + 1]);
      *point = make_geometry(esriGeometryPoint, std::move(p), this->state_.sr()).template as<IPoint>().detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE AddPoint(IPoint* point, VARIANT* before, VARIANT* after) override {
    if (!point) return E_POINTER;
    if ((before && before->vt != VT_EMPTY && before->vt != VT_ERROR) ||
        (after && after->vt != VT_EMPTY && after->vt != VT_ERROR))
      return E_NOTIMPL;  // points are only appended
    return win32::com_guard([&] {
      double x = 0, y = 0;
      HRESULT hr = point->QueryCoords(&x, &y);
      if (FAILED(hr)) return hr;
      this->state_.add_vertex(x, y);
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_GeometryCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return win32::com_guard([&] {
      *count = static_cast<LONG>(this->state_.part_count());
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE get_Geometry(LONG index, IGeometry** part) override {
    if (!part) return E_POINTER;
    *part = nullptr;
    return win32::com_guard([&] {
      if (index < 0 || size_t(index) >= this->state_.part_count()) return E_INVALIDARG;
      esriGeometryType t = this->state_.type() == esriGeometryMultipoint ? esriGeometryPoint : this->state_.type();
      *part = make_geometry(t, this->state_.part(size_t(index)), this->state_.sr()).detach();
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE AddGeometry(IGeometry* part, VARIANT* before, VARIANT* after) override {
    if (!part) return E_POINTER;
    if ((before && before->vt != VT_EMPTY && before->vt != VT_ERROR) ||
        (after && after->vt != VT_EMPTY && after->vt != VT_ERROR))
      return E_NOTIMPL;  // parts are only appended
    return win32::com_guard([&] {
      GeometryState* s = state_of(part);
      if (!s) return E_INVALIDARG;
      this->state_.add_parts(s->geom());
      return S_OK;
    });
  }
};

// ITopologicalOperator of areas (polygons, envelopes): Intersect cuts other geometries.
template <class Base>
class TopologicalMixin : public Base {
 public:
  using Base::Base;
  HRESULT STDMETHODCALLTYPE get_IsKnownSimple(VARIANT_BOOL* simple) override {
    if (!simple) return E_POINTER;
    *simple = VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsSimple(VARIANT_BOOL* simple) override {
    if (!simple) return E_POINTER;
    *simple = VARIANT_FALSE;
    return win32::com_guard([&] {
      *simple = this->state_.is_empty() || GEOSisValid_r(geos(), this->state_.geom()) == 1 ? VARIANT_TRUE
                                                                                           : VARIANT_FALSE;
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Simplify() override {
    return win32::com_guard([&] {
      if (!this->state_.is_empty()) this->state_.set(geos_clone(this->state_.cutter()));
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Intersect(IGeometry* other, esriGeometryDimension dimension, IGeometry** result) override {
    if (!result) return E_POINTER;
    *result = nullptr;
    return win32::com_guard([&] { return intersect(this->state_, other, dimension, result); });
  }
};

}  // namespace gis::core

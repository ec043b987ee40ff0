// The concrete geometry classes and their creation.
#include <utility>


#include "geometry_object.h"
#include "registration.h"
#include "geos_parts.h"

namespace gis::core {

namespace {

class Point final : public GeometryObject<Point, IPoint> {
 public:
  Point() : GeometryObject(esriGeometryPoint) {}

  HRESULT STDMETHODCALLTYPE get_X(double* x) override {
    double y;
    return QueryCoords(x, &y);
  }
  HRESULT STDMETHODCALLTYPE get_Y(double* y) override {
    double x;
    return QueryCoords(&x, y);
  }
  HRESULT STDMETHODCALLTYPE put_X(double x) override {
    return win32::com_guard([&] {
      double ox = 0, oy = 0;
      coords(&ox, &oy);
      return PutCoords(x, oy);
    });
  }
  HRESULT STDMETHODCALLTYPE put_Y(double y) override {
    return win32::com_guard([&] {
      double ox = 0, oy = 0;
      coords(&ox, &oy);
      return PutCoords(ox, y);
    });
  }
  HRESULT STDMETHODCALLTYPE PutCoords(double x, double y) override {
    return win32::com_guard([&] {
      state_.set(make_point(x, y));
      return S_OK;
    });
  }
  // An empty point answers its coordinates as 0 with S_FALSE.
  HRESULT STDMETHODCALLTYPE QueryCoords(double* x, double* y) override {
    if (!x || !y) return E_POINTER;
    *x = *y = 0;
    return win32::com_guard([&] { return coords(x, y) ? S_OK : S_FALSE; });
  }

 private:
  bool coords(double* x, double* y) {
    if (state_.is_empty()) return false;
    return GEOSGeomGetX_r(geos(), state_.geom(), x) && GEOSGeomGetY_r(geos(), state_.geom(), y);
  }
};

class Multipoint final
    : public PartsMixin<GeometryObject<Multipoint, IMultipoint, IPointCollection, IGeometryCollection>> {
 public:
  Multipoint() : PartsMixin(esriGeometryMultipoint) {}
};

class Polyline final
    : public CurveMixin<PartsMixin<GeometryObject<Polyline, IPolyline, IPointCollection, IGeometryCollection>>> {
 public:
  Polyline() : CurveMixin(esriGeometryPolyline) {}
};

class Polygon final
    : public TopologicalMixin<AreaMixin<CurveMixin<PartsMixin<GeometryObject<
          Polygon, IPolygon, IArea, IPointCollection, IGeometryCollection, ITopologicalOperator>>>>> {
 public:
  Polygon() : TopologicalMixin(esriGeometryPolygon) {}

  HRESULT STDMETHODCALLTYPE get_ExteriorRingCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return win32::com_guard([&] {
      if (!state_.is_empty()) {
        int id = GEOSGeomTypeId_r(geos(), state_.geom());
        *count = id == GEOS_MULTIPOLYGON ? GEOSGetNumGeometries_r(geos(), state_.geom()) : 1;
      }
      return S_OK;
    });
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    return win32::com_guard([&] {
      state_.close_part();
      return S_OK;
    });
  }
};

class Line final : public CurveMixin<GeometryObject<Line, ILine>> {
 public:
  Line() : CurveMixin(esriGeometryLine) {}

  HRESULT STDMETHODCALLTYPE PutCoords(IPoint* from, IPoint* to) override {
    if (!from || !to) return E_POINTER;
    return win32::com_guard([&] {
      double xy[4];
      HRESULT hr = from->QueryCoords(&xy[0], &xy[1]);
      if (hr == S_OK) hr = to->QueryCoords(&xy[2], &xy[3]);
      if (hr != S_OK) return E_INVALIDARG;
      state_.set(make_line(xy, 2));
      return S_OK;
    });
  }
};

class Envelope final
    : public TopologicalMixin<AreaMixin<GeometryObject<Envelope, IEnvelope, IArea, ITopologicalOperator>>> {
 public:
  Envelope() : TopologicalMixin(esriGeometryEnvelope) {}

  HRESULT STDMETHODCALLTYPE get_XMin(double* v) override { return read(v, [](const Bounds& b) { return b.xmin; }); }
  HRESULT STDMETHODCALLTYPE get_YMin(double* v) override { return read(v, [](const Bounds& b) { return b.ymin; }); }
  HRESULT STDMETHODCALLTYPE get_XMax(double* v) override { return read(v, [](const Bounds& b) { return b.xmax; }); }
  HRESULT STDMETHODCALLTYPE get_YMax(double* v) override { return read(v, [](const Bounds& b) { return b.ymax; }); }
  HRESULT STDMETHODCALLTYPE get_Width(double* v) override {
    return read(v, [](const Bounds& b) { return b.xmax - b.xmin; });
  }
  HRESULT STDMETHODCALLTYPE get_Height(double* v) override {
    return read(v, [](const Bounds& b) { return b.ymax - b.ymin; });
  }
  HRESULT STDMETHODCALLTYPE PutCoords(double xmin, double ymin, double xmax, double ymax) override {
    return win32::com_guard([&] {
      if (xmin > xmax) std::swap(xmin, xmax);
      if (ymin > ymax) std::swap(ymin, ymax);
      state_.set(geos_checked(GEOSGeom_createRectangle_r(geos(), xmin, ymin, xmax, ymax), "rectangle"));
      return S_OK;
    });
  }

 private:
  // An empty envelope answers 0 with S_FALSE.
  template <class F>
  HRESULT read(double* v, F f) {
    if (!v) return E_POINTER;
    *v = 0;
    return win32::com_guard([&] {
      Bounds b;
      if (!state_.bounds(&b)) return S_FALSE;
      *v = f(b);
      return S_OK;
    });
  }
};

// A multipatch carries no planar shape here; it exists so that its type can be met and
// refused where only planar types are accepted.
class MultiPatch final : public GeometryObject<MultiPatch, IMultiPatch> {
 public:
  MultiPatch() : GeometryObject(esriGeometryMultiPatch) {}
};

}  // namespace

win32::ComPtr<IGeometry> make_geometry(esriGeometryType type) {
  switch (type) {
    case esriGeometryPoint: return Point::make();
    case esriGeometryMultipoint: return Multipoint::make();
    case esriGeometryPolyline: return Polyline::make();
    case esriGeometryPolygon: return Polygon::make();
    case esriGeometryLine: return Line::make();
    case esriGeometryEnvelope: return Envelope::make();
    case esriGeometryMultiPatch: return MultiPatch::make();
    default: win32::throw_hr(E_INVALIDARG, "geometry type " + std::to_string(type) + " is not supported");
  }
}

win32::ComPtr<IGeometry> make_geometry(esriGeometryType type, GeomPtr g, ISpatialReference* sr) {
  win32::ComPtr<IGeometry> out = make_geometry(type);
  GeometryState& s = *state_of(out.get());
  if (g) s.set(std::move(g));  // none: empty
  s.set_sr(sr);
  return out;
}

GeometryState* state_of(IUnknown* geometry) {
  if (!geometry) return nullptr;
  ICoreGeometry* core = nullptr;
  if (FAILED(geometry->QueryInterface(IID_ICoreGeometry, reinterpret_cast<void**>(&core))) || !core) return nullptr;
  GeometryState* s = &core->state();
  core->Release();  // the caller holds the object
  return s;
}

win32::ComPtr<IGeometry> copy_geometry(const GeometryState& g) {
  if (g.type() == esriGeometryMultiPatch) return make_geometry(esriGeometryMultiPatch);
  win32::ComPtr<IGeometry> out = make_geometry(g.type(), geos_clone(g.geom()), g.sr());
  return out;
}

void register_geometry_classes() {
  register_class<Point>(CLSID_Point, "esriGeometry.Point");
  register_class<Multipoint>(CLSID_Multipoint, "esriGeometry.Multipoint");
  register_class<Polyline>(CLSID_Polyline, "esriGeometry.Polyline");
  register_class<Polygon>(CLSID_Polygon, "esriGeometry.Polygon");
  register_class<Line>(CLSID_Line, "esriGeometry.Line");
  register_class<Envelope>(CLSID_Envelope, "esriGeometry.Envelope");
  register_class<MultiPatch>(CLSID_MultiPatch, "esriGeometry.MultiPatch");
}

}  // namespace gis::core

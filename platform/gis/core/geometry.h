// The core geometry objects (point, multipoint, polyline, polygon, line, envelope,
// multipatch) as seen by the rest of the core: creation by type and access to the state
// behind any of them.
#pragma once

#include <win32/com_ptr.h>

#include "arcobjects/arcobjects.h"
#include "geometry_state.h"

// Private interface of the core's geometry objects: the state behind the COM face. Only
// objects of this library answer it.
DECLARE_INTERFACE_IID(ICoreGeometry, 0x6C0A3E51, 0x2B7D, 0x4F1E, 0x9A, 0x43, 0x15, 0xD2, 0x8E, 0x70, 0xC4, 0x19)
struct ICoreGeometry : IUnknown {
  virtual gis::core::GeometryState& state() = 0;
};

namespace gis::core {

// A new empty geometry of the type (point, multipoint, polyline, polygon, line, envelope,
// multipatch); throws ComError E_INVALIDARG for other types.
win32::ComPtr<IGeometry> make_geometry(esriGeometryType type);
// A new geometry of the type holding g (converted to the kind the type holds; empty when g
// is null) with sr.
win32::ComPtr<IGeometry> make_geometry(esriGeometryType type, GeomPtr g, ISpatialReference* sr);
// The state of a core geometry; null for null or foreign objects. No reference is added:
// the pointer is valid while the caller holds the object.
GeometryState* state_of(IUnknown* geometry);
// A new geometry equal to g (same type, shape and spatial reference).
win32::ComPtr<IGeometry> copy_geometry(const GeometryState& g);

// Registers the creatable geometry classes.
void register_geometry_classes();

}  // namespace gis::core

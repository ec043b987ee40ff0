// Conversions between OGR geometries (what data sources hold) and the core's GEOS
// shapes, and between OGR geometry types and esriGeometryType.
#pragma once

#include <ogr_geometry.h>

#include <memory>

#include "arcobjects/arcobjects.h"
#include "geos_support.h"

namespace gis::core {

// The shape of an OGR geometry (curves are approximated by lines).
GeomPtr geos_from_ogr(const OGRGeometry& g);
// An OGR geometry of a GEOS shape.
std::unique_ptr<OGRGeometry> ogr_from_geos(const GEOSGeometry* g);
// The esri type an OGR geometry type is presented as (multi-types map to the same:
// MultiLineString → polyline, MultiPolygon → polygon); esriGeometryNull when none fits.
esriGeometryType esri_type_of(OGRwkbGeometryType type);
// The esri type of a GEOS shape (point, multipoint, polyline, polygon).
esriGeometryType esri_type_of_geos(const GEOSGeometry* g);
// The OGR type a shapefile layer of the esri type is created with.
OGRwkbGeometryType ogr_type_of(esriGeometryType type, bool has_z, bool has_m);

}  // namespace gis::core

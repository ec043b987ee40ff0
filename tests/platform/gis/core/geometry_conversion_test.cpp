// Shapes taken from OGR into GEOS and back give, for every kind a source may hold, what the
// conversion through WKB gives: the same coordinates, parts and dimensions, and the same
// refusals.
#include <geos_c.h>
#include <ogr_geometry.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/gis/core/geometry_ogr.h"

namespace {

using gis::core::geos;
using gis::core::GeomPtr;

std::unique_ptr<OGRGeometry> ogr(const std::string& wkt) {
  OGRGeometry* g = nullptr;
  EXPECT_EQ(OGRGeometryFactory::createFromWkt(wkt.c_str(), nullptr, &g), OGRERR_NONE) << wkt;
  return std::unique_ptr<OGRGeometry>(g);
}

std::string geos_wkt(const GEOSGeometry* g) {
  GEOSWKTWriter* w = GEOSWKTWriter_create_r(geos());
  GEOSWKTWriter_setTrim_r(geos(), w, 1);
  GEOSWKTWriter_setOutputDimension_r(geos(), w, 3);
  char* text = GEOSWKTWriter_write_r(geos(), w, g);
  std::string out = text ? text : "";
  GEOSFree_r(geos(), text);
  GEOSWKTWriter_destroy_r(geos(), w);
  return out;
}

std::string ogr_wkt(const OGRGeometry& g) { return g.exportToWkt(OGRWktOptions(), nullptr); }

// What WKB makes of an OGR geometry in GEOS ("" when GEOS refuses it).
std::string through_wkb(const OGRGeometry& g) {
  std::vector<unsigned char> wkb(g.WkbSize());
  g.exportToWkb(wkbNDR, wkb.data(), wkbVariantIso);
  GEOSWKBReader* r = GEOSWKBReader_create_r(geos());
  GeomPtr out(GEOSWKBReader_read_r(geos(), r, wkb.data(), wkb.size()));
  GEOSWKBReader_destroy_r(geos(), r);
  return out ? geos_wkt(out.get()) : "";
}

// What WKB makes of a GEOS shape in OGR, written the way the library writes WKB.
std::string back_through_wkb(const GEOSGeometry* g) {
  GEOSWKBWriter* w = GEOSWKBWriter_create_r(geos());
  size_t size = 0;
  unsigned char* wkb = GEOSWKBWriter_write_r(geos(), w, g, &size);
  GEOSWKBWriter_destroy_r(geos(), w);
  OGRGeometry* out = nullptr;
  size_t consumed = 0;
  OGRGeometryFactory::createFromWkb(wkb, nullptr, &out, size, wkbVariantIso, consumed);
  GEOSFree_r(geos(), wkb);
  std::unique_ptr<OGRGeometry> held(out);
  return held ? ogr_wkt(*held) : "";
}

// The shape taken into GEOS and back as through WKB, both ways.
void expect_as_through_wkb(const char* wkt) {
  auto g = ogr(wkt);
  ASSERT_TRUE(g);
  GeomPtr direct = gis::core::geos_from_ogr(*g);
  ASSERT_TRUE(direct);
  EXPECT_EQ(geos_wkt(direct.get()), through_wkb(*g));
  std::unique_ptr<OGRGeometry> back = gis::core::ogr_from_geos(direct.get());
  ASSERT_TRUE(back);
  EXPECT_EQ(ogr_wkt(*back), back_through_wkb(direct.get()));
}

TEST(GeometryConversion, EveryKindOfShapeConvertsAsThroughWkb) {
  const char* cases[] = {
      "POINT (1.5 -2.25)",
      "POINT Z (1 2 3)",
      "POINT M (1 2 4)",
      "LINESTRING (0 0,1 1,2 0.5)",
      "LINESTRING Z (0 0 1,1 1 2)",
      "POLYGON ((0 0,10 0,10 10,0 10,0 0),(2 2,3 2,3 3,2 2),(5 5,6 5,6 6,5 5))",
      "MULTIPOLYGON (((0 0,1 0,1 1,0 0)),((5 5,6 5,6 6,5 5),(5.2 5.1,5.8 5.1,5.8 5.7,5.2 5.1)))",
      "MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 2))",
      "MULTIPOINT ((1 2),(3 4))",
      "POINT (0.1 123456789012.5)",
      "LINESTRING (1 1,1 1)",
      "GEOMETRYCOLLECTION (POINT (1 2),LINESTRING (0 0,1 1))",
  };
  for (const char* wkt : cases) {
    SCOPED_TRACE(wkt);
    expect_as_through_wkb(wkt);
  }
}

// Rings GEOS cannot hold (open, or of fewer than four points) and lines of one point are
// refused as they were through WKB, never built in some repaired form.
TEST(GeometryConversion, ShapesGeosRefusesAreRefusedAlike) {
  for (const char* wkt : {"POLYGON ((0 0,1 0,1 1,0 0.5))", "POLYGON ((0 0,1 0,0 0))", "LINESTRING (1 1)",
                          "MULTIPOLYGON (((0 0,1 0,1 1,0 0)),((5 5,6 5,5 5)))"}) {
    SCOPED_TRACE(wkt);
    auto g = ogr(wkt);
    ASSERT_TRUE(g);
    const std::string expected = through_wkb(*g);
    std::string got;
    try {
      GeomPtr direct = gis::core::geos_from_ogr(*g);
      got = direct ? geos_wkt(direct.get()) : "";
    } catch (const std::exception&) {
      got = "";
    }
    EXPECT_EQ(got, expected);
  }
}

// Empty shapes and empty parts keep their kind.
TEST(GeometryConversion, EmptyShapesAndPartsConvertAsThroughWkb) {
  for (const char* wkt : {"POINT EMPTY", "LINESTRING EMPTY", "POLYGON EMPTY", "MULTIPOLYGON EMPTY",
                          "MULTILINESTRING ((0 0,1 1),EMPTY)"}) {
    SCOPED_TRACE(wkt);
    expect_as_through_wkb(wkt);
  }
}

}  // namespace

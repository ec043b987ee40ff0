// Geometry objects: creation by class id, their interfaces, building and measuring, and
// the text forms.
#include "core_test.h"

namespace {

using core_test::create;
using core_test::wkt;
using win32::ComPtr;

class GeometryTest : public core_test::CoreTest {};

struct Creatable {
  const CLSID* clsid;
  esriGeometryType type;
  std::vector<IID> interfaces;
};

TEST_F(GeometryTest, EveryGeometryClassIsCreatableAndEmpty) {
  const Creatable classes[] = {
      {&CLSID_Point, esriGeometryPoint, {IID_IGeometry, IID_IPoint}},
      {&CLSID_Multipoint, esriGeometryMultipoint,
       {IID_IGeometry, IID_IMultipoint, IID_IPointCollection, IID_IGeometryCollection}},
      {&CLSID_Polyline, esriGeometryPolyline,
       {IID_IGeometry, IID_ICurve, IID_IPolycurve, IID_IPolyline, IID_IPointCollection, IID_IGeometryCollection}},
      {&CLSID_Polygon, esriGeometryPolygon,
       {IID_IGeometry, IID_ICurve, IID_IPolycurve, IID_IPolygon, IID_IArea, IID_IPointCollection,
        IID_IGeometryCollection, IID_ITopologicalOperator}},
      {&CLSID_Line, esriGeometryLine, {IID_IGeometry, IID_ICurve, IID_ILine}},
      {&CLSID_Envelope, esriGeometryEnvelope, {IID_IGeometry, IID_IEnvelope, IID_IArea, IID_ITopologicalOperator}},
      {&CLSID_MultiPatch, esriGeometryMultiPatch, {IID_IGeometry, IID_IMultiPatch}},
  };
  for (const auto& c : classes) {
    auto g = create<IGeometry>(*c.clsid);
    ASSERT_TRUE(g);
    esriGeometryType type;
    EXPECT_EQ(g->get_GeometryType(&type), S_OK);
    EXPECT_EQ(type, c.type);
    VARIANT_BOOL empty = VARIANT_FALSE;
    EXPECT_EQ(g->get_IsEmpty(&empty), S_OK);
    EXPECT_EQ(empty, VARIANT_TRUE);
    testing_support::expect_query_interface_rules(g.get(), c.interfaces);
    EXPECT_FALSE(g.as<IPolygon>() && c.type != esriGeometryPolygon);
    EXPECT_EQ(testing_support::ref_count(g.get()), 1u);
  }
}

TEST_F(GeometryTest, PolygonBuiltVertexByVertexWithAHole) {
  auto polygon = create<IPolygon>(CLSID_Polygon);
  auto points = polygon.as<IPointCollection>();
  auto add = [&](double x, double y) {
    auto p = create<IPoint>(CLSID_Point);
    p->PutCoords(x, y);
    EXPECT_EQ(points->AddPoint(p.get(), nullptr, nullptr), S_OK);
  };
  for (auto [x, y] : {std::pair{0.0, 0.0}, {0.0, 10.0}, {10.0, 10.0}, {10.0, 0.0}}) add(x, y);
  ASSERT_EQ(polygon->Close(), S_OK);
  for (auto [x, y] : {std::pair{2.0, 2.0}, {4.0, 2.0}, {4.0, 4.0}, {2.0, 4.0}}) add(x, y);
  double area = 0;
  ASSERT_EQ(polygon.as<IArea>()->get_Area(&area), S_OK);
  EXPECT_EQ(area, 96);
  LONG rings = 0, shells = 0;
  polygon.as<IGeometryCollection>()->get_GeometryCount(&rings);
  polygon->get_ExteriorRingCount(&shells);
  EXPECT_EQ(rings, 2);
  EXPECT_EQ(shells, 1);
  double length = 0;
  polygon->get_Length(&length);
  EXPECT_EQ(length, 48);
  ComPtr<IEnvelope> e;
  ASSERT_EQ(polygon->get_Envelope(e.put()), S_OK);
  double w = 0, h = 0;
  e->get_Width(&w);
  e->get_Height(&h);
  EXPECT_EQ(w, 10);
  EXPECT_EQ(h, 10);
}

TEST_F(GeometryTest, PointsLinesAndParts) {
  auto p = create<IPoint>(CLSID_Point);
  double x = 1, y = 1;
  EXPECT_EQ(p->QueryCoords(&x, &y), S_FALSE);
  p->put_X(3);
  p->put_Y(4);
  p->get_X(&x);
  p->get_Y(&y);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);

  auto line = wkt("MULTILINESTRING((0 0,3 4),(10 10,10 20))");
  double length = 0;
  line.as<ICurve>()->get_Length(&length);
  EXPECT_EQ(length, 15);
  auto parts = line.as<IGeometryCollection>();
  LONG n = 0;
  parts->get_GeometryCount(&n);
  EXPECT_EQ(n, 2);
  ComPtr<IGeometry> second;
  ASSERT_EQ(parts->get_Geometry(1, second.put()), S_OK);
  EXPECT_EQ(gis::GeometryToWkt(second.get()), "LINESTRING (10 10, 10 20)");
  EXPECT_EQ(parts->get_Geometry(2, second.put()), E_INVALIDARG);

  auto multipoint = create<IGeometryCollection>(CLSID_Multipoint);
  EXPECT_EQ(multipoint->AddGeometry(p.as<IGeometry>().get(), nullptr, nullptr), S_OK);
  EXPECT_EQ(gis::GeometryToWkt(multipoint.as<IGeometry>().get()), "MULTIPOINT (3 4)");
}

TEST_F(GeometryTest, GeoJsonRoundTrip) {
  auto sr = gis::SpatialReferenceFromText("EPSG:4326");
  std::string error;
  auto g = gis::GeometryFromGeoJson(
      R"({"type":"Polygon","coordinates":[[[30,50],[31,50],[31,51],[30,51],[30,50]]]})", sr.get(), &error);
  ASSERT_TRUE(g) << error;
  esriGeometryType type;
  g->get_GeometryType(&type);
  EXPECT_EQ(type, esriGeometryPolygon);
  auto back = gis::GeometryFromGeoJson(gis::GeometryToGeoJson(g.get()), nullptr);
  ASSERT_TRUE(back);
  EXPECT_EQ(gis::GeometryToWkt(back.get()), gis::GeometryToWkt(g.get()));
  EXPECT_FALSE(gis::GeometryFromGeoJson("{\"type\":\"Nothing\"}", nullptr, &error));
  EXPECT_FALSE(gis::GeometryFromWkt("POLYGON((0 0", nullptr, &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(GeometryTest, NullOutPointersAreRefused) {
  auto g = wkt("POINT(1 2)");
  EXPECT_EQ(g->get_GeometryType(nullptr), E_POINTER);
  EXPECT_EQ(g->get_IsEmpty(nullptr), E_POINTER);
  EXPECT_EQ(g->get_Envelope(nullptr), E_POINTER);
  EXPECT_EQ(g->get_SpatialReference(nullptr), E_POINTER);
  EXPECT_EQ(g.as<IPoint>()->QueryCoords(nullptr, nullptr), E_POINTER);
}

}  // namespace

// Spatial references from text and IGeometry::Project between systems.
#include "core_test.h"

namespace {

using core_test::text;
using core_test::wkt;
using win32::ComPtr;

class SpatialReferenceTest : public core_test::CoreTest {};

const char* kUtm36Prj =
    "PROJCS[\"WGS_1984_UTM_Zone_36N\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
    "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_"
    "Mercator\"],PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],PARAMETER[\"Central_"
    "Meridian\",33.0],PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

TEST_F(SpatialReferenceTest, FromEpsgCode) {
  auto sr = gis::SpatialReferenceFromText("EPSG:4326");
  ASSERT_TRUE(sr);
  LONG code = 0;
  EXPECT_EQ(sr->get_FactoryCode(&code), S_OK);
  EXPECT_EQ(code, 4326);
  win32::Bstr name;
  EXPECT_EQ(sr->get_Name(name.put()), S_OK);
  EXPECT_EQ(name.utf8(), "WGS 84");
  EXPECT_EQ(gis::SpatialReferenceToText(sr.get()), "EPSG:4326");
  win32::Bstr esri;
  LONG bytes = 0;
  EXPECT_EQ(sr->ExportToESRISpatialReference(esri.put(), &bytes), S_OK);
  EXPECT_EQ(esri.utf8().rfind("GEOGCS[\"GCS_WGS_1984\"", 0), 0u) << esri.utf8();
  EXPECT_EQ(bytes, static_cast<LONG>(esri.utf8().size()));
  testing_support::expect_query_interface_rules(sr.get(), {IID_ISpatialReference});
}

TEST_F(SpatialReferenceTest, FromPrjTextFindsTheEpsgSystem) {
  auto sr = gis::SpatialReferenceFromText(std::string(kUtm36Prj) + "\n");
  ASSERT_TRUE(sr);
  LONG code = 0;
  sr->get_FactoryCode(&code);
  EXPECT_EQ(code, 32636);
  EXPECT_EQ(gis::SpatialReferenceToText(sr.get()), "EPSG:32636");
  auto epsg = gis::SpatialReferenceFromText("EPSG:32636");
  VARIANT_BOOL same = VARIANT_FALSE;
  EXPECT_EQ(sr->IsSame(epsg.get(), &same), S_OK);
  EXPECT_EQ(same, VARIANT_TRUE);
}

TEST_F(SpatialReferenceTest, CustomSystemTravelsAsWkt) {
  auto sr = gis::SpatialReferenceFromText("+proj=tmerc +lat_0=0 +lon_0=31.5 +k=1 +x_0=300000 +y_0=-5000000 +ellps=GRS80");
  ASSERT_TRUE(sr);
  LONG code = -1;
  sr->get_FactoryCode(&code);
  EXPECT_EQ(code, 0);
  std::string text = gis::SpatialReferenceToText(sr.get());
  EXPECT_EQ(text.find("EPSG:"), std::string::npos);
  auto back = gis::SpatialReferenceFromText(text);
  ASSERT_TRUE(back);
  VARIANT_BOOL same = VARIANT_FALSE;
  back->IsSame(sr.get(), &same);
  EXPECT_EQ(same, VARIANT_TRUE);
}

TEST_F(SpatialReferenceTest, BadTextGivesNothing) {
  std::string error;
  EXPECT_FALSE(gis::SpatialReferenceFromText("EPSG:999999999", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(gis::SpatialReferenceFromText("", &error));
  EXPECT_EQ(gis::SpatialReferenceToText(nullptr), "");
}

// Systems made from texts met before (a series of cuts opens one document per sheet) are
// objects of their own with the system of their text, however many other texts came
// between; a bad text stays bad when asked again.
TEST_F(SpatialReferenceTest, TextsMetAgainGiveTheirOwnSystem) {
  auto first = gis::SpatialReferenceFromText(kUtm36Prj);
  ASSERT_TRUE(first);
  for (int zone = 1; zone <= 60; ++zone) {
    auto sr = gis::SpatialReferenceFromText("EPSG:" + std::to_string(32600 + zone));
    ASSERT_TRUE(sr);
    LONG code = 0;
    sr->get_FactoryCode(&code);
    EXPECT_EQ(code, 32600 + zone);
  }
  for (int round = 0; round < 2; ++round) {
    auto again = gis::SpatialReferenceFromText(kUtm36Prj);
    ASSERT_TRUE(again);
    EXPECT_NE(again.get(), first.get());
    LONG code = 0;
    again->get_FactoryCode(&code);
    EXPECT_EQ(code, 32636);
    VARIANT_BOOL same = VARIANT_FALSE;
    again->IsSame(first.get(), &same);
    EXPECT_EQ(same, VARIANT_TRUE);
    auto other = gis::SpatialReferenceFromText(" EPSG:32635\n");
    ASSERT_TRUE(other);
    other->IsSame(first.get(), &same);
    EXPECT_EQ(same, VARIANT_FALSE);
    std::string error;
    EXPECT_FALSE(gis::SpatialReferenceFromText("EPSG:999999999", &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST_F(SpatialReferenceTest, ProjectsAKnownPointBothWays) {
  auto wgs84 = gis::SpatialReferenceFromText("EPSG:4326");
  auto utm = gis::SpatialReferenceFromText("EPSG:32636");
  // x is the longitude, y the latitude.
  auto g = wkt("POINT(30.52 50.45)", wgs84.get());
  ASSERT_EQ(g->Project(utm.get()), S_OK);
  double x = 0, y = 0;
  ASSERT_EQ(g.as<IPoint>()->QueryCoords(&x, &y), S_OK);
  EXPECT_NEAR(x, 323940.4951, 1e-3);
  EXPECT_NEAR(y, 5591604.5444, 1e-3);
  ComPtr<ISpatialReference> now;
  g->get_SpatialReference(now.put());
  EXPECT_EQ(now.get(), utm.get());

  ASSERT_EQ(g->Project(wgs84.get()), S_OK);
  g.as<IPoint>()->QueryCoords(&x, &y);
  EXPECT_NEAR(x, 30.52, 1e-9);
  EXPECT_NEAR(y, 50.45, 1e-9);
}

TEST_F(SpatialReferenceTest, ProjectsEveryVertexOfAPolygon) {
  auto wgs84 = gis::SpatialReferenceFromText("EPSG:4326");
  auto utm = gis::SpatialReferenceFromText(kUtm36Prj);
  auto g = wkt("POLYGON((33 50,33.01 50,33.01 50.01,33 50.01,33 50),(33.004 50.004,33.006 50.004,33.006 50.006,33.004 50.004))",
               wgs84.get());
  ASSERT_EQ(g->Project(utm.get()), S_OK);
  ComPtr<IPoint> first;
  ASSERT_EQ(g.as<IPointCollection>()->get_Point(0, first.put()), S_OK);
  double x, y;
  first->QueryCoords(&x, &y);
  EXPECT_NEAR(x, 500000.0, 1e-3);
  EXPECT_NEAR(y, 5538630.7029, 1e-3);
  LONG n = 0;
  g.as<IPointCollection>()->get_PointCount(&n);
  EXPECT_EQ(n, 9);
  double area = 0;
  g.as<IArea>()->get_Area(&area);
  EXPECT_NEAR(area, 716.0 * 1112.0 - 0.5 * 143 * 222, 2e4);  // about 0.8 km²
}

TEST_F(SpatialReferenceTest, WithoutSpatialReferenceOnlyTakesIt) {
  auto utm = gis::SpatialReferenceFromText("EPSG:32636");
  auto g = wkt("POINT(30.52 50.45)");
  ASSERT_EQ(g->Project(utm.get()), S_OK);
  double x, y;
  g.as<IPoint>()->QueryCoords(&x, &y);
  EXPECT_EQ(x, 30.52);
  EXPECT_EQ(y, 50.45);
  ComPtr<ISpatialReference> now;
  g->get_SpatialReference(now.put());
  EXPECT_EQ(now.get(), utm.get());
  EXPECT_NE(g->Project(nullptr), S_OK);
}

TEST_F(SpatialReferenceTest, SameSystemMovesNothing) {
  auto a = gis::SpatialReferenceFromText("EPSG:32636");
  auto b = gis::SpatialReferenceFromText(kUtm36Prj);
  auto g = wkt("LINESTRING(500000.123456789 5538630.987654321,500100 5538700)", a.get());
  ASSERT_EQ(g->Project(b.get()), S_OK);
  EXPECT_EQ(gis::GeometryToWkt(g.get()), "LINESTRING (500000.123456789 5538630.987654321, 500100 5538700)");
}

}  // namespace

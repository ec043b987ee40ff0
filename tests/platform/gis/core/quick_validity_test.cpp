// The quick polygon validity test that spares GEOS's full check on the cut's small
// polygons: it may say "cannot tell" of a valid polygon, never "valid" of an invalid one.
#include <geos_c.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/gis/core/geos_parts.h"

namespace {

using gis::core::geos;
using gis::core::GeomPtr;

GeomPtr read(const std::string& wkt) {
  GEOSWKTReader* r = GEOSWKTReader_create_r(geos());
  GeomPtr g(GEOSWKTReader_read_r(geos(), r, wkt.c_str()));
  GEOSWKTReader_destroy_r(geos(), r);
  return g;
}

struct Case {
  const char* what;
  const char* wkt;
  bool quick;  // what the quick test must answer
};

const Case kCases[] = {
    {"triangle", "POLYGON((0 0,4 0,0 3,0 0))", true},
    {"clockwise square", "POLYGON((0 0,0 1,1 1,1 0,0 0))", true},
    {"concave", "POLYGON((0 0,10 0,10 10,5 2,0 10,0 0))", true},
    {"bow tie", "POLYGON((0 0,2 2,2 0,0 2,0 0))", false},
    {"figure eight touching at a vertex", "POLYGON((0 0,2 2,4 0,4 4,2 2,0 4,0 0))", false},
    {"vertex on another edge", "POLYGON((0 0,4 0,4 4,2 0,0 4,0 0))", false},
    {"spike", "POLYGON((0 0,4 0,4 4,4 6,4 4,0 4,0 0))", false},
    {"repeated point", "POLYGON((0 0,4 0,4 0,4 4,0 0))", false},
    {"straight vertex (valid, left to GEOS)", "POLYGON((0 0,2 0,4 0,4 4,0 0))", false},
    {"collapsed to a line", "POLYGON((0 0,1 1,2 2,0 0))", false},
    {"with a hole (left to GEOS)", "POLYGON((0 0,10 0,10 10,0 10,0 0),(2 2,3 2,3 3,2 2))", false},
    {"multipolygon (left to GEOS)", "MULTIPOLYGON(((0 0,1 0,1 1,0 0)))", false},
    {"thin notch", "POLYGON((0 0,6 0,6 2,3 2,3 0.0000001,1 0.0000001,1 2,0 2,0 0))", true},
    {"edges crossing near a vertex", "POLYGON((0 0,10 0,10 1e-12,5 -1e-12,5 5,0 5,0 0))", false},
    {"nearly collinear turn", "POLYGON((0 0,1 1e-17,2 0,2 2,0 2,0 0))", true},
};

TEST(QuickPolygonValidity, NeverCallsAnInvalidPolygonValidAndPassesPlainOnes) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    GeomPtr g = read(c.wkt);
    ASSERT_TRUE(g);
    const bool quick = gis::core::surely_valid_polygon(g.get());
    EXPECT_EQ(quick, c.quick);
    if (quick) EXPECT_EQ(GEOSisValid_r(geos(), g.get()), 1);
  }
}

TEST(QuickPolygonValidity, LeavesLargeAndBrokenShellsToGeos) {
  std::string big = "POLYGON((";
  const size_t n = gis::core::kQuickValidVertices;  // one point more than the quick test takes
  for (size_t i = 0; i < n; ++i) big += std::to_string(i) + " " + std::to_string((i * i) % 7 + (i % 2) * 100) + ",";
  big += "0 -50,0 0))";
  GeomPtr g = read(big);
  ASSERT_TRUE(g);
  EXPECT_FALSE(gis::core::surely_valid_polygon(g.get()));

  GeomPtr empty = read("POLYGON EMPTY");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(gis::core::surely_valid_polygon(empty.get()));
}

// Random small rings: whatever the quick test accepts GEOS finds valid, and it accepts
// most of the simple ones (star-shaped rings around a centre are simple).
TEST(QuickPolygonValidity, AgreesWithGeosOnRandomRings) {
  unsigned seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 8; };
  int accepted = 0, star_accepted = 0, stars = 0;
  for (int round = 0; round < 2000; ++round) {
    const bool star = round % 2 == 0;
    const int points = 3 + next() % 12;
    std::string wkt = "POLYGON((";
    std::string first;
    for (int i = 0; i < points; ++i) {
      double x, y;
      if (star) {
        const double angle = 6.283185307179586 * i / points, r = 1 + next() % 100 / 10.0;
        x = r * std::cos(angle), y = r * std::sin(angle);
      } else {
        x = next() % 20, y = next() % 20;
      }
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g %.17g", x, y);
      wkt += std::string(i ? "," : "") + buf;
      if (!i) first = buf;
    }
    wkt += "," + first + "))";
    GeomPtr g = read(wkt);
    ASSERT_TRUE(g) << wkt;
    const bool quick = gis::core::surely_valid_polygon(g.get());
    if (quick) {
      ++accepted;
      EXPECT_EQ(GEOSisValid_r(geos(), g.get()), 1) << wkt;
    }
    if (star) ++stars, star_accepted += quick;
  }
  EXPECT_GT(star_accepted, stars * 9 / 10);
  EXPECT_GT(accepted, star_accepted);  // some random rings are simple too
}

}  // namespace

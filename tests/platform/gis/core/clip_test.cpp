// ITopologicalOperator::Intersect of polygons and envelopes with every geometry type,
// table-driven: each case names the input, the cutter, the dimension asked and the
// expected WKT ("FAIL" when the call must fail and return nothing).
#include <geos_c.h>

#include <cmath>
#include <cstdio>

#include "core_test.h"

namespace {

using core_test::create;
using core_test::wkt;
using win32::ComPtr;

// Independent GEOS context for checking results.
class Checker {
 public:
  Checker() : h_(GEOS_init_r()) {}
  ~Checker() { GEOS_finish_r(h_); }
  GEOSGeometry* read(const std::string& text) {
    GEOSWKTReader* r = GEOSWKTReader_create_r(h_);
    GEOSGeometry* g = GEOSWKTReader_read_r(h_, r, text.c_str());
    GEOSWKTReader_destroy_r(h_, r);
    return g;
  }
  // Same point set and the same number of parts.
  bool same(const std::string& a, const std::string& b) {
    GEOSGeometry* ga = read(a);
    GEOSGeometry* gb = read(b);
    bool eq = ga && gb && GEOSGetNumGeometries_r(h_, ga) == GEOSGetNumGeometries_r(h_, gb) &&
              (GEOSisEmpty_r(h_, ga) ? GEOSisEmpty_r(h_, gb) == 1 : GEOSEquals_r(h_, ga, gb) == 1);
    if (ga) GEOSGeom_destroy_r(h_, ga);
    if (gb) GEOSGeom_destroy_r(h_, gb);
    return eq;
  }

 private:
  GEOSContextHandle_t h_;
};

// "LINE(x y, x y)" makes an esriGeometryLine, "MULTIPATCH" a multipatch; other text is WKT.
ComPtr<IGeometry> make_input(const std::string& text) {
  if (text.rfind("LINE(", 0) == 0) {
    double c[4];
    EXPECT_EQ(std::sscanf(text.c_str(), "LINE(%lf %lf, %lf %lf)", &c[0], &c[1], &c[2], &c[3]), 4);
    auto from = create<IPoint>(CLSID_Point);
    auto to = create<IPoint>(CLSID_Point);
    from->PutCoords(c[0], c[1]);
    to->PutCoords(c[2], c[3]);
    auto line = create<ILine>(CLSID_Line);
    EXPECT_EQ(line->PutCoords(from.get(), to.get()), S_OK);
    return line.as<IGeometry>();
  }
  if (text == "MULTIPATCH") return create<IGeometry>(CLSID_MultiPatch);
  return wkt(text);
}

// "ENVELOPE(xmin ymin, xmax ymax)" makes an envelope cutter; other text is a polygon.
ComPtr<ITopologicalOperator> make_cutter(const std::string& text) {
  if (text.rfind("ENVELOPE(", 0) == 0) {
    double c[4];
    EXPECT_EQ(std::sscanf(text.c_str(), "ENVELOPE(%lf %lf, %lf %lf)", &c[0], &c[1], &c[2], &c[3]), 4);
    auto e = create<IEnvelope>(CLSID_Envelope);
    e->PutCoords(c[0], c[1], c[2], c[3]);
    return e.as<ITopologicalOperator>();
  }
  return wkt(text).as<ITopologicalOperator>();
}

void expect_clip(const std::string& input, const std::string& cutter_text, esriGeometryDimension dimension,
                 const std::string& expected) {
  SCOPED_TRACE(input + " ∩ " + cutter_text);
  ComPtr<IGeometry> in = make_input(input);
  ComPtr<ITopologicalOperator> cutter = make_cutter(cutter_text);
  ASSERT_TRUE(in && cutter);
  IGeometry* result = reinterpret_cast<IGeometry*>(0x1);
  HRESULT hr = cutter->Intersect(in.get(), dimension, &result);
  ComPtr<IGeometry> r = ComPtr<IGeometry>::adopt(result);
  if (expected == "FAIL") {
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(result, nullptr);
    return;
  }
  ASSERT_EQ(hr, S_OK);
  ASSERT_TRUE(r);
  esriGeometryType in_type, out_type;
  in->get_GeometryType(&in_type);
  r->get_GeometryType(&out_type);
  EXPECT_EQ(out_type, in_type == esriGeometryLine ? esriGeometryPolyline : in_type);
  VARIANT_BOOL empty = VARIANT_FALSE;
  r->get_IsEmpty(&empty);
  bool want_empty = expected.find("EMPTY") != std::string::npos;
  EXPECT_EQ(empty, want_empty ? VARIANT_TRUE : VARIANT_FALSE);
  std::string got = gis::GeometryToWkt(r.get());
  EXPECT_TRUE(Checker().same(got, expected)) << "got " << got << "\nexpected " << expected;
}

struct ClipCase {
  const char* name;
  const char* input;
  const char* cutter;
  esriGeometryDimension dimension;
  const char* expected;
};

void PrintTo(const ClipCase& c, std::ostream* os) { *os << c.name; }

const char* kSquare = "POLYGON((0 0,10 0,10 10,0 10,0 0))";
const char* kSquareWithHole = "POLYGON((0 0,10 0,10 10,0 10,0 0),(4 4,6 4,6 6,4 6,4 4))";
const char* kU = "POLYGON((0 0,10 0,10 10,7 10,7 3,3 3,3 10,0 10,0 0))";
const char* kBowTie = "POLYGON((0 0,10 10,10 0,0 10,0 0))";

const ClipCase kCases[] = {
    // points
    {"point_inside", "POINT(5 5)", kSquare, esriGeometry0Dimension, "POINT(5 5)"},
    {"point_outside", "POINT(15 5)", kSquare, esriGeometry0Dimension, "POINT EMPTY"},
    {"point_on_boundary", "POINT(10 5)", kSquare, esriGeometry0Dimension, "POINT(10 5)"},
    {"point_in_hole", "POINT(5 5)", kSquareWithHole, esriGeometry0Dimension, "POINT EMPTY"},
    {"point_in_repaired_cutter", "POINT(2 5)", kBowTie, esriGeometry0Dimension, "POINT(2 5)"},
    {"point_envelope_cutter", "POINT(2 5)", "ENVELOPE(0 0, 10 10)", esriGeometry0Dimension, "POINT(2 5)"},
    {"point_wrong_dimension", "POINT(5 5)", kSquare, esriGeometry1Dimension, "FAIL"},
    {"point_no_dimension", "POINT(5 5)", kSquare, esriGeometryNoDimension, "FAIL"},
    // multipoints
    {"multipoint_partly_inside", "MULTIPOINT((1 1),(5 5),(20 20))", kSquare, esriGeometry0Dimension,
     "MULTIPOINT((1 1),(5 5))"},
    {"multipoint_single_inside", "MULTIPOINT((1 1),(20 20))", kSquare, esriGeometry0Dimension, "MULTIPOINT((1 1))"},
    {"multipoint_outside", "MULTIPOINT((11 11),(20 20))", kSquare, esriGeometry0Dimension, "MULTIPOINT EMPTY"},
    {"multipoint_hole", "MULTIPOINT((1 1),(5 5))", kSquareWithHole, esriGeometry0Dimension, "MULTIPOINT((1 1))"},
    {"multipoint_wrong_dimension", "MULTIPOINT((1 1))", kSquare, esriGeometry2Dimension, "FAIL"},
    // polylines
    {"polyline_inside", "LINESTRING(1 1,9 9)", kSquare, esriGeometry1Dimension, "LINESTRING(1 1,9 9)"},
    {"polyline_outside", "LINESTRING(11 1,19 9)", kSquare, esriGeometry1Dimension, "LINESTRING EMPTY"},
    {"polyline_envelopes_overlap_only", "LINESTRING(9 11,11 9.5)", kSquare, esriGeometry1Dimension,
     "LINESTRING EMPTY"},
    {"polyline_crossing", "LINESTRING(-5 5,15 5)", kSquare, esriGeometry1Dimension, "LINESTRING(0 5,10 5)"},
    {"polyline_crossing_diagonal", "LINESTRING(-2 -2,4 4)", kSquare, esriGeometry1Dimension,
     "LINESTRING(0 0,4 4)"},
    {"polyline_cut_by_hole", "LINESTRING(-5 5,15 5)", kSquareWithHole, esriGeometry1Dimension,
     "MULTILINESTRING((0 5,4 5),(6 5,10 5))"},
    {"polyline_cut_by_u", "LINESTRING(-1 5,11 5)", kU, esriGeometry1Dimension,
     "MULTILINESTRING((0 5,3 5),(7 5,10 5))"},
    {"polyline_on_boundary", "LINESTRING(0 0,10 0)", kSquare, esriGeometry1Dimension, "LINESTRING(0 0,10 0)"},
    {"polyline_touching_at_point", "LINESTRING(10 5,15 5)", kSquare, esriGeometry1Dimension, "LINESTRING EMPTY"},
    {"polyline_multi_part_input", "MULTILINESTRING((1 1,2 2),(20 20,30 30),(5 -5,5 5))", kSquare,
     esriGeometry1Dimension, "MULTILINESTRING((1 1,2 2),(5 0,5 5))"},
    {"polyline_self_crossing", "LINESTRING(-5 5,5 5,5 -5,3 -3,3 2)", kSquare, esriGeometry1Dimension,
     "MULTILINESTRING((0 5,5 5,5 0),(3 0,3 2))"},
    {"polyline_envelope_cutter", "LINESTRING(-5 5,15 5)", "ENVELOPE(0 0, 10 10)", esriGeometry1Dimension,
     "LINESTRING(0 5,10 5)"},
    {"polyline_wrong_dimension", "LINESTRING(1 1,2 2)", kSquare, esriGeometry2Dimension, "FAIL"},
    {"polyline_no_dimension", "LINESTRING(1 1,2 2)", kSquare, esriGeometryNoDimension, "FAIL"},
    // lines (esriGeometryLine) come back as polylines
    {"line_inside", "LINE(1 1, 9 9)", kSquare, esriGeometry1Dimension, "LINESTRING(1 1,9 9)"},
    {"line_crossing", "LINE(-5 5, 5 5)", kSquare, esriGeometry1Dimension, "LINESTRING(0 5,5 5)"},
    {"line_outside", "LINE(-5 -5, -1 -1)", kSquare, esriGeometry1Dimension, "LINESTRING EMPTY"},
    {"line_wrong_dimension", "LINE(1 1, 9 9)", kSquare, esriGeometry0Dimension, "FAIL"},
    // polygons
    {"polygon_inside", "POLYGON((1 1,2 1,2 2,1 2,1 1))", kSquare, esriGeometry2Dimension,
     "POLYGON((1 1,2 1,2 2,1 2,1 1))"},
    {"polygon_equal", kSquare, kSquare, esriGeometry2Dimension, kSquare},
    {"polygon_outside", "POLYGON((20 20,30 20,30 30,20 20))", kSquare, esriGeometry2Dimension, "POLYGON EMPTY"},
    {"polygon_crossing", "POLYGON((5 5,15 5,15 15,5 15,5 5))", kSquare, esriGeometry2Dimension,
     "POLYGON((5 5,10 5,10 10,5 10,5 5))"},
    {"polygon_touching_edge", "POLYGON((10 0,20 0,20 10,10 10,10 0))", kSquare, esriGeometry2Dimension,
     "POLYGON EMPTY"},
    {"polygon_touching_corner", "POLYGON((10 10,20 10,20 20,10 20,10 10))", kSquare, esriGeometry2Dimension,
     "POLYGON EMPTY"},
    {"polygon_cut_by_u", "POLYGON((-1 5,11 5,11 8,-1 8,-1 5))", kU, esriGeometry2Dimension,
     "MULTIPOLYGON(((0 5,3 5,3 8,0 8,0 5)),((7 5,10 5,10 8,7 8,7 5)))"},
    {"polygon_with_hole_inside", "POLYGON((1 1,9 1,9 9,1 9,1 1),(4 4,6 4,6 6,4 6,4 4))", kSquare,
     esriGeometry2Dimension, "POLYGON((1 1,9 1,9 9,1 9,1 1),(4 4,6 4,6 6,4 6,4 4))"},
    {"polygon_over_cutter_hole", "POLYGON((3 3,7 3,7 7,3 7,3 3))", kSquareWithHole, esriGeometry2Dimension,
     "POLYGON((3 3,7 3,7 7,3 7,3 3),(4 4,6 4,6 6,4 6,4 4))"},
    {"polygon_inside_cutter_hole", "POLYGON((4.5 4.5,5.5 4.5,5.5 5.5,4.5 4.5))", kSquareWithHole,
     esriGeometry2Dimension, "POLYGON EMPTY"},
    {"multipolygon_partly_inside", "MULTIPOLYGON(((1 1,2 1,2 2,1 1)),((20 20,30 20,30 30,20 20)))", kSquare,
     esriGeometry2Dimension, "POLYGON((1 1,2 1,2 2,1 1))"},
    {"polygon_bow_tie_repaired", "POLYGON((1 1,4 4,4 1,1 4,1 1))", kSquare, esriGeometry2Dimension,
     "MULTIPOLYGON(((1 1,2.5 2.5,1 4,1 1)),((2.5 2.5,4 1,4 4,2.5 2.5)))"},
    {"polygon_bow_tie_crossing", "POLYGON((8 2,12 6,12 2,8 6,8 2))", kSquare, esriGeometry2Dimension,
     "POLYGON((8 2,10 4,8 6,8 2))"},
    {"polygon_repaired_cutter", "POLYGON((-1 4,11 4,11 6,-1 6,-1 4))", kBowTie, esriGeometry2Dimension,
     "MULTIPOLYGON(((0 4,4 4,5 5,4 6,0 6,0 4)),((6 4,10 4,10 6,6 6,5 5,6 4)))"},
    {"polygon_envelope_cutter", "POLYGON((5 5,15 5,15 15,5 15,5 5))", "ENVELOPE(0 0, 10 10)",
     esriGeometry2Dimension, "POLYGON((5 5,10 5,10 10,5 10,5 5))"},
    {"polygon_wrong_dimension", "POLYGON((1 1,2 1,2 2,1 1))", kSquare, esriGeometry1Dimension, "FAIL"},
    {"polygon_no_dimension", "POLYGON((1 1,2 1,2 2,1 1))", kSquare, esriGeometryNoDimension, "FAIL"},
    // types outside the cut table
    {"multipatch", "MULTIPATCH", kSquare, esriGeometry2Dimension, "FAIL"},
    {"multipatch_no_dimension", "MULTIPATCH", kSquare, esriGeometryNoDimension, "FAIL"},
    // an empty cutter cuts everything away
    {"empty_cutter", "POLYGON((1 1,2 1,2 2,1 1))", "POLYGON EMPTY", esriGeometry2Dimension, "POLYGON EMPTY"},
};

class ClipTable : public core_test::CoreTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipTable, Intersect) {
  const ClipCase& c = GetParam();
  expect_clip(c.input, c.cutter, c.dimension, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClipTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ClipCase>& info) { return std::string(info.param.name); });

class Clip : public core_test::CoreTest {};

TEST_F(Clip, NullArgumentsAndForeignGeometry) {
  auto cutter = wkt(kSquare).as<ITopologicalOperator>();
  IGeometry* r = reinterpret_cast<IGeometry*>(0x1);
  EXPECT_EQ(cutter->Intersect(nullptr, esriGeometry2Dimension, &r), E_POINTER);
  EXPECT_EQ(r, nullptr);
  auto p = wkt("POINT(1 1)");
  EXPECT_EQ(cutter->Intersect(p.get(), esriGeometry0Dimension, nullptr), E_POINTER);
}

TEST_F(Clip, ResultKeepsTheSpatialReferenceOfTheInput) {
  auto sr = gis::SpatialReferenceFromText("EPSG:32636");
  ASSERT_TRUE(sr);
  auto cutter = wkt(kSquare).as<ITopologicalOperator>();
  auto line = wkt("LINESTRING(-5 5,15 5)", sr.get());
  ComPtr<IGeometry> r;
  ASSERT_EQ(cutter->Intersect(line.get(), esriGeometry1Dimension, r.put()), S_OK);
  ComPtr<ISpatialReference> got;
  r->get_SpatialReference(got.put());
  EXPECT_EQ(got.get(), sr.get());
}

TEST_F(Clip, PreparedCutterFollowsChangesOfThePolygon) {
  ComPtr<IGeometry> polygon = wkt(kSquare);
  auto cutter = polygon.as<ITopologicalOperator>();
  auto point = wkt("POINT(5 5)");
  auto far_point = wkt("POINT(105 105)");
  auto inside = [&](IGeometry* g) {
    ComPtr<IGeometry> r;
    EXPECT_EQ(cutter->Intersect(g, esriGeometry0Dimension, r.put()), S_OK);
    VARIANT_BOOL empty = VARIANT_TRUE;
    if (r) r->get_IsEmpty(&empty);
    return empty == VARIANT_FALSE;
  };
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(inside(point.get()));
  EXPECT_FALSE(inside(far_point.get()));

  ASSERT_EQ(polygon->SetEmpty(), S_OK);
  EXPECT_FALSE(inside(point.get()));

  // Rebuilt vertex by vertex around the far point.
  auto points = polygon.as<IPointCollection>();
  for (auto [x, y] : {std::pair{100.0, 100.0}, {110.0, 100.0}, {110.0, 110.0}, {100.0, 110.0}}) {
    auto v = create<IPoint>(CLSID_Point);
    v->PutCoords(x, y);
    ASSERT_EQ(points->AddPoint(v.get(), nullptr, nullptr), S_OK);
  }
  EXPECT_FALSE(inside(point.get()));
  EXPECT_TRUE(inside(far_point.get()));
}

// A polygon met again (as a series of cuts meets a feature on every sheet it lies on) is
// not tested for validity again, but one of the same vertex count and bounds with its
// vertices in another order is: the bow tie below is repaired however often the valid
// square of the same corners was cut before it.
TEST_F(Clip, PolygonsMetAgainAreJudgedByTheirOwnVertices) {
  const char* cutter = "POLYGON((-1 -1,20 -1,20 20,-1 20,-1 -1))";
  const char* squares = "MULTIPOLYGON(((0 0,4 0,4 4,0 4,0 0)),((6 0,8 0,8 2,6 2,6 0)))";
  const char* bow_tie = "MULTIPOLYGON(((0 0,4 4,4 0,0 4,0 0)),((6 0,8 0,8 2,6 2,6 0)))";
  const char* bow_tie_repaired = "MULTIPOLYGON(((0 0,2 2,0 4,0 0)),((2 2,4 0,4 4,2 2)),((6 0,8 0,8 2,6 2,6 0)))";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    expect_clip(squares, cutter, esriGeometry2Dimension, squares);
    expect_clip(squares, cutter, esriGeometry2Dimension, squares);
    expect_clip(bow_tie, cutter, esriGeometry2Dimension, bow_tie_repaired);
    expect_clip(bow_tie, cutter, esriGeometry2Dimension, bow_tie_repaired);
  }
}

// How far our cut of `feature` by `cutter` (WKT both) is from GEOS's plain intersection of
// the two: the area (polygons), length (lines) or point count (points) of the symmetric
// difference of the parts of the feature's dimension. 0 when they agree.
double distance_from_plain_intersection(const std::string& cutter, const std::string& feature,
                                        const std::string& ours) {
  GEOSContextHandle_t h = GEOS_init_r();
  auto read = [&](const std::string& text) {
    GEOSWKTReader* r = GEOSWKTReader_create_r(h);
    GEOSGeometry* g = GEOSWKTReader_read_r(h, r, text.c_str());
    GEOSWKTReader_destroy_r(h, r);
    return g;
  };
  GEOSGeometry* c = read(cutter);
  GEOSGeometry* f = read(feature);
  GEOSGeometry* o = read(ours);
  GEOSGeometry* plain = GEOSIntersection_r(h, c, f);
  GEOSGeometry* diff = GEOSSymDifference_r(h, plain, o);
  double d = 0;
  switch (GEOSGeom_getDimensions_r(h, f)) {
    case 2: GEOSArea_r(h, diff, &d); break;
    case 1: GEOSLength_r(h, diff, &d); break;
    default: d = GEOSisEmpty_r(h, diff) ? 0 : GEOSGetNumGeometries_r(h, diff); break;
  }
  for (GEOSGeometry* g : {c, f, o, plain, diff}) GEOSGeom_destroy_r(h, g);
  GEOS_finish_r(h);
  return d;
}

std::string star(double cx, double cy, double r_out, double r_in, int n, const std::string& hole = "") {
  std::string ring = "POLYGON((";
  for (int i = 0; i <= n; ++i) {
    double a = 2 * 3.14159265358979 * (i % n) / n;
    double r = (i % 2) ? r_in : r_out;
    ring += std::to_string(cx + r * std::cos(a)) + " " + std::to_string(cy + r * std::sin(a));
    ring += i < n ? "," : ")";
  }
  return ring + (hole.empty() ? "" : "," + hole) + ")";
}

// A zigzag line of n vertices from (x0, y) rightwards, 1 unit per vertex.
std::string zigzag(double x0, double y, int n) {
  std::string line = "LINESTRING(";
  for (int i = 0; i < n; ++i) {
    line += std::to_string(x0 + i * (1.0 / 50)) + " " + std::to_string(y + (i % 2 ? 1 : 0));
    line += i + 1 < n ? "," : ")";
  }
  return line;
}

// The shortcuts of the cut (a feature wholly inside copied, one wholly outside dropped, a
// large cutter cut down to the feature's neighbourhood first) give what the plain
// intersection gives, for features inside, outside, crossing, touching the border, in and
// around the cutter's hole, with holes of their own, in several parts and reaching far
// beyond the cutter. Features of
// more than 4,096 vertices come early: after each the cutter's prepared form is made
// again, and the features after them are cut by the new one.
TEST_F(Clip, ShortcutsGiveThePlainIntersection) {
  const std::string hole = "(40 40,40 60,60 60,60 40,40 40)";
  const std::vector<std::string> cutters = {
      "POLYGON((0 0,0 100,100 100,100 0,0 0)," + hole + ")",  // a few vertices
      star(50, 50, 50, 44, 2000, hole),                        // many: cut down per feature
  };
  const std::vector<std::string> features = {
      star(100, 30, 20, 20, 4200),                                                // large circle, crossing the border
      "POLYGON((10 10,10 20,20 20,20 10,10 10))",                                 // inside
      star(20, 20, 10, 8, 4200),                                                  // large, inside
      zigzag(-20, 70, 4200),                                                      // large line, crossing
      "POLYGON((12 12,12 22,22 22,22 12,12 12))",                                 // inside
      star(300, 300, 10, 8, 4200),                                                // large, outside
      "POLYGON((200 200,200 210,210 210,210 200,200 200))",                       // outside
      "POLYGON((90 45,90 55,120 55,120 45,90 45))",                               // crossing the border
      "POLYGON((100 10,100 20,110 20,110 10,100 10))",                            // touching from outside
      "POLYGON((0 10,0 20,10 20,10 10,0 10))",                                    // touching from inside
      "POLYGON((45 45,45 55,55 55,55 45,45 45))",                                 // in the hole
      "POLYGON((35 35,35 65,65 65,65 35,35 35))",                                 // around the hole
      "POLYGON((5 5,5 95,95 95,95 5,5 5),(20 20,20 30,30 30,30 20,20 20))",       // with a hole of its own
      "MULTIPOLYGON(((1 1,1 2,2 2,2 1,1 1)),((98 50,98 51,103 51,103 50,98 50)))",  // two parts
      "LINESTRING(-10 50,110 50)",                                                // through the hole
      "LINESTRING(10 10,20 20)",                                                  // inside
      "LINESTRING(100 0,100 100)",                                                // along the border
      "MULTILINESTRING((-5 5,5 5),(150 150,160 160))",
      "POINT(10 10)",
      "POINT(50 50)",  // in the hole
      "POINT(0 50)",   // on the border
      "MULTIPOINT((10 10),(200 200),(50 50),(90 90))",
      // large and reaching far beyond the cutter
      star(50, 50, 400, 380, 4200),                                     // around it
      star(50, 50, 400, 380, 4200, "(20 20,20 80,80 80,80 20,20 20)"),  // around it, a hole inside
      star(150, 50, 120, 110, 4200),                                    // crossing its border
      zigzag(-400, 30, 40000),                                          // a long line through it
  };
  for (size_t k = 0; k < cutters.size(); ++k) {
    SCOPED_TRACE(k == 0 ? "simple cutter" : "2000-vertex cutter");
    auto cutter = wkt(cutters[k]).as<ITopologicalOperator>();
    std::vector<std::string> cases = features;
    cases.push_back(cutters[k]);  // the cutting feature itself, in its own layer
    for (const std::string& feature : cases) {
      SCOPED_TRACE(feature);
      auto in = wkt(feature);
      esriGeometryType type;
      in->get_GeometryType(&type);
      const auto dimension = type == esriGeometryPolygon    ? esriGeometry2Dimension
                             : type == esriGeometryPolyline ? esriGeometry1Dimension
                                                            : esriGeometry0Dimension;
      ComPtr<IGeometry> r;
      ASSERT_EQ(cutter->Intersect(in.get(), dimension, r.put()), S_OK);
      const std::string ours = gis::GeometryToWkt(r.get());
      EXPECT_LT(distance_from_plain_intersection(cutters[k], feature, ours), 1e-6) << "ours: " << ours.substr(0, 300);
    }
  }
}

TEST_F(Clip, ManyFeaturesAgainstOneCutterAgreeWithDirectOverlay) {
  // A star-shaped cutter with many vertices cut against a grid of small squares: the sum
  // of the clipped areas equals the area of the cutter inside the grid.
  std::string ring = "POLYGON((";
  const int n = 720;
  for (int i = 0; i <= n; ++i) {
    double a = 2 * 3.14159265358979 * (i % n) / n;
    double r = (i % 2) ? 40 : 50;
    ring += std::to_string(50 + r * std::cos(a)) + " " + std::to_string(50 + r * std::sin(a));
    ring += i < n ? "," : "))";
  }
  auto polygon = wkt(ring);
  auto cutter = polygon.as<ITopologicalOperator>();
  double total = 0;
  for (int x = 0; x < 100; x += 5) {
    for (int y = 0; y < 100; y += 5) {
      auto square = wkt("POLYGON((" + std::to_string(x) + " " + std::to_string(y) + "," + std::to_string(x + 5) +
                        " " + std::to_string(y) + "," + std::to_string(x + 5) + " " + std::to_string(y + 5) + "," +
                        std::to_string(x) + " " + std::to_string(y + 5) + "," + std::to_string(x) + " " +
                        std::to_string(y) + "))");
      ComPtr<IGeometry> r;
      ASSERT_EQ(cutter->Intersect(square.get(), esriGeometry2Dimension, r.put()), S_OK);
      double a = 0;
      ASSERT_EQ(r.as<IArea>()->get_Area(&a), S_OK);
      total += a;
    }
  }
  double whole = 0;
  polygon.as<IArea>()->get_Area(&whole);
  EXPECT_NEAR(total, whole, 1e-6 * whole);
}

}  // namespace

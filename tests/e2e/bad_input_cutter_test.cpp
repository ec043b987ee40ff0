// `areaclip cut` with an unusual cutting feature: not a polygon, empty or null, invalid,
// with holes, of several parts, or without a spatial reference in a map that has one. Each
// case checks the exit code, the messages on standard error and which points of a probe
// layer the result holds.
#include <gtest/gtest.h>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;
using fixture::Feature;

struct CutterCase {
  std::string name;
  // The cutting layer "Контур" (data/<cutter_file>): its type, spatial reference and
  // features; the cut picks the feature labelled "A" unless options say otherwise.
  std::string cutter_file;
  OGRwkbGeometryType type;
  int epsg;
  std::vector<Feature> cutter;
  std::string options;
  int code;
  std::vector<std::string> messages;  // each appears on standard error
  std::vector<std::string> kept;      // the probe points the result holds
};

// Probe points by name, in map coordinates; none lies on the boundary of a cutter below.
const std::vector<std::pair<std::string, std::pair<double, double>>> kPoints = {
    {"left", {100, 500}},   {"right", {900, 500}},  {"bottom", {500, 100}}, {"top", {500, 900}},
    {"centre", {500, 450}}, {"corner", {200, 150}}, {"far", {800, 850}},    {"outside", {3000, 3000}},
};

std::string polygon(const std::vector<std::vector<std::pair<double, double>>>& rings) {
  std::string s = "(";
  for (size_t r = 0; r < rings.size(); ++r) {
    s += r ? ",(" : "(";
    for (size_t i = 0; i < rings[r].size(); ++i) s += (i ? "," : "") + at(rings[r][i].first, rings[r][i].second);
    s += ")";
  }
  return s + ")";
}

const std::string kOuter = polygon({{{0, 0}, {0, 1000}, {1000, 1000}, {1000, 0}, {0, 0}}});

const std::vector<CutterCase>& cutter_cases() {
  static const std::vector<CutterCase> cases = {
      {"a plain square",
       "cutter.shp", wkbPolygon, 32636, {{"POLYGON " + kOuter, {"A"}}}, "", 0, {},
       {"left", "right", "bottom", "top", "centre", "corner", "far"}},
      {"a line, which the layer picker does not list",
       "cutter.shp", wkbLineString, 32636, {{line({{0, 0}, {1000, 1000}}), {"A"}}}, "", 2,
       {"no polygon layer 'Контур'; the layer picker lists:\n  Листы\n"}, {}},
      {"the point layer, which the layer picker does not list",
       "cutter.shp", wkbPolygon, 32636, {{"POLYGON " + kOuter, {"A"}}}, "--layer 'Точки' --feature left", 2,
       {"no polygon layer 'Точки'; the layer picker lists:\n  Листы\n  Контур\n"}, {}},
      {"a null shape, which the feature picker does not list",
       "cutter.shp", wkbPolygon, 32636, {{"", {"A"}}, {"POLYGON " + kOuter, {"B"}}}, "", 2,
       {"layer 'Контур' has no feature 'A'; the feature picker lists:\n  B"}, {}},
      {"an empty polygon, which the feature picker does not list",
       "cutter.geojson", wkbPolygon, 32636, {{"POLYGON EMPTY", {"A"}}, {"POLYGON " + kOuter, {"B"}}}, "", 2,
       {"layer 'Контур' has no feature 'A'; the feature picker lists:\n  B\n"}, {}},
      {"an empty polygon picked by its object id",
       "cutter.geojson", wkbPolygon, 32636, {{"POLYGON EMPTY", {"A"}}, {"POLYGON " + kOuter, {"B"}}},
       "--layer 'Контур' --feature-id 0", 2, {"layer 'Контур' has no feature 0 that the feature picker lists"}, {}},
      {"a bow-tie, repaired into two triangles",
       "cutter.shp", wkbPolygon, 32636,
       {{"POLYGON " + polygon({{{0, 0}, {1000, 1000}, {1000, 0}, {0, 1000}, {0, 0}}}), {"A"}}}, "", 0, {},
       {"left", "right"}},
      {"a hole",
       "cutter.shp", wkbPolygon, 32636,
       {{"POLYGON " + polygon({{{0, 0}, {0, 1000}, {1000, 1000}, {1000, 0}, {0, 0}},
                               {{400, 400}, {600, 400}, {600, 600}, {400, 600}, {400, 400}}}),
         {"A"}}},
       "", 0, {}, {"left", "right", "bottom", "top", "corner", "far"}},
      {"two parts",
       "cutter.shp", wkbPolygon, 32636,
       {{"MULTIPOLYGON (" + polygon({{{0, 0}, {0, 300}, {300, 300}, {300, 0}, {0, 0}}}) + "," +
             polygon({{{700, 700}, {700, 1000}, {1000, 1000}, {1000, 700}, {700, 700}}}) + ")",
         {"A"}}},
       "", 0, {}, {"corner", "far"}},
      {"no spatial reference in a map that has one",
       "cutter.shp", wkbPolygon, 0, {{"POLYGON " + kOuter, {"A"}}}, "", 0, {},
       {"left", "right", "bottom", "top", "centre", "corner", "far"}},
  };
  return cases;
}

TEST(BadInputCutter, EveryCaseEndsAsExpected) {
  for (const CutterCase& c : cutter_cases()) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    LayerSchema cutter;
    cutter.type = c.type;
    cutter.epsg = c.epsg;
    cutter.fields = {{"NAME", OFTString, 10}};
    write_wkt(s.data() / c.cutter_file, cutter, c.cutter);
    LayerSchema points;
    points.type = wkbPoint;
    points.fields = {{"NAME", OFTString, 10}};
    std::vector<Feature> probe;
    for (const auto& [name, xy] : kPoints) probe.push_back({"POINT (" + at(xy.first, xy.second) + ")", {name}});
    write_wkt(s.data() / "points.shp", points, probe);
    // The document's own cutting layer is not used: "Контур" is the one these cases pick.
    s.write_sheets();
    s.write_document({feature_layer("Контур", "data/" + c.cutter_file, "NAME"),
                      feature_layer("Точки", "data/points.shp", "NAME")});
    const auto before = files_under(s.root());

    const CutResult run = s.cut(c.options.empty() ? "--layer 'Контур' --feature A" : c.options);
    EXPECT_EQ(run.code, c.code) << run.err << run.out;
    for (const std::string& message : c.messages) EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    if (c.code == 0) {
      EXPECT_NE(run.out.find("result document: " + (s.out() / "cross.mxd").string()), std::string::npos) << run.out;
      fixture::LayerContents kept = fixture::read_layer(s.out() / "points.shp");
      std::vector<std::string> names;
      for (const auto& row : kept.rows) names.push_back(row.at("NAME"));
      EXPECT_EQ(names, c.kept);
    } else {
      EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
      // Refused before the run: nothing is written into the result folder.
      EXPECT_TRUE(files_under(s.out()).empty());
    }
    for (const auto& [name, content] : before)
      EXPECT_TRUE(fixture::read_file(s.root() / name) == content) << name << " changed";
  }
}

}  // namespace

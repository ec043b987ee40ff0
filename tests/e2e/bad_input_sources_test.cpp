// `areaclip cut` over damaged or unusual source data: broken shapefile parts, coordinates
// that are not numbers or are huge, empty, null and invalid shapes, a feature of a million
// vertices, text in Windows-1251 and UTF-8, null values, dates, wide numbers and long
// field names. Each case checks the exit code, the messages on standard error and what is
// on disk afterwards; the source data is never written.
#include <gtest/gtest.h>

#include <fstream>
#include <limits>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;
using fixture::Feature;
using fixture::Field;

const std::string kRunFailed = "[Ошибка!] Ошибка при выполнении.";

struct SourceCase {
  std::string name;
  // Writes data/probe.* (the layer "Проба" of the document) and the document.
  std::function<void(Sandbox&)> prepare;
  int code;
  std::vector<std::string> messages;  // each appears on standard error
  std::function<void(const Sandbox&)> check;
};

// The standard document over a probe layer at data/<file>.
void document_over(Sandbox& s, const std::string& file = "probe.shp") {
  s.write_sheets();
  s.write_document({feature_layer("Проба", "data/" + file)});
}

LayerSchema lines(std::vector<Field> fields = {{"NAME", OFTString, 20}}) {
  LayerSchema schema;
  schema.type = wkbLineString;
  schema.fields = std::move(fields);
  return schema;
}

// Three lines crossing feature A: 1000 m of each lies inside it.
void three_lines(Sandbox& s) {
  write_wkt(s.data() / "probe.shp", lines(),
            {{line({{-500, 100}, {1500, 100}}), {"a"}},
             {line({{-500, 500}, {1500, 500}}), {"b"}},
             {line({{-500, 900}, {1500, 900}}), {"c"}}});
}

fixture::LayerContents result(const Sandbox& s) { return fixture::read_layer(s.out() / "probe.shp"); }

void no_result(const Sandbox&) {}

// Every row's value of a field, in order.
std::vector<std::string> column(const fixture::LayerContents& layer, const std::string& field) {
  std::vector<std::string> values;
  for (const auto& row : layer.rows) values.push_back(row.count(field) ? row.at(field) : "(no field)");
  return values;
}

// A text field of the probe in raw bytes, with the .dbf's language driver id and the .cpg
// given ("none": no .cpg).
void raw_text(Sandbox& s, const std::string& bytes, int language_driver, const std::string& cpg = "none") {
  LayerSchema schema = lines();
  schema.encoding = "";
  write_wkt(s.data() / "probe.shp", schema, {{line({{100, 100}, {900, 100}}), {bytes}}});
  set_byte(s.data() / "probe.dbf", 29, static_cast<unsigned char>(language_driver));
  if (cpg != "none") std::ofstream(s.data() / "probe.cpg", std::ios::binary) << cpg;
  document_over(s);
}

const std::vector<SourceCase>& source_cases() {
  static const std::vector<SourceCase> cases = {
      // ---- shapefile parts ----
      {"truncated .shp",
       [](Sandbox& s) {
         three_lines(s);
         truncate_file(s.data() / "probe.shp", fs::file_size(s.data() / "probe.shp") - 20);
         document_over(s);
       },
       1,
       {kRunFailed, "areaclip: cannot read ", "probe.shp: Error in fread() reading object"},
       no_result},
      {"missing .shx",
       [](Sandbox& s) {
         three_lines(s);
         fs::remove(s.data() / "probe.shx");
         document_over(s);
       },
       3,
       {"layer \"Проба\" is not cut: cannot open", "probe.shx"},
       [](const Sandbox& s) { EXPECT_FALSE(fs::exists(s.out() / "probe.shp")); }},
      {"missing .dbf",
       [](Sandbox& s) {
         three_lines(s);
         fs::remove(s.data() / "probe.dbf");
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         // Without its table the layer is shapes only: they are cut, with no attributes.
         fixture::LayerContents out = result(s);
         EXPECT_EQ(out.count, 3);
         EXPECT_NEAR(out.total_length, 3000, 1e-6);
       }},
      {".dbf with fewer records than the .shp",
       [](Sandbox& s) {
         three_lines(s);
         set_dbf_record_count(s.data() / "probe.dbf", 1);
         document_over(s);
       },
       3,
       {"layer \"Проба\" is not cut: ", "probe.shp is damaged: its .dbf holds attributes for 1 of its 3 shapes"},
       [](const Sandbox& s) { EXPECT_FALSE(fs::exists(s.out() / "probe.shp")); }},
      {".dbf with more records than the .shp",
       [](Sandbox& s) {
         three_lines(s);
         set_dbf_record_count(s.data() / "probe.dbf", 5);
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         EXPECT_EQ(column(out, "NAME"), (std::vector<std::string>{"a", "b", "c"}));
       }},
      {"unreadable .prj",
       [](Sandbox& s) {
         three_lines(s);
         std::ofstream(s.data() / "probe.prj", std::ios::binary | std::ios::trunc) << "\x01\x02 not a coordinate system";
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         // A layer without a known coordinate system is taken in the map's.
         fixture::LayerContents out = result(s);
         EXPECT_EQ(out.count, 3);
         EXPECT_NEAR(out.total_length, 3000, 1e-6);
         EXPECT_NE(out.srs_wkt.find("UTM zone 36N"), std::string::npos) << out.srs_wkt;
       }},
      // ---- coordinates ----
      {"NaN coordinates",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines(),
                   {{line({{-500, 100}, {1500, 100}}), {"good"}}, {line({{123, 456}, {700, 700}}), {"nan"}}});
         // The vertex and the record's bounding box.
         EXPECT_EQ(replace_double(s.data() / "probe.shp", 500123, std::numeric_limits<double>::quiet_NaN()), 2);
         document_over(s);
       },
       1,
       {kRunFailed, "feature 1 of", "probe.shp has coordinates that are not finite numbers"},
       no_result},
      {"infinite coordinates",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines(),
                   {{line({{-500, 100}, {1500, 100}}), {"good"}}, {line({{123, 456}, {700, 700}}), {"inf"}}});
         EXPECT_EQ(replace_double(s.data() / "probe.shp", 500123, std::numeric_limits<double>::infinity()), 2);
         document_over(s);
       },
       1,
       {kRunFailed, "feature 1 of", "probe.shp has coordinates that are not finite numbers"},
       no_result},
      {"huge coordinates",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines(),
                   {{"LINESTRING (500500 6000500, 1e300 6000500)", {"long"}},
                    {"LINESTRING (1e300 1e300, 2e300 2e300)", {"far"}},
                    {"LINESTRING (-1e300 6000500, 500500 6000500)", {"back"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         EXPECT_EQ(column(out, "NAME"), (std::vector<std::string>{"long", "back"}));
         EXPECT_NEAR(out.total_length, 1000, 1e-6);
       }},
      {"a feature of a million vertices",
       [](Sandbox& s) {
         write_features(s.data() / "probe.shp", lines(), 1, [](int, OGRFeatureH f) {
           OGR_F_SetFieldString(f, 0, "million");
           OGRGeometryH g = OGR_G_CreateGeometry(wkbLineString);
           const int n = 1000000;
           OGR_G_SetPointCount(g, n);
           // From x = -500 to 1500 along y = 500, every other vertex 1 m off the line.
           for (int i = 0; i < n; ++i)
             OGR_G_SetPoint_2D(g, i, 500000 - 500 + 2000.0 * i / (n - 1), 6000500 + (i % 2));
           OGR_F_SetGeometryDirectly(f, g);
         });
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         ASSERT_EQ(out.count, 1);
         EXPECT_EQ(out.rows[0]["NAME"], "million");
         // Half the vertices lie inside; each step is 1 m up or down and 0.002 m along.
         EXPECT_NEAR(out.total_length, 500000, 2);
       }},
      // ---- shapes ----
      {"empty and null shapes",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines(),
                   {{"", {"null"}}, {"LINESTRING EMPTY", {"empty"}}, {line({{100, 100}, {900, 100}}), {"good"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"good"})); }},
      {"empty shapes in GeoJSON",
       [](Sandbox& s) {
         LayerSchema schema;
         schema.fields = {{"NAME", OFTString, 0}};
         write_wkt(s.data() / "probe.geojson", schema,
                   {{"POLYGON EMPTY", {"empty"}}, {"", {"null"}}, {square(100, 100, 300, 300), {"good"}}});
         document_over(s, "probe.geojson");
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         EXPECT_EQ(column(out, "NAME"), (std::vector<std::string>{"good"}));
         EXPECT_NEAR(out.total_area, 40000, 1e-6);
       }},
      {"invalid polygons are repaired",
       [](Sandbox& s) {
         LayerSchema schema;
         schema.fields = {{"NAME", OFTString, 20}};
         write_wkt(s.data() / "probe.shp", schema,
                   {// bow-tie: two triangles of 40000 m² meeting at (200, 200)
                    {"POLYGON ((" + at(0, 0) + "," + at(400, 400) + "," + at(400, 0) + "," + at(0, 400) + "," +
                         at(0, 0) + "))",
                     {"bow-tie"}},
                    // a ring touching itself at (400, 400): two triangles of 90000 m²
                    {"POLYGON ((" + at(100, 100) + "," + at(700, 100) + "," + at(400, 400) + "," + at(700, 700) +
                         "," + at(100, 700) + "," + at(400, 400) + "," + at(100, 100) + "))",
                     {"self-touching"}},
                    // closed here, opened below: its last point moved 10 m along its last side
                    {square(200, 200, 600, 600), {"unclosed"}}});
         const std::string shp = fixture::read_file(s.data() / "probe.shp");
         double x = 500200;
         const size_t last = shp.rfind(std::string(reinterpret_cast<const char*>(&x), 8));
         ASSERT_NE(last, std::string::npos);
         x = 500210;
         std::string patched = shp;
         patched.replace(last, 8, reinterpret_cast<const char*>(&x), 8);
         std::ofstream(s.data() / "probe.shp", std::ios::binary | std::ios::trunc) << patched;
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         ASSERT_EQ(column(out, "NAME"), (std::vector<std::string>{"bow-tie", "self-touching", "unclosed"}));
         for (const std::string& wkt : out.wkt) {
           OGRGeometryH g = nullptr;
           char* text = const_cast<char*>(wkt.c_str());
           ASSERT_EQ(OGR_G_CreateFromWkt(&text, nullptr, &g), OGRERR_NONE);
           EXPECT_TRUE(OGR_G_IsValid(g)) << wkt;
           OGR_G_DestroyGeometry(g);
         }
         // The unclosed square is closed by its first point, on the line of its last side.
         EXPECT_NEAR(out.total_area, 80000 + 180000 + 160000, 1);
       }},
      // ---- text ----
      {"Windows-1251 text without .cpg",
       [](Sandbox& s) { raw_text(s, "\xCF\xF0\xEE\xE1\xE0 \xB9 1", 0); },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"Проба № 1"})); }},
      {"Windows-1251 text with an empty .cpg",
       [](Sandbox& s) { raw_text(s, "\xCF\xF0\xEE\xE1\xE0", 0, ""); },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"Проба"})); }},
      {"Windows-1252 text declared by the .cpg",
       [](Sandbox& s) { raw_text(s, "\x80 \xE9t\xE9", 0, "1252"); },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"€ été"})); }},
      {"Windows-1251 text declared by the language driver",
       [](Sandbox& s) { raw_text(s, "\xCF\xF0\xEE\xE1\xE0", 201); },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"Проба"})); }},
      {"ISO-8859-1 text declared by the language driver",
       [](Sandbox& s) { raw_text(s, "\xE9t\xE9", 87); },
       0,
       {},
       [](const Sandbox& s) { EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"été"})); }},
      {"UTF-8 text with .cpg",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines({{"NAME", OFTString, 40}}),
                   {{line({{100, 100}, {900, 100}}), {"Проба ünïcödé ✓"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         EXPECT_EQ(column(result(s), "NAME"), (std::vector<std::string>{"Проба ünïcödé ✓"}));
         EXPECT_EQ(fixture::read_file(s.out() / "probe.cpg"), "UTF-8");
       }},
      // ---- values ----
      {"NULL values",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp",
                   lines({{"NAME", OFTString, 20}, {"N", OFTInteger, 6}, {"X", OFTReal, 12, 3}, {"D", OFTDate}}),
                   {{line({{100, 100}, {900, 100}}), {"", "", "", ""}},
                    {line({{100, 200}, {900, 200}}), {"full", "42", "2.5", "2020-05-17"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         ASSERT_EQ(out.count, 2);
         EXPECT_EQ(out.rows[0], (std::map<std::string, std::string>{{"NAME", ""}, {"N", ""}, {"X", ""}, {"D", ""}}));
         EXPECT_EQ(out.rows[1]["NAME"], "full");
         EXPECT_EQ(out.rows[1]["N"], "42");
         EXPECT_DOUBLE_EQ(std::stod(out.rows[1]["X"]), 2.5);
         EXPECT_EQ(out.rows[1]["D"], "2020/05/17");
       }},
      {"dates",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines({{"D", OFTDate}}),
                   {{line({{100, 100}, {900, 100}}), {"2024-02-29"}},
                    {line({{100, 200}, {900, 200}}), {"1899-12-30"}},
                    {line({{100, 300}, {900, 300}}), {"1600-03-01"}},
                    {line({{100, 400}, {900, 400}}), {"9999-12-31"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         EXPECT_EQ(column(result(s), "D"),
                   (std::vector<std::string>{"2024/02/29", "1899/12/30", "1600/03/01", "9999/12/31"}));
       }},
      {"integers beyond 32 bits in a 12-digit field",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.shp", lines({{"N", OFTInteger64, 12}}),
                   {{line({{100, 100}, {900, 100}}), {"-99999999999"}}, {line({{100, 200}, {900, 200}}), {"123456789012"}}});
         document_over(s);
       },
       0,
       {},
       [](const Sandbox& s) {
         EXPECT_EQ(column(result(s), "N"), (std::vector<std::string>{"-99999999999", "123456789012"}));
       }},
      {"numbers of undeclared width that a shapefile field holds",
       [](Sandbox& s) {
         // GeoJSON declares no widths: a real becomes a field of 15 decimals and 16 digits before.
         write_wkt(s.data() / "probe.geojson", lines({{"X", OFTReal}, {"N", OFTInteger64}}),
                   {{line({{100, 100}, {900, 100}}), {"-123456789012345.5", "9007199254740992"}},
                    {line({{100, 200}, {900, 200}}), {"1.5e-12", "-42"}}});
         document_over(s, "probe.geojson");
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         ASSERT_EQ(out.count, 2);
         EXPECT_DOUBLE_EQ(std::stod(out.rows[0]["X"]), -123456789012345.5);
         EXPECT_DOUBLE_EQ(std::stod(out.rows[1]["X"]), 1.5e-12);
         EXPECT_DOUBLE_EQ(std::stod(out.rows[0]["N"]), 9007199254740992.0);
         EXPECT_DOUBLE_EQ(std::stod(out.rows[1]["N"]), -42);
       }},
      {"a number wider than a shapefile field holds",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.geojson", lines({{"BIG", OFTReal}}),
                   {{line({{100, 100}, {900, 100}}), {"1"}}, {line({{100, 200}, {900, 200}}), {"1e+20"}}});
         document_over(s, "probe.geojson");
       },
       1,
       {kRunFailed, "the value 100000000000000000000.000000000000000 does not fit field BIG (width 32)"},
       no_result},
      {"a 64-bit integer beyond what a double holds exactly is written whole",
       [](Sandbox& s) {
         write_wkt(s.data() / "probe.geojson", lines({{"N", OFTInteger64}}),
                   {{line({{100, 100}, {900, 100}}), {"9007199254740993"}}});
         document_over(s, "probe.geojson");
       },
       0,
       {},
       [](const Sandbox& s) {
         // A numeric field of 20 digits without decimals, read as the integers it holds.
         const char* options[] = {"ADJUST_TYPE=YES", nullptr};
         GDALDatasetH ds = GDALOpenEx((s.out() / "probe.shp").c_str(), GDAL_OF_VECTOR, nullptr, options, nullptr);
         ASSERT_TRUE(ds);
         OGRFeatureH f = OGR_L_GetNextFeature(GDALDatasetGetLayer(ds, 0));
         ASSERT_TRUE(f);
         EXPECT_EQ(OGR_F_GetFieldAsInteger64(f, 0), 9007199254740993LL);
         OGR_F_Destroy(f);
         GDALClose(ds);
       }},
      {"field names longer than 10 characters",
       [](Sandbox& s) {
         LayerSchema schema = lines({{"CLASSIFICATION_A", OFTString},
                                 {"CLASSIFICATION_B", OFTString},
                                 {"DESCRIPTION", OFTString},
                                 {"ОПИСАНИЕ_ОБЪЕКТА", OFTString}});
         write_wkt(s.data() / "probe.geojson", schema,
                   {{line({{100, 100}, {900, 100}}), {"a1", "b1", "d1", "о1"}},
                    {line({{100, 200}, {900, 200}}), {"a2", "", "d2", "о2"}}});
         document_over(s, "probe.geojson");
       },
       0,
       {},
       [](const Sandbox& s) {
         fixture::LayerContents out = result(s);
         ASSERT_EQ(out.field_names.size(), 4u);
         EXPECT_EQ(out.field_names[0], "CLASSIFICA");
         EXPECT_EQ(out.field_names[1], "CLASSIFIC1");
         EXPECT_EQ(out.field_names[2], "DESCRIPTIO");
         EXPECT_EQ(out.field_names[3], "ОПИСА");  // 10 bytes of UTF-8
         EXPECT_EQ(column(out, "CLASSIFICA"), (std::vector<std::string>{"a1", "a2"}));
         EXPECT_EQ(column(out, "CLASSIFIC1"), (std::vector<std::string>{"b1", ""}));
         EXPECT_EQ(column(out, "DESCRIPTIO"), (std::vector<std::string>{"d1", "d2"}));
         EXPECT_EQ(column(out, "ОПИСА"), (std::vector<std::string>{"о1", "о2"}));
       }},
  };
  return cases;
}

TEST(BadInputSources, EveryCaseEndsAsExpected) {
  for (const SourceCase& c : source_cases()) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    c.prepare(s);
    const auto before = files_under(s.root());
    const CutResult run = s.cut();
    EXPECT_EQ(run.code, c.code) << run.err << run.out;
    for (const std::string& message : c.messages) EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    if (c.code == 0 || c.code == 3) {
      EXPECT_NE(run.out.find("result document: " + (s.out() / "cross.mxd").string()), std::string::npos) << run.out;
      EXPECT_EQ(fixture::read_layer(s.out() / "sheets.shp").count, 1);
      EXPECT_EQ(run.out.find("  not cut: Проба: ") != std::string::npos, c.code == 3) << run.out;
    } else {
      EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
      EXPECT_FALSE(fs::exists(s.out() / "cross.mxd"));
    }
    // The source data and the document are only read.
    for (const auto& [name, content] : before) {
      if (name.rfind("out/", 0) == 0) continue;
      EXPECT_TRUE(fixture::read_file(s.root() / name) == content) << name << " changed";
    }
    c.check(s);
  }
}

}  // namespace

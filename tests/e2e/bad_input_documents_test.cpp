// `areaclip cut` over map documents that are missing, damaged, of another format or
// version, name layers of unknown kinds or sources that cannot be opened, or live in
// folders whose names hold spaces and Cyrillic letters. Each case checks the exit code, the
// messages on standard error and what is on disk afterwards.
#include <gtest/gtest.h>

#include <fstream>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;

struct DocumentCase {
  std::string name;
  // Writes the inputs; returns the document to open (the sandbox's map.mxd when empty).
  std::function<fs::path(Sandbox&)> prepare;
  int code;
  std::vector<std::string> messages;  // each appears on standard error
  std::function<void(const Sandbox&, const fs::path& document)> check;
  // The result folder (the sandbox's out when empty).
  std::string folder;
};

void write_text(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The standard map: the cutting layer and one line layer "Дороги" crossing feature A.
void write_roads(Sandbox& s) {
  s.write_sheets();
  LayerSchema roads;
  roads.type = wkbLineString;
  roads.fields = {{"NAME", OFTString, 20}};
  write_wkt(s.data() / "roads.shp", roads, {{line({{-500, 500}, {1500, 500}}), {"трасса"}}});
}

fs::path standard_map(Sandbox& s) {
  write_roads(s);
  s.write_document({feature_layer("Дороги", "data/roads.shp", "NAME")});
  return {};
}

void nothing_written(const Sandbox& s, const fs::path&) { EXPECT_FALSE(fs::exists(s.out())); }

// The saved document's text from a layer's name to the next layer's type.
std::string layer_json_of(const std::string& document, const std::string& name) {
  const size_t at = document.find("\"name\": \"" + name + "\"");
  return at == std::string::npos ? std::string() : document.substr(at, document.find("\"type\":", at) - at);
}

const std::vector<DocumentCase>& document_cases() {
  static const std::vector<DocumentCase> cases = {
      {"missing document",
       [](Sandbox& s) {
         write_roads(s);
         return s.root() / "no such map.mxd";
       },
       2,
       {"no such map.mxd\" cannot be read: No such file or directory"},
       nothing_written,
       ""},
      {"not JSON",
       [](Sandbox& s) {
         write_roads(s);
         write_text(s.document(), "<?xml version=\"1.0\"?><map/>\n");
         return fs::path();
       },
       2,
       {"is not a valid map document: bad JSON at line 1, column 1"},
       nothing_written,
       ""},
      {"empty file",
       [](Sandbox& s) {
         write_text(s.document(), " \n");
         return fs::path();
       },
       2,
       {"is empty"},
       nothing_written,
       ""},
      {"a folder, not a file",
       [](Sandbox& s) {
         fs::create_directories(s.root() / "folder.mxd");
         return s.root() / "folder.mxd";
       },
       2,
       {"is a folder, not a map document"},
       nothing_written,
       ""},
      {"another format",
       [](Sandbox& s) {
         write_text(s.document(), "{\"format\": \"qgis-project\", \"version\": 3, \"layers\": []}\n");
         return fs::path();
       },
       2,
       {"is not an areaclip map document (its format is \"qgis-project\", not \"areaclip-map\")"},
       nothing_written,
       ""},
      {"JSON without a format",
       [](Sandbox& s) {
         write_text(s.document(), "[1, 2, 3]\n");
         return fs::path();
       },
       2,
       {"is not a map document: the JSON text is not an object"},
       nothing_written,
       ""},
      {"newer version",
       [](Sandbox& s) {
         standard_map(s);
         std::string text = fixture::read_file(s.document());
         text.replace(text.find("\"version\": 1"), 12, "\"version\": 9");
         write_text(s.document(), text);
         return fs::path();
       },
       2,
       {"was written by a newer version of the program (document version 9; this program reads version 1"},
       nothing_written,
       ""},
      {"truncated",
       [](Sandbox& s) {
         standard_map(s);
         const std::string text = fixture::read_file(s.document());
         write_text(s.document(), text.substr(0, text.size() / 2));
         return fs::path();
       },
       2,
       {"is cut short: the JSON text ends before the document is complete"},
       nothing_written,
       ""},
      {"layers that are not a list",
       [](Sandbox& s) {
         write_text(s.document(),
                    "{\"format\": \"areaclip-map\", \"version\": 1, \"maps\": [{\"name\": \"m\", \"layers\": 5}]}\n");
         return fs::path();
       },
       2,
       {"is not valid", "maps[0].layers"},
       nothing_written,
       ""},
      {"unknown layer kinds are kept",
       [](Sandbox& s) {
         write_roads(s);
         s.write_document(
             {R"({"type": "tin", "name": "Рельеф", "source": {"path": "data/relief.tin"}, "z_factor": 2.5})",
              R"({"type": "annotation_class", "name": "Подписи", "visible": false})",
              feature_layer("Дороги", "data/roads.shp", "NAME")});
         return fs::path();
       },
       0,
       {},
       [](const Sandbox& s, const fs::path&) {
         EXPECT_EQ(fixture::read_layer(s.out() / "roads.shp").count, 1);
         const std::string result = fixture::read_file(s.out() / "cross.mxd");
         EXPECT_NE(layer_json_of(result, "Рельеф").find("\"z_factor\": 2.5"), std::string::npos) << result;
         EXPECT_NE(result.find("\"type\": \"tin\""), std::string::npos);
         EXPECT_NE(result.find("\"type\": \"annotation_class\""), std::string::npos);
         EXPECT_NE(result.find((s.data() / "relief.tin").string()), std::string::npos);
       },
       ""},
      {"missing source",
       [](Sandbox& s) {
         write_roads(s);
         s.write_document(
             {feature_layer("Реки", "data/rivers.shp", "NAME"), feature_layer("Дороги", "data/roads.shp", "NAME")});
         return fs::path();
       },
       3,
       {"layer \"Реки\" is not cut: cannot open", "rivers.shp: the file does not exist"},
       [](const Sandbox& s, const fs::path&) {
         EXPECT_EQ(fixture::read_layer(s.out() / "roads.shp").count, 1);
         EXPECT_FALSE(fs::exists(s.out() / "rivers.shp"));
         // The layer keeps naming its source, now by its full path.
         const std::string result = fixture::read_file(s.out() / "cross.mxd");
         EXPECT_NE(layer_json_of(result, "Реки").find((s.data() / "rivers.shp").string()), std::string::npos) << result;
       },
       ""},
      {"unreadable source",
       [](Sandbox& s) {
         write_roads(s);
         write_text(s.data() / "rivers.shp", std::string(300, '\x7F'));
         write_text(s.data() / "rivers.shx", std::string(300, '\x7F'));
         s.write_document(
             {feature_layer("Реки", "data/rivers.shp", "NAME"), feature_layer("Дороги", "data/roads.shp", "NAME")});
         return fs::path();
       },
       3,
       {"layer \"Реки\" is not cut: cannot open", "rivers.shp: not a vector data source that GDAL reads"},
       [](const Sandbox& s, const fs::path&) {
         EXPECT_EQ(fixture::read_layer(s.out() / "roads.shp").count, 1);
         EXPECT_FALSE(fs::exists(s.out() / "rivers.shp"));
         EXPECT_EQ(fixture::read_file(s.data() / "rivers.shp"), std::string(300, '\x7F'));
       },
       ""},
      {"spaces and Cyrillic letters in every path",
       [](Sandbox& s) {
         const fs::path folder = s.root() / "Карты и схемы" / "Лист М-36";
         s.write_sheets();
         fs::create_directories(folder);
         fs::rename(s.data(), folder / "исходные данные");
         LayerSchema roads;
         roads.type = wkbLineString;
         roads.fields = {{"NAME", OFTString, 20}};
         write_wkt(folder / "исходные данные" / "дороги и тропы.shp", roads,
                   {{line({{-500, 500}, {1500, 500}}), {"тропа"}}});
         std::string text = "{\"format\": \"areaclip-map\", \"version\": 1, \"maps\": [{\"name\": \"Карта\", "
                            "\"spatial_reference\": \"EPSG:32636\", \"layers\": [" +
                            feature_layer("Листы", "исходные данные/sheets.shp", "NAME") + ", " +
                            feature_layer("Дороги и тропы", "исходные данные/дороги и тропы.shp", "NAME") + "]}]}";
         write_text(folder / "карта района.mxd", text);
         return folder / "карта района.mxd";
       },
       0,
       {},
       [](const Sandbox& s, const fs::path&) {
         const fs::path out = s.root() / "Результаты работ" / "вырезка 1";
         fixture::LayerContents roads = fixture::read_layer(out / "дороги и тропы.shp");
         ASSERT_EQ(roads.count, 1);
         EXPECT_EQ(roads.rows[0]["NAME"], "тропа");
         EXPECT_NEAR(roads.total_length, 1000, 1e-6);
         const std::string result = fixture::read_file(out / "cross.mxd");
         EXPECT_NE(result.find("\"path\": \"дороги и тропы.shp\""), std::string::npos) << result;
       },
       "Результаты работ/вырезка 1"},
      {"a result folder the ANSI code page cannot name",
       standard_map,
       2,
       {"has characters the ANSI code page (1251) cannot hold"},
       [](const Sandbox& s, const fs::path&) { EXPECT_FALSE(fs::exists(s.root() / "結果")); },
       "結果"},
  };
  return cases;
}

TEST(BadInputDocuments, EveryCaseEndsAsExpected) {
  for (const DocumentCase& c : document_cases()) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    fs::path document = c.prepare(s);
    if (document.empty()) document = s.document();
    const auto before = files_under(s.root());
    const fs::path folder = c.folder.empty() ? s.out() : s.root() / c.folder;
    const CutResult run = s.cut("--layer 'Листы' --feature A", folder, document);
    EXPECT_EQ(run.code, c.code) << run.err << run.out;
    for (const std::string& message : c.messages) EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    if (c.code == 0 || c.code == 3) {
      EXPECT_NE(run.out.find("result document: " + (folder / "cross.mxd").string()), std::string::npos) << run.out;
      // A layer left out is named in the summary, and only then is the exit status 3.
      EXPECT_EQ(run.out.find("  not cut: ") != std::string::npos, c.code == 3) << run.out;
    } else {
      EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
      EXPECT_FALSE(fs::exists(folder / "cross.mxd"));
    }
    // Whatever the outcome, the inputs are as they were.
    for (const auto& [name, content] : before) {
      EXPECT_EQ(fixture::read_file(s.root() / name), content) << name << " changed";
    }
    c.check(s, document);
  }
}

}  // namespace

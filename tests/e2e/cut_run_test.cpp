// The cut run end to end on the real stand-in: a fixture map is opened in the application,
// cut to one polygon, and what lands on disk is read back with GDAL.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include <gis/document.h>
#include <gis/gis.h>
#include <win32/com_object.h>
#include <win32/text.h>

#include "cut_session.h"
#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;
using fixture::Feature;
using fixture::Field;
using win32::Bstr;
using win32::ComPtr;

// The text every layer's progress line starts with, in Windows-1251.
const std::string kProcessing = "\xCE\xE1\xF0\xE0\xE1\xE0\xF2\xFB\xE2\xE0\xE5\xF2\xF1\xFF: ";

// Map coordinates: EPSG:32636 around (500000, 6000000); the cutting square is 0..1000.
std::string at(double x, double y) { return std::to_string(500000 + x) + " " + std::to_string(6000000 + y); }
std::string square(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + at(x0, y0) + "," + at(x0, y1) + "," + at(x1, y1) + "," + at(x1, y0) + "," + at(x0, y0) +
         "))";
}
std::string line(std::vector<std::pair<double, double>> points) {
  std::string s = "LINESTRING (";
  for (size_t i = 0; i < points.size(); ++i) s += (i ? "," : "") + at(points[i].first, points[i].second);
  return s + ")";
}

// The 22 layer codes a dataset name may begin with.
const char* const kLayerCodes[] = {"BASE", "OVER", "RMET", "ALTR", "TECT", "STRC", "ISLN", "VOLC",
                                   "TECH", "BEDD", "ROBS", "OOBS", "STRA", "PETR", "DRUD", "DPLC",
                                   "PANN", "CHEM", "PHYS", "MFA2", "SECT", "DNET"};

class CutRun : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    data_ = dir_.path() / "data";
    write_sources();
    write_document(default_layers());
  }

  void TearDown() override {
    app_.reset();
    SetErrorInfo(0, nullptr);  // the thread's last error object is not a leak
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  void write_sources() {
    fixture::write_layer(data_ / "sheets.shp", wkbPolygon, 32636, {{"NOMENCL", OFTString, 20}},
                         {{square(0, 0, 1000, 1000), {"N-36-1"}}, {square(5000, 0, 6000, 1000), {"N-36-2"}}});
    fixture::write_layer(
        data_ / "roads.shp", wkbLineString, 32636, {{"NAME", OFTString, 30}, {"LANES", OFTInteger, 4}},
        {{line({{-500, 500}, {1500, 500}}), {"\xD0\xB0\xD0\xB1", "2"}},  // crosses: 1000 m inside
         {line({{200, 200}, {800, 200}}), {"inner", "1"}},               // inside: 600 m
         {line({{2000, 0}, {3000, 0}}), {"far", "4"}},                   // outside
         {line({{500, 500}, {1500, 500}, {1500, 700}, {500, 700}}), {"u-turn", "1"}}});  // out and back: 2 parts
    fixture::write_layer(data_ / "geology.shp", wkbPolygon, 32636,
                         {{"KIND", OFTString, 20}, {"AREA_M", OFTReal, 24, 15}},
                         {{square(100, 100, 300, 300), {"\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x82", "40000"}},
                          {square(900, 900, 1100, 1100), {"sand", "12345678.5"}},
                          {square(3000, 3000, 3100, 3100), {"clay", "10000"}}});
    double lon_in, lat_in, lon_out, lat_out;
    fixture::utm36_to_lonlat(500500, 6000500, &lon_in, &lat_in);
    fixture::utm36_to_lonlat(520000, 6020000, &lon_out, &lat_out);
    fixture::write_layer(data_ / "wells_wgs.shp", wkbPoint, 4326, {{"NO", OFTInteger, 5}},
                         {{"POINT (" + std::to_string(lon_in) + " " + std::to_string(lat_in) + ")", {"1"}},
                          {"POINT (" + std::to_string(lon_out) + " " + std::to_string(lat_out) + ")", {"2"}}});
    fixture::write_layer(data_ / "BASE_geology.shp", wkbPolygon, 32636, {{"K", OFTString, 5}},
                         {{square(10, 10, 20, 20), {"a"}}});
    fixture::write_layer(data_ / "TECT_faults.shp", wkbLineString, 32636, {{"K", OFTString, 5}},
                         {{line({{10, 10}, {20, 20}}), {"f"}}});
    fixture::write_layer(data_ / "far_points.shp", wkbPoint, 32636, {{"ID", OFTInteger, 5}},
                         {{"POINT (" + at(9000, 9000) + ")", {"7"}}});
  }

  static std::string feature_layer(const std::string& name, const std::string& source,
                                   const std::string& renderer = "") {
    return R"({"type": "feature", "name": ")" + name + R"(", "visible": true, "source": {"path": ")" + source +
           R"(", "layer": null})" + (renderer.empty() ? "" : ", \"renderer\": " + renderer) + "}";
  }

  static std::string default_layers() {
    return feature_layer("sheets", "data/sheets.shp") + ",\n" +
           feature_layer("roads", "data/roads.shp") + ",\n" +
           feature_layer("geology", "data/geology.shp",
                         R"({"type": "unique_value", "fields": ["KIND:X"], "field_delimiter": ",",
                             "default_symbol": {"type": "fill", "color": "#808080"}, "values": []})") +
           ",\n" + feature_layer("wells", "data/wells_wgs.shp") + ",\n" +
           feature_layer("base", "data/BASE_geology.shp") + ",\n" + feature_layer("faults", "data/TECT_faults.shp") +
           ",\n" + feature_layer("far", "data/far_points.shp") + ",\n" +
           R"({"type": "group", "name": "Group", "layers": [)" + feature_layer("roads again", "data/roads.shp") +
           "]},\n" + R"({"type": "raster", "name": "Relief", "source": {"path": "relief.tif"}})";
  }

  void write_document(const std::string& layers, const std::string& map_sr = "\"EPSG:32636\"") {
    std::ofstream(doc_path()) << R"({"format": "areaclip-map", "version": 1, "title": "fixture", "focus_map": 0,
  "maps": [
    {"name": "Layers", "spatial_reference": )" + map_sr + R"(, "extent": [499000, 5999000, 502000, 6002000],
     "layers": [)" + layers + R"(],
     "graphics": {"elements": [
        {"type": "text", "text": "inside", "geometry": {"type": "Point", "coordinates": [500500, 6000500]}},
        {"type": "text", "text": "outside", "geometry": {"type": "Point", "coordinates": [505000, 6005000]}},
        {"type": "line", "geometry": {"type": "LineString", "coordinates": [[500500, 6000500], [502000, 6000500]]}}],
      "layers": [{"name": "notes", "elements": [
        {"type": "text", "text": "far note", "geometry": {"type": "Point", "coordinates": [509000, 6009000]}},
        {"type": "text", "text": "near note", "geometry": {"type": "Point", "coordinates": [500100, 6000100]}}]}]}},
    {"name": "Overview", "spatial_reference": "EPSG:32636", "extent": [499000, 5999000, 502000, 6002000],
     "layers": [)" + feature_layer("roads", "data/roads.shp") + R"(],
     "graphics": {"elements": [
        {"type": "text", "text": "overview far", "geometry": {"type": "Point", "coordinates": [509000, 6009000]}}],
      "layers": []}}],
  "page_layout": {}})";
  }

  fs::path doc_path() const { return dir_.path() / "map.mxd"; }
  fs::path out() const { return dir_.path() / "out"; }


  // Opens the document and runs a cut to feature oid of layer into folder.
  int cut(const std::string& layer_name, LONG oid, const fs::path& folder) {
    cut_session::OpenDocument open = cut_session::open(doc_path(), dir_.path() / "templates");
    app_ = open.app;
    ComPtr<IFeature> feature = cut_session::feature_of(open.focus_map.get(), layer_name, oid);
    return cut_session::run_cut(app_.get(), open.document.get(), feature.get(), folder, &progress_);
  }

  // The saved result document's feature layers: name → source path.
  std::map<std::string, std::string> result_sources(int map_index = 0) {
    std::string error;
    ComPtr<IMxDocument> saved = gis::LoadDocument((out() / "cross.mxd").string(), &error);
    EXPECT_TRUE(saved) << error;
    std::map<std::string, std::string> sources;
    if (!saved) return sources;
    ComPtr<IMaps> maps;
    saved->get_Maps(maps.put());
    ComPtr<IMap> map;
    maps->get_Item(map_index, map.put());
    ComPtr<IEnumLayer> layers;
    map->get_Layers(nullptr, VARIANT_TRUE, layers.put());
    ComPtr<ILayer> layer;
    while (layers->Next(layer.put()) == S_OK) {
      gis::LayerSource source;
      Bstr n;
      layer->get_Name(n.put());
      if (gis::GetLayerSource(layer.get(), &source)) sources[n.utf8()] = source.path;
    }
    return sources;
  }

  testing_support::TempDir dir_;
  fs::path data_;
  ComPtr<IApplication> app_;
  cut_session::ProgressRecorder progress_;
  long alive_ = 0;
};

TEST_F(CutRun, ClipsEveryFeatureLayerIntoItsShapefile) {
  std::string before = fixture::read_file(doc_path());
  ASSERT_EQ(cut("sheets", 0, out()), 0);

  auto roads = fixture::read_layer(out() / "roads.shp");
  ASSERT_TRUE(roads.exists);
  ASSERT_EQ(roads.count, 3);
  EXPECT_NEAR(roads.total_length, 1000 + 600 + 500 + 500, 1e-6);
  EXPECT_EQ(roads.rows[0].at("NAME"), "\xD0\xB0\xD0\xB1");  // Cyrillic text kept (UTF-8 on disk)
  EXPECT_EQ(roads.rows[0].at("LANES"), "2");
  EXPECT_NE(roads.wkt[2].find("MULTILINESTRING"), std::string::npos) << roads.wkt[2];

  auto geology = fixture::read_layer(out() / "geology.shp");
  ASSERT_EQ(geology.count, 2);
  EXPECT_NEAR(geology.total_area, 40000 + 10000, 1e-6);
  EXPECT_EQ(geology.rows[1].at("KIND"), "sand");
  EXPECT_EQ(geology.rows[1].at("AREA_M").substr(0, 10), "12345678.5");

  auto wells = fixture::read_layer(out() / "wells_wgs.shp");
  ASSERT_EQ(wells.count, 1);
  EXPECT_NE(wells.wkt[0].find("5005"), std::string::npos) << "projected into the map's system: " << wells.wkt[0];
  EXPECT_NE(wells.srs_wkt.find("UTM zone 36N"), std::string::npos);

  auto far = fixture::read_layer(out() / "far_points.shp");
  EXPECT_TRUE(far.exists);
  EXPECT_EQ(far.count, 0);
  EXPECT_NE(std::find(far.field_names.begin(), far.field_names.end(), "ID"), far.field_names.end());

  EXPECT_EQ(fixture::read_layer(out() / "BASE" / "BASE_geology.shp").count, 1);
  EXPECT_EQ(fixture::read_layer(out() / "TECT" / "TECT_faults.shp").count, 1);
  EXPECT_EQ(fixture::read_layer(out() / "roads_1.shp").count, 3);  // the same dataset in the group
  EXPECT_EQ(fixture::read_layer(out() / "sheets.shp").count, 1);

  // The document the user opened is untouched; the sources were only read.
  EXPECT_EQ(fixture::read_file(doc_path()), before);
  EXPECT_EQ(fixture::read_layer(data_ / "roads.shp").count, 4);
}

TEST_F(CutRun, ResultDocumentPointsAtTheClippedData) {
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  auto sources = result_sources(0);
  EXPECT_EQ(fs::path(sources["roads"]), out() / "roads.shp");
  EXPECT_EQ(fs::path(sources["roads again"]), out() / "roads_1.shp");  // nested in the group, in place
  EXPECT_EQ(fs::path(sources["base"]), out() / "BASE" / "BASE_geology.shp");
  EXPECT_EQ(fs::path(sources["wells"]), out() / "wells_wgs.shp");
  // The second data frame still draws what it drew before.
  auto overview = result_sources(1);
  EXPECT_EQ(fs::path(overview["roads"]), data_ / "roads.shp");

  std::string saved = fixture::read_file(out() / "cross.mxd");
  EXPECT_NE(saved.find("KIND.X"), std::string::npos) << "unique-value field names normalised";
  EXPECT_EQ(saved.find("KIND:X"), std::string::npos);
  EXPECT_NE(saved.find("\"inside\""), std::string::npos);
  EXPECT_EQ(saved.find("\"outside\""), std::string::npos);
  EXPECT_NE(saved.find("LineString"), std::string::npos) << "an element crossing the border stays whole";
  EXPECT_NE(saved.find("near note"), std::string::npos);
  EXPECT_EQ(saved.find("far note"), std::string::npos) << "nested graphics layers are cleaned too";
  EXPECT_NE(saved.find("overview far"), std::string::npos) << "other data frames keep their graphics";
}

TEST_F(CutRun, EveryLayerCodeLeadsToItsFolder) {
  // Dataset name -> the folder its shapefile lands in ("" for the result folder itself).
  std::vector<std::pair<std::string, std::string>> expected;
  for (const std::string code : kLayerCodes) {
    std::string lower = code;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    expected.push_back({code + "_upper", code});
    expected.push_back({lower + "_lower", code});
  }
  // Names that only look like a code.
  for (const char* name : {"DNE_x", "DNEX_x", "BASIN", "xDNET_x", "_BASE_x", "DNET"}) expected.push_back({name, ""});

  std::string layers = feature_layer("sheets", "data/sheets.shp");
  for (const auto& [name, folder] : expected) {
    fixture::write_layer(data_ / (name + ".shp"), wkbPoint, 32636, {{"N", OFTInteger, 3}},
                         {{"POINT (" + at(500, 500) + ")", {"1"}}});
    layers += ",\n" + feature_layer(name, "data/" + name + ".shp");
  }
  write_document(layers);
  ASSERT_EQ(cut("sheets", 0, out()), 0);

  auto sources = result_sources();
  for (const auto& [name, folder] : expected) {
    SCOPED_TRACE(name);
    const fs::path path = (folder.empty() ? out() : out() / folder) / (name + ".shp");
    EXPECT_EQ(fixture::read_layer(path).count, 1) << path;
    EXPECT_EQ(fs::path(sources[name]), path);
  }
  std::set<std::string> folders;
  for (const auto& entry : fs::directory_iterator(out()))
    if (entry.is_directory()) folders.insert(entry.path().filename().string());
  EXPECT_EQ(folders, std::set<std::string>(std::begin(kLayerCodes), std::end(kLayerCodes)));
}

TEST_F(CutRun, ReportsProgressPerLayerAndFeature) {
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  ASSERT_GE(progress_.texts.size(), 2u);
  EXPECT_EQ(progress_.texts[0], kProcessing + "sheets");
  EXPECT_EQ(progress_.texts[1], kProcessing + "roads");
  // sheets has 2 features, roads 4: 50, 100, then 25, 50, 75, 100.
  ASSERT_GE(progress_.positions.size(), 6u);
  EXPECT_EQ(std::vector<int>(progress_.positions.begin(), progress_.positions.begin() + 6),
            (std::vector<int>{50, 100, 25, 50, 75, 100}));
}

TEST_F(CutRun, SevenFeaturesReportSevenSteps) {
  std::vector<Feature> seven;
  for (int i = 0; i < 7; ++i) seven.push_back({"POINT (" + at(100 + i, 100) + ")", {std::to_string(i)}});
  fixture::write_layer(data_ / "seven.shp", wkbPoint, 32636, {{"N", OFTInteger, 3}}, seven);
  write_document(feature_layer("sheets", "data/sheets.shp") + "," + feature_layer("seven", "data/seven.shp"));
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  ASSERT_GE(progress_.positions.size(), 7u);
  std::vector<int> last(progress_.positions.end() - 7, progress_.positions.end());
  EXPECT_EQ(last, (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));
  EXPECT_EQ(fixture::read_layer(out() / "seven.shp").count, 7);
}

TEST_F(CutRun, PolylineCuttingFeatureFailsBeforeAnyOutput) {
  EXPECT_EQ(cut("roads", 0, out()), 1);
  EXPECT_FALSE(fs::exists(out()));
  EXPECT_TRUE(progress_.texts.empty());
}

TEST_F(CutRun, ResultFolderThatCannotBeMadeFails) {
  std::ofstream(dir_.path() / "plain_file") << "x";
  EXPECT_EQ(cut("sheets", 0, dir_.path() / "plain_file" / "out"), 1);
}

TEST_F(CutRun, ExistingShapefilesInTheFolderAreNotOverwritten) {
  fs::create_directories(out());
  fixture::write_layer(out() / "roads.shp", wkbPoint, 32636, {{"MINE", OFTInteger, 3}}, {{"POINT (0 0)", {"1"}}});
  std::string mine = fixture::read_file(out() / "roads.dbf");
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  EXPECT_EQ(fixture::read_file(out() / "roads.dbf"), mine);
  EXPECT_EQ(fixture::read_layer(out() / "roads_1.shp").count, 3);
  EXPECT_EQ(fixture::read_layer(out() / "roads_2.shp").count, 3);
  EXPECT_EQ(fs::path(result_sources()["roads"]), out() / "roads_1.shp");
}

TEST_F(CutRun, OnlyTheCuttingLayerIsWritten) {
  write_document(feature_layer("sheets", "data/sheets.shp"));
  // Cut with the sheets layer, then check that only it was written.
  ASSERT_EQ(cut("sheets", 1, out()), 0);
  EXPECT_EQ(fixture::read_layer(out() / "sheets.shp").count, 1);
  EXPECT_TRUE(fs::exists(out() / "cross.mxd"));
}

TEST_F(CutRun, MapWithoutSpatialReferenceIsNotProjected) {
  write_document(feature_layer("sheets", "data/sheets.shp") + "," + feature_layer("roads", "data/roads.shp"),
                 "null");
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  EXPECT_EQ(fixture::read_layer(out() / "roads.shp").count, 3);
  // Not projected, and still in the system its source names.
  EXPECT_EQ(fixture::read_layer(out() / "roads.shp").srs_wkt, fixture::read_layer(data_ / "roads.shp").srs_wkt);
}

}  // namespace

namespace {

TEST_F(CutRun, ATextLongerThanItsFieldIsCutAtACharacterBoundary) {
  // A GeoPackage text of 301 bytes ("n" and 150 two-byte letters) in a shapefile's 254-byte
  // column: byte 254 is inside a letter, so 253 bytes are kept.
  std::string text = "n";
  for (int i = 0; i < 150; ++i) text += "я";
  ASSERT_EQ(text.size(), 301u);
  fixture::write_layer(data_ / "notes.gpkg", wkbPoint, 32636, {{"NOTE", OFTString}},
                       {{"POINT (" + at(500, 500) + ")", {text}}});
  write_document(feature_layer("sheets", "data/sheets.shp") + "," + feature_layer("notes", "data/notes.gpkg"));
  ASSERT_EQ(cut("sheets", 0, out()), 0);
  fixture::LayerContents notes = fixture::read_layer(out() / "notes.shp");
  ASSERT_EQ(notes.count, 1);
  EXPECT_EQ(notes.rows[0]["NOTE"], text.substr(0, 253));
}

}  // namespace

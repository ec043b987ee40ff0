// What a cut does to the open document: the fields its renderers and display field name
// follow the shapefile's shortened names, and a run that fails after it began to rework the
// document leaves the document, its files and the result folder as they were before.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <gis/core.h>
#include <gis/document.h>
#include <gis/gis.h>
#include <gis/render.h>
#include <win32/com_object.h>
#include <win32/text.h>

#include "cut_session.h"
#include "fixture.h"
#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;
using win32::ComPtr;

std::string at(double x, double y) { return std::to_string(500000 + x) + " " + std::to_string(6000000 + y); }
std::string square(double x0, double y0, double x1, double y1) {
  return "POLYGON ((" + at(x0, y0) + "," + at(x0, y1) + "," + at(x1, y1) + "," + at(x1, y0) + "," + at(x0, y0) +
         "))";
}

// Three classes of geology, each its own colour; the default symbol grey.
const char* const kClassColours[] = {"#d03020", "#20a040", "#2040d0"};
const char kDefaultColour[] = "#808080";

std::string fill(const std::string& colour) { return R"({"type": "fill", "color": ")" + colour + R"("})"; }

std::string text_element(const std::string& text, double x, double y) {
  return R"({"type": "text", "text": ")" + text + R"(", "geometry": {"type": "Point", "coordinates": [)" +
         std::to_string(500000 + x) + ", " + std::to_string(6000000 + y) + "]}}";
}

class CutDocument : public testing::Test {
 protected:
  void SetUp() override {
    alive_ = win32::ComObjectsAlive();
    const fs::path data = dir_.path() / "data";
    fixture::write_layer(data / "sheets.shp", wkbPolygon, 32636, {{"NOMENCL", OFTString, 20}},
                         {{square(0, 0, 1000, 1000), {"N-36-1"}}});
    // Field names a shapefile shortens: GEOLOGY_KIND_CODE -> GEOLOGY_KI, GEOLOGY_KIND_NAME ->
    // GEOLOGY_K1 (the short names would collide), THICKNESS_METRES -> THICKNESS_.
    fixture::write_layer(data / "geology.gpkg", wkbPolygon, 32636,
                         {{"GEOLOGY_KIND_CODE", OFTString, 10},
                          {"GEOLOGY_KIND_NAME", OFTString, 30},
                          {"THICKNESS_METRES", OFTReal, 10, 2}},
                         {{square(100, 100, 200, 200), {"a", "granite", "5"}},
                          {square(300, 300, 400, 400), {"b", "sand", "50"}},
                          {square(500, 500, 600, 600), {"c", "clay", "500"}},
                          {square(700, 100, 800, 200), {"b", "sand", "7"}},
                          {square(3000, 3000, 3100, 3100), {"a", "granite", "1"}}});
    std::string values;
    const char* kinds[] = {"a", "b", "c"};
    for (int i = 0; i < 3; ++i)
      values += std::string(i ? ", " : "") + R"({"value": ")" + kinds[i] + R"(", "label": ")" + kinds[i] +
                R"(", "symbol": )" + fill(kClassColours[i]) + "}";
    const std::string unique = R"({"type": "unique_value", "fields": ["geology_kind_code"], "field_delimiter": ",",
        "default_symbol": )" + fill(kDefaultColour) + R"(, "values": [)" + values + "]}";
    const std::string breaks = R"({"type": "class_breaks", "field": "THICKNESS_METRES", "breaks": [
        {"max": 10, "label": "thin", "symbol": )" + fill("#111111") + R"(},
        {"max": 1000, "label": "thick", "symbol": )" + fill("#eeeeee") + "}]}";
    const std::string layers =
        feature_layer("sheets", "data/sheets.shp", "NOMENCL") + ", " +
        feature_layer("geology", "data/geology.gpkg", "GEOLOGY_KIND_NAME", unique) + ", " +
        R"({"type": "group", "name": "more", "layers": [)" +
        feature_layer("thickness", "data/geology.gpkg", "THICKNESS_METRES", breaks) + "]}";
    std::ofstream(doc_path()) << R"({"format": "areaclip-map", "version": 1, "title": "fields", "focus_map": 0,
  "maps": [{"name": "Layers", "spatial_reference": "EPSG:32636", "extent": [499000, 5999000, 504000, 6004000],
     "layers": [)" + layers + R"(],
     "graphics": {"elements": [)" + text_element("inside", 500, 500) + ", " + text_element("outside", 5000, 5000) +
                                    ", " + text_element("inside too", 900, 900) + R"(],
       "layers": [{"name": "notes", "elements": [)" + text_element("far note", 9000, 9000) + ", " +
                                    text_element("near note", 100, 100) + R"(]}]}}],
  "page_layout": {}})";
  }

  void TearDown() override {
    app_.reset();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(win32::ComObjectsAlive(), alive_) << "COM objects left alive";
  }

  static std::string feature_layer(const std::string& name, const std::string& source, const std::string& display,
                                   const std::string& renderer = "") {
    return R"({"type": "feature", "name": ")" + name + R"(", "visible": true, "source": {"path": ")" + source +
           R"(", "layer": null}, "display_field": ")" + display + "\"" +
           (renderer.empty() ? "" : ", \"renderer\": " + renderer) + "}";
  }

  fs::path doc_path() const { return dir_.path() / "map.mxd"; }
  fs::path out() const { return dir_.path() / "out"; }

  void open() { app_ = cut_session::open(doc_path(), dir_.path() / "templates").app; }

  ComPtr<IMxDocument> open_document() const {
    ComPtr<IDocument> document;
    app_->get_Document(document.put());
    return document.as<IMxDocument>();
  }

  // Cuts the open document to the sheet into folder.
  int cut(const fs::path& folder) {
    ComPtr<IMxDocument> mx = open_document();
    ComPtr<IMap> map;
    mx->get_FocusMap(map.put());
    ComPtr<IFeature> sheet = cut_session::feature_of(map.get(), "sheets", 0);
    return cut_session::run_cut(app_.get(), mx.get(), sheet.get(), folder, nullptr);
  }

  // The open document as it would be written into `as` (sources relative to its folder),
  // and its file.
  std::string open_document_text(const fs::path& as) const {
    ComPtr<IMxDocument> mx = open_document();
    std::string error;
    EXPECT_TRUE(gis::SaveDocument(mx.get(), as.string(), &error)) << error;
    return fixture::read_file(as) + "\nfile: " + gis::DocumentPath(mx.get());
  }

  testing_support::TempDir dir_;
  ComPtr<IApplication> app_;
  long alive_ = 0;
};

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string svg_of(IMxDocument* document) {
  gis::RenderOptions options;
  options.legend = false;
  return gis::RenderDocumentSvg(document, options);
}

TEST_F(CutDocument, RenderersAndDisplayFieldsNameTheFieldsAsTheShapefileHoldsThem) {
  open();
  const std::string original = svg_of(open_document().get());
  ASSERT_EQ(cut(out()), 0);

  std::string error;
  ComPtr<IMxDocument> result = gis::LoadDocument((out() / "cross.mxd").string(), &error);
  ASSERT_TRUE(result) << error;
  const std::string text = fixture::read_file(out() / "cross.mxd");
  EXPECT_NE(text.find("\"GEOLOGY_KI\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"display_field\": \"GEOLOGY_K1\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"field\": \"THICKNESS_\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"display_field\": \"THICKNESS_\""), std::string::npos) << text;
  EXPECT_EQ(text.find("GEOLOGY_KIND"), std::string::npos) << text;

  // Each feature is drawn with its class's symbol, as the original drew it; the one outside
  // the sheet (class "a", thin) is gone.
  const std::string clipped = svg_of(result.get());
  const std::vector<std::pair<std::string, size_t>> original_counts = {
      {kClassColours[0], 2}, {kClassColours[1], 2}, {kClassColours[2], 1}, {kDefaultColour, 0},
      {"#111111", 3},        {"#eeeeee", 2}};
  const std::vector<std::pair<std::string, size_t>> clipped_counts = {
      {kClassColours[0], 1}, {kClassColours[1], 2}, {kClassColours[2], 1}, {kDefaultColour, 0},
      {"#111111", 2},        {"#eeeeee", 2}};
  for (size_t i = 0; i < original_counts.size(); ++i) {
    SCOPED_TRACE(original_counts[i].first);
    const std::string attribute = "fill=\"" + original_counts[i].first + "\"";
    EXPECT_EQ(count_of(original, attribute), original_counts[i].second);
    EXPECT_EQ(count_of(clipped, attribute), clipped_counts[i].second);
  }
}

// The result folder's cross.mxd is a folder: the save, the last step, fails. The open
// document must be as it was (layers on their sources, field names, every graphic, its
// file), the run's files gone, and the same dialog state good for a retry.
TEST_F(CutDocument, AFailedSaveLeavesTheOpenDocumentAndTheFolderAsTheyWere) {
  open();
  const fs::path snapshot = dir_.path() / "snapshot.mxd";
  const std::string before = open_document_text(snapshot);
  fs::create_directories(out() / "cross.mxd");
  std::ofstream(out() / "earlier.txt") << "kept";

  EXPECT_EQ(cut(out()), 1);
  EXPECT_EQ(open_document_text(snapshot), before);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(out())) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, (std::vector<std::string>{"cross.mxd", "earlier.txt"}));  // the folder of the same name, and the earlier file
  EXPECT_EQ(fixture::read_file(out() / "earlier.txt"), "kept");

  // Once the folder is out of the way the same open document cuts as a first run would.
  fs::remove(out() / "cross.mxd");
  ASSERT_EQ(cut(out()), 0);
  EXPECT_EQ(fixture::read_layer(out() / "geology.shp").count, 4);
  EXPECT_EQ(fixture::read_layer(out() / "geology_1.shp").count, 4);  // the same data under the group
  EXPECT_FALSE(fs::exists(out() / "geology_2.shp"));
  EXPECT_EQ(gis::DocumentPath(open_document().get()), (out() / "cross.mxd").string());
  const std::string saved = fixture::read_file(out() / "cross.mxd");
  EXPECT_EQ(saved.find("far note"), std::string::npos);
  EXPECT_NE(saved.find("near note"), std::string::npos);
}

// A cancel requested while the run reads features fails the run the ordinary way, and the
// run takes back everything it wrote.
TEST_F(CutDocument, ACancelledRunRemovesWhatItWrote) {
  open();
  const std::string before = open_document_text(dir_.path() / "snapshot.mxd");
  gis::RequestCancel();
  const int code = cut(out() / "new" / "folder");
  gis::ResetCancel();
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(fs::exists(out())) << "the folders the run made are removed";
  EXPECT_EQ(open_document_text(dir_.path() / "snapshot.mxd"), before);
}

}  // namespace

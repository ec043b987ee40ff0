// The application: templates, New/Open/Save of documents, and what it never writes.
#include "carto_test.h"
#include "gis/application.h"
#include "gis/document.h"

#include <gdal.h>
#include <gdal_utils.h>
#include <unistd.h>

#include <algorithm>

namespace carto_test {
namespace {

class ApplicationTest : public CartoTest {
 protected:
  ComPtr<IApplication> app() {
    gis::ApplicationOptions options;
    options.templates_folder = path("templates").string();
    return gis::CreateApplication(options);
  }

  static ComPtr<IMxDocument> document_of(IApplication* app) {
    ComPtr<IDocument> doc;
    EXPECT_EQ(app->get_Document(doc.put()), S_OK);
    return win32::query<IMxDocument>(doc.get());
  }
};

TEST_F(ApplicationTest, NormalTemplateIsWrittenAndListed) {
  auto a = app();
  ComPtr<ITemplates> templates;
  ASSERT_EQ(a->get_Templates(templates.put()), S_OK);
  LONG count = 0;
  ASSERT_EQ(templates->get_Count(&count), S_OK);
  ASSERT_GE(count, 1);
  win32::Bstr first;
  ASSERT_EQ(templates->get_Item(0, first.put()), S_OK);
  EXPECT_EQ(first.utf8(), path("templates/Normal.mxt").string());
  EXPECT_EQ(read_json(path("templates/Normal.mxt"))["format"], "areaclip-map");
  win32::Bstr none;
  EXPECT_EQ(templates->get_Item(count, none.put()), E_INVALIDARG);

  // A broken template is written again.
  a.reset();
  write_file(path("templates/Normal.mxt"), "garbage");
  a = app();
  EXPECT_EQ(read_json(path("templates/Normal.mxt"))["format"], "areaclip-map");
}

TEST_F(ApplicationTest, NormalTemplateLostSinceStartIsWrittenAgain) {
  auto a = app();
  std::filesystem::remove(path("templates/Normal.mxt"));
  EXPECT_EQ(a->NewDocument(VARIANT_FALSE, nullptr), S_OK);
  EXPECT_TRUE(std::filesystem::exists(path("templates/Normal.mxt")));
  EXPECT_EQ(a->NewDocument(VARIANT_FALSE, bstr(path("nowhere.mxt").string()).get()), E_FAIL);
}

TEST_F(ApplicationTest, QueryInterfaceAndDispatch) {
  auto a = app();
  testing_support::expect_query_interface_rules(a.get(), {IID_IApplication, IID_IMxApplication, IID_IDispatch});
  auto dispatch = win32::query<IDispatch>(a.get());
  UINT count = 7;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ComPtr<IAppDisplay> display;
  EXPECT_EQ(win32::query<IMxApplication>(a.get())->get_Display(display.put()), S_OK);
  EXPECT_TRUE(display);
  win32::Bstr name;
  EXPECT_EQ(a->get_Name(name.put()), S_OK);
  EXPECT_EQ(name.utf8(), "ArcMap");
}

// The open files of this process whose names start with prefix.
int files_open_under(const std::string& prefix) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
    n += !ec && target.rfind(prefix, 0) == 0;
  }
  return n;
}

ComPtr<IFeatureClass> class_of_first_layer(IApplication* app) {
  ComPtr<IDocument> doc;
  app->get_Document(doc.put());
  ComPtr<IMap> map;
  win32::query<IMxDocument>(doc.get())->get_FocusMap(map.put());
  ComPtr<ILayer> layer;
  map->get_Layer(0, layer.put());
  ComPtr<IFeatureClass> cls;
  if (auto feature_layer = win32::query<IFeatureLayer>(layer.get())) feature_layer->get_FeatureClass(cls.put());
  return cls;
}

// A new document from a template is most often followed by the opening of another: the
// replaced document's open sources serve it, and are let go once it is read.
TEST_F(ApplicationTest, ADocumentReplacedByANewOneServesTheNextOpenedThenIsLetGo) {
  write_points(path("data/p.geojson"), {"a", "b"});
  std::filesystem::create_directories(path("shapes"));
  {
    GDALAllRegister();
    const std::string from = path("data/p.geojson").string();
    GDALDatasetH source = GDALOpenEx(from.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    ASSERT_TRUE(source);
    const char* args[] = {"-f", "ESRI Shapefile", nullptr};
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(const_cast<char**>(args), nullptr);
    GDALDatasetH made = GDALVectorTranslate(path("shapes/p.shp").string().c_str(), nullptr, 1, &source, options, nullptr);
    GDALVectorTranslateOptionsFree(options);
    ASSERT_TRUE(made);
    GDALClose(made);
    GDALClose(source);
  }
  write_file(path("one.mxd"), document_json({map_json("Один", {feature_layer("P", "shapes/p.shp")})}).dump(2));
  write_file(path("two.mxd"), document_json({map_json("Два", {feature_layer("P", "data/p.geojson")})}).dump(2));
  const std::string shapes = path("shapes").string() + "/";
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("one.mxd").string()).get()), S_OK);
  IFeatureClass* first = class_of_first_layer(a.get()).get();  // held by the document
  ASSERT_TRUE(first);
  ASSERT_GT(files_open_under(shapes), 0);

  ASSERT_EQ(a->NewDocument(VARIANT_FALSE, nullptr), S_OK);
  EXPECT_GT(files_open_under(shapes), 0);  // the replaced document is still held
  ASSERT_EQ(a->OpenDocument(bstr(path("one.mxd").string()).get()), S_OK);
  EXPECT_EQ(class_of_first_layer(a.get()).get(), first);  // handed over, not opened again

  // Once the next document is read, the one a new document replaced is let go.
  ASSERT_EQ(a->NewDocument(VARIANT_FALSE, nullptr), S_OK);
  ASSERT_EQ(a->OpenDocument(bstr(path("two.mxd").string()).get()), S_OK);
  EXPECT_EQ(files_open_under(shapes), 0);
  // A document that cannot be read lets it go too.
  ASSERT_EQ(a->OpenDocument(bstr(path("one.mxd").string()).get()), S_OK);
  ASSERT_EQ(a->NewDocument(VARIANT_FALSE, nullptr), S_OK);
  EXPECT_EQ(a->OpenDocument(bstr(path("nowhere.mxd").string()).get()), E_FAIL);
  EXPECT_EQ(files_open_under(shapes), 0);
}

TEST_F(ApplicationTest, NewDocumentFromTheTemplateThenOpenDocument) {
  write_points(path("data/p.geojson"), {"a"});
  write_file(path("user.mxd"), document_json({map_json("Пользователь", {feature_layer("P", "data/p.geojson")})}).dump(2));
  const std::string user_text = read_file(path("user.mxd"));
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  ComPtr<ITemplates> templates;
  ASSERT_EQ(a->get_Templates(templates.put()), S_OK);
  win32::Bstr normal;
  ASSERT_EQ(templates->get_Item(0, normal.put()), S_OK);

  ASSERT_EQ(a->NewDocument(VARIANT_FALSE, normal.get()), S_OK);
  auto fresh = document_of(a.get());
  ComPtr<IMap> map;
  ASSERT_EQ(fresh->get_FocusMap(map.put()), S_OK);
  LONG layers = -1;
  EXPECT_EQ(map->get_LayerCount(&layers), S_OK);
  EXPECT_EQ(layers, 0);
  EXPECT_EQ(gis::DocumentPath(fresh.get()), "");
  // Saving the new document without a name fails and writes nothing, not even the template.
  const std::string template_text = read_file(path("templates/Normal.mxt"));
  EXPECT_EQ(a->SaveDocument(nullptr), E_FAIL);
  EXPECT_EQ(read_file(path("templates/Normal.mxt")), template_text);

  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  auto opened = document_of(a.get());
  ComPtr<IMap> user_map;
  ASSERT_EQ(opened->get_FocusMap(user_map.put()), S_OK);
  win32::Bstr name;
  user_map->get_Name(name.put());
  EXPECT_EQ(name.utf8(), "Пользователь");
  ComPtr<IDocument> as_doc = win32::query<IDocument>(opened.get());
  ComPtr<IApplication> parent;
  EXPECT_EQ(as_doc->get_Parent(parent.put()), S_OK);
  EXPECT_EQ(parent.get(), a.get());
  win32::Bstr title;
  EXPECT_EQ(as_doc->get_Title(title.put()), S_OK);
  EXPECT_EQ(title.utf8(), "user");
  EXPECT_EQ(read_file(path("user.mxd")), user_text);
}

TEST_F(ApplicationTest, TemplatesEndWithTheOpenDocumentsFile) {
  write_file(path("user.mxd"), document_json({map_json("m", Json::array())}).dump(2));
  auto a = app();
  auto items = [&] {
    ComPtr<ITemplates> templates;
    EXPECT_EQ(a->get_Templates(templates.put()), S_OK);
    LONG count = 0;
    EXPECT_EQ(templates->get_Count(&count), S_OK);
    std::vector<std::string> paths;
    for (LONG i = 0; i < count; ++i) {
      win32::Bstr item;
      EXPECT_EQ(templates->get_Item(i, item.put()), S_OK);
      paths.push_back(item.utf8());
    }
    return paths;
  };
  // A new document has no file yet: the templates alone.
  EXPECT_EQ(items(), std::vector<std::string>{path("templates/Normal.mxt").string()});
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  EXPECT_EQ(items(), (std::vector<std::string>{path("templates/Normal.mxt").string(), path("user.mxd").string()}));
}

TEST_F(ApplicationTest, SaveAsWritesOnlyTheNamedFile) {
  write_file(path("user.mxd"), document_json({map_json("m", Json::array())}).dump(2));
  const std::string user_text = read_file(path("user.mxd"));
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  std::filesystem::create_directories(path("result"));
  // Windows-style path: backslashes and a drive letter name the same file.
  std::string windows = "C:" + path("result").string() + "\\cross.mxd";
  ASSERT_EQ(a->SaveDocument(bstr(windows).get()), S_OK);
  EXPECT_EQ(read_json(path("result/cross.mxd"))["maps"][0]["name"], "m");
  EXPECT_EQ(read_file(path("user.mxd")), user_text);
  // The document now belongs to the file it was saved as.
  EXPECT_EQ(gis::DocumentPath(document_of(a.get()).get()), path("result/cross.mxd").string());
}

TEST_F(ApplicationTest, FailedSaveReturnsFailureAndKeepsTheFile) {
  write_file(path("user.mxd"), document_json({map_json("m", Json::array())}).dump(2));
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  write_file(path("blocker"), "plain file");
  HRESULT hr = a->SaveDocument(bstr(path("blocker/cross.mxd").string()).get());
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  win32::Bstr description;
  info->GetDescription(description.put());
  EXPECT_NE(description.utf8().find("blocker"), std::string::npos) << description.utf8();
  EXPECT_EQ(read_file(path("blocker")), "plain file");
  EXPECT_EQ(gis::DocumentPath(document_of(a.get()).get()), path("user.mxd").string());
}

// A document read from a QGIS project, saved as a .mxd, brings its project of the same kind
// beside it in the same save: both files or, when either cannot be written, neither (a
// project that was there before is put back as it was).
TEST_F(ApplicationTest, SavingAProjectsDocumentWritesItsProjectBesideInOneSave) {
  const std::filesystem::path fixtures = std::filesystem::path(AREACLIP_SOURCE_DIR) / "tests/data/qgis";
  std::filesystem::copy(fixtures / "data", path("data"), std::filesystem::copy_options::recursive);
  for (const std::string ext : {".qgs", ".qgz"}) {
    SCOPED_TRACE(ext);
    std::filesystem::copy_file(fixtures / ("project" + ext), path("project" + ext));
    auto a = app();
    ASSERT_EQ(a->OpenDocument(bstr(path("project" + ext).string()).get()), S_OK);
    const std::string other = ext == ".qgs" ? ".qgz" : ".qgs";
    EXPECT_EQ(gis::ProjectSavedWith(a.get(), path("r/cross.mxd").string()), path("r/cross" + ext).string());
    EXPECT_EQ(gis::ProjectSavedWith(a.get(), path("r/cross" + other).string()), "");

    std::filesystem::create_directories(path("ok" + ext));
    ASSERT_EQ(a->SaveDocument(bstr(path("ok" + ext + "/cross.mxd").string()).get()), S_OK);
    EXPECT_TRUE(gis::LoadDocument(path("ok" + ext + "/cross" + ext).string()));
    EXPECT_FALSE(std::filesystem::exists(path("ok" + ext + "/cross" + other)));

    // The document cannot be written (a folder has its name): the project written first is
    // taken back, one that was there before gets its bytes back, a new one is removed.
    for (const bool earlier : {false, true}) {
      const std::filesystem::path folder = path((earlier ? "earlier" : "new") + ext);
      std::filesystem::create_directories(folder / "cross.mxd");
      if (earlier) write_file(folder / ("cross" + ext), "an earlier project");
      EXPECT_TRUE(FAILED(a->SaveDocument(bstr((folder / "cross.mxd").string()).get())));
      std::vector<std::string> left;
      for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename().string());
      std::sort(left.begin(), left.end());
      if (earlier) {
        EXPECT_EQ(left, (std::vector<std::string>{"cross.mxd", "cross" + ext}));
        EXPECT_EQ(read_file(folder / ("cross" + ext)), "an earlier project");
      } else {
        EXPECT_EQ(left, std::vector<std::string>{"cross.mxd"});
      }
    }
  }
  // A document of the program's own form has no project to bring.
  write_file(path("user.mxd"), document_json({map_json("m", Json::array())}).dump(2));
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  EXPECT_EQ(gis::ProjectSavedWith(a.get(), path("r/cross.mxd").string()), "");
}

TEST_F(ApplicationTest, OpenFailureKeepsTheCurrentDocumentAndSaysWhy) {
  write_file(path("user.mxd"), document_json({map_json("m", Json::array())}).dump(2));
  write_file(path("newer.mxd"), R"({"format": "areaclip-map", "version": 9, "maps": []})");
  auto a = app();
  ASSERT_EQ(a->OpenDocument(bstr(path("user.mxd").string()).get()), S_OK);
  EXPECT_EQ(a->OpenDocument(bstr(path("newer.mxd").string()).get()), E_FAIL);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  win32::Bstr description;
  info->GetDescription(description.put());
  EXPECT_NE(description.utf8().find("newer version"), std::string::npos) << description.utf8();
  EXPECT_EQ(gis::DocumentPath(document_of(a.get()).get()), path("user.mxd").string());
  EXPECT_EQ(a->OpenDocument(nullptr), E_INVALIDARG);
}

TEST_F(ApplicationTest, DocumentOutlivingTheApplicationHasNoParent) {
  auto a = app();
  auto doc = document_of(a.get());
  a.reset();
  ComPtr<IApplication> parent;
  EXPECT_EQ(win32::query<IDocument>(doc.get())->get_Parent(parent.put()), S_FALSE);
  EXPECT_FALSE(parent);
}

}  // namespace
}  // namespace carto_test

// `areaclip cut` into result folders that are missing, cannot be made, are files, refuse
// new files or fail while the result is written; into the folder of the opened document;
// and over read-only sources. Each case checks the exit code, the messages on standard
// error and what is on disk afterwards. The tests run as root, so refusals come from paths
// that cannot work for anyone and write failures from a file size limit (SIGXFSZ ignored,
// so writes fail with EFBIG), not from permission bits.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "bad_input_sandbox.h"

namespace {

using namespace bad_input;

const std::string kRunFailed = "[Ошибка!] Ошибка при выполнении.";
const std::string kRefused = "[Ошибка!] Ошибка при задании параметров.";
constexpr fs::perms kAllWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// Sources of the standard map: the cutting layer and "Дороги", n lines inside feature A
// (each of `vertices` vertices) and one crossing it.
void write_roads(const fs::path& folder, int n = 1, int vertices = 2) {
  LayerSchema roads;
  roads.type = wkbLineString;
  roads.fields = {{"NAME", OFTString, 20}};
  write_features(folder / "roads.shp", roads, n + 1, [&](int i, OGRFeatureH f) {
    OGR_F_SetFieldString(f, 0, i == n ? "crossing" : ("road " + std::to_string(i)).c_str());
    OGRGeometryH g = OGR_G_CreateGeometry(wkbLineString);
    for (int k = 0; k < vertices; ++k) {
      const double x = i == n ? -500 + 2000.0 * k / (vertices - 1) : 100 + 800.0 * k / (vertices - 1);
      OGR_G_AddPoint_2D(g, 500000 + x, 6000000 + 100 + (i % 800));
    }
    OGR_F_SetGeometryDirectly(f, g);
  });
}

void standard_map(Sandbox& s, int roads = 1, int vertices = 2, const std::string& extra_keys = "") {
  s.write_sheets();
  write_roads(s.data(), roads, vertices);
  s.write_document({feature_layer("Дороги", "data/roads.shp", "NAME")}, {}, "\"EPSG:32636\"", extra_keys);
}

// A result of an earlier cut in folder (two shapefiles and its cross.mxd), to be opened and
// cut again.
fs::path earlier_result(Sandbox& s, const fs::path& folder) {
  s.write_sheets();
  fs::create_directories(folder);
  write_roads(folder);
  for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
    fs::copy_file(fs::path(s.data() / "sheets").replace_extension(ext), fs::path(folder / "sheets").replace_extension(ext));
  std::ofstream(folder / "cross.mxd") << "{\"format\": \"areaclip-map\", \"version\": 1, \"maps\": [{\"name\": \"Карта\", "
                                         "\"spatial_reference\": \"EPSG:32636\", \"layers\": ["
                                      << feature_layer("Листы", "sheets.shp", "NAME") << ", "
                                      << feature_layer("Дороги", "roads.shp", "NAME") << "]}]}";
  return folder;
}

const std::string kOpenDocumentRefused =
    "[Ошибка!] Папка результата содержит открытый документ карты (cross.mxd): результат записался бы поверх "
    "него. Выберите другую папку.";

const std::string kEarlierResultRefused =
    "[Ошибка!] Папка результата уже содержит результат вырезания (cross.mxd). Выберите другую папку.";

// A refused cut into the earlier result's folder adds nothing to it.
void earlier_result_kept(const Sandbox& s, const fs::path&) {
  EXPECT_EQ(files_under(s.root() / "earlier").size(), 11u);  // two shapefiles of five parts and the document
}

struct FolderCase {
  std::string name;
  // Writes the inputs; returns the result folder.
  std::function<fs::path(Sandbox&)> prepare;
  std::string document;  // the document opened, in the sandbox (map.mxd when empty)
  std::string shell_prefix;
  int code;
  std::vector<std::string> messages;  // each appears on standard error
  std::function<void(const Sandbox&, const fs::path& folder)> check;
};

// A file size limit of 200 blocks (100 KB with dash's 512-byte blocks, 200 KB with bash's)
// for the program, SIGXFSZ ignored.
const std::string kFileSizeLimit = "trap '' XFSZ; ulimit -f 200;";

// Nothing of a failed run passes for a result: no document, no temporary file of it.
void no_result_document(const Sandbox&, const fs::path& folder) {
  for (const auto& [name, content] : files_under(folder)) EXPECT_EQ(name.find("cross.mxd"), std::string::npos) << name;
}

const std::vector<FolderCase>& folder_cases() {
  static const std::vector<FolderCase> cases = {
      {"missing, several levels deep",
       [](Sandbox& s) {
         standard_map(s);
         return s.root() / "новые" / "папки результата" / "здесь";
       },
       "", "", 0, {},
       [](const Sandbox&, const fs::path& folder) {
         EXPECT_EQ(fixture::read_layer(folder / "roads.shp").count, 2);
         EXPECT_EQ(fixture::read_layer(folder / "sheets.shp").count, 1);
       }},
      {"its parent is a file",
       [](Sandbox& s) {
         standard_map(s);
         std::ofstream(s.root() / "file.txt") << "a file";
         return s.root() / "file.txt" / "out";
       },
       "", "", 1, {"cannot make the result folder", "file.txt/out: Not a directory", "Ошибка при выполнении."},
       [](const Sandbox& s, const fs::path&) { EXPECT_EQ(fixture::read_file(s.root() / "file.txt"), "a file"); }},
      {"a file, not a folder",
       [](Sandbox& s) {
         standard_map(s);
         std::ofstream(s.root() / "result") << "a file";
         return s.root() / "result";
       },
       "", "", 1, {"cannot make the result folder", "Ошибка при выполнении."},
       [](const Sandbox& s, const fs::path&) { EXPECT_EQ(fixture::read_file(s.root() / "result"), "a file"); }},
      {"a name too long for the file system",
       [](Sandbox& s) {
         standard_map(s);
         return s.root() / std::string(300, 'x');
       },
       "", "", 1, {"cannot make the result folder", "File name too long", "Ошибка при выполнении."},
       [](const Sandbox&, const fs::path& folder) {
         std::error_code ec;
         EXPECT_FALSE(fs::exists(folder, ec));
       }},
      {"a folder where no file can be made",
       [](Sandbox& s) {
         standard_map(s);
         return fs::path("/proc/1");
       },
       "", "", 1, {kRunFailed, "the folder /proc/1 is not writable"}, nullptr},
      {"the disk fills while a layer is written",
       [](Sandbox& s) {
         // About 1.5 MB of shapes: past the limit in the middle of the layer.
         standard_map(s, 1000, 90);
         return s.out();
       },
       "", kFileSizeLimit, 1, {kRunFailed, "roads.shp", "File too large"}, no_result_document},
      {"the disk fills while the document is saved",
       [](Sandbox& s) {
         // Small shapefiles, a document of 300 KB (kept unknown keys).
         standard_map(s, 1, 2, " \"notes\": \"" + std::string(300000, 'n') + "\",");
         return s.out();
       },
       "", kFileSizeLimit, 1, {kRunFailed, "cannot save", "cross.mxd\": File too large"}, no_result_document},
      {"a second cut into a folder holding an earlier result",
       [](Sandbox& s) {
         // Refused before anything is written: the earlier result stays the folder's cross.mxd.
         standard_map(s, 1000, 90);
         const CutResult first = s.cut();
         EXPECT_EQ(first.code, 0) << first.err;
         EXPECT_TRUE(fs::exists(s.out() / "cross.mxd"));
         return s.out();
       },
       "", kFileSizeLimit, 1, {kEarlierResultRefused, kRefused}, nullptr},
      {"the opened document is the folder's cross.mxd",
       [](Sandbox& s) { return earlier_result(s, s.root() / "earlier"); }, "earlier/cross.mxd", "", 1,
       {kOpenDocumentRefused, kRefused}, earlier_result_kept},
      // The guard compares files, not the texts of their paths.
      {"the opened document's folder through a symbolic link",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "earlier");
         fs::create_directory_symlink(s.root() / "earlier", s.root() / "link");
         return s.root() / "link";
       },
       "earlier/cross.mxd", "", 1, {kOpenDocumentRefused, kRefused}, earlier_result_kept},
      {"the opened document's folder through a symbolic link to its parent",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "earlier");
         fs::create_directory_symlink(s.root(), s.root() / "parent link");
         return s.root() / "parent link" / "earlier";
       },
       "earlier/cross.mxd", "", 1, {kOpenDocumentRefused, kRefused}, earlier_result_kept},
      {"the opened document's folder with .. in the path",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "earlier");
         return s.root() / "data" / ".." / "earlier";
       },
       "earlier/cross.mxd", "", 1, {kOpenDocumentRefused, kRefused}, earlier_result_kept},
      {"the opened document opened through a link, cut into its real folder",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "earlier");
         fs::create_directory_symlink(s.root() / "earlier", s.root() / "link");
         return s.root() / "earlier";
       },
       "link/cross.mxd", "", 1, {kOpenDocumentRefused, kRefused}, earlier_result_kept},
      {"a folder whose name differs only in letter case from the opened document's",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "case" / "Map");
         return s.root() / "case" / "map";
       },
       "case/Map/cross.mxd", "", 0, {},
       [](const Sandbox& s, const fs::path& folder) {
         EXPECT_EQ(fixture::read_layer(folder / "roads.shp").count, 2);
         EXPECT_EQ(files_under(s.root() / "case" / "Map").size(), 11u);
       }},
      {"the opened document's folder named in another letter case through a link",
       [](Sandbox& s) {
         earlier_result(s, s.root() / "case" / "Map");
         fs::create_directory_symlink(s.root() / "case" / "Map", s.root() / "case" / "MAP");
         return s.root() / "case" / "MAP";
       },
       "case/Map/cross.mxd", "", 1, {kOpenDocumentRefused, kRefused}, nullptr},
      {"the opened document's own folder",
       [](Sandbox& s) {
         // Sources beside the document: the results take other names.
         s.write_sheets();
         write_roads(s.data());
         s.write_document({feature_layer("Дороги", "roads.shp", "NAME")}, s.data() / "map.mxd");
         std::string text = fixture::read_file(s.data() / "map.mxd");
         text.replace(text.find("data/sheets.shp"), 15, "sheets.shp");
         std::ofstream(s.data() / "map.mxd", std::ios::trunc) << text;
         return s.data();
       },
       "data/map.mxd", "", 0, {},
       [](const Sandbox&, const fs::path& folder) {
         EXPECT_EQ(fixture::read_layer(folder / "roads_1.shp").count, 2);
         EXPECT_EQ(fixture::read_layer(folder / "sheets_1.shp").count, 1);
         const std::string result = fixture::read_file(folder / "cross.mxd");
         EXPECT_NE(result.find("\"path\": \"roads_1.shp\""), std::string::npos) << result;
       }},
      {"a folder holding an earlier result",
       [](Sandbox& s) {
         standard_map(s);
         return s.out();
       },
       "", "", 0, {},
       [](const Sandbox& s, const fs::path& folder) {
         // Cut again into the same folder: refused, and not one file of the earlier result changes.
         const auto earlier = files_under(folder);
         const CutResult again = s.cut();
         EXPECT_EQ(again.code, 1) << again.err;
         EXPECT_NE(again.err.find(kEarlierResultRefused), std::string::npos) << again.err;
         EXPECT_TRUE(files_under(folder) == earlier);
         EXPECT_FALSE(fs::exists(folder / "roads_1.shp"));
       }},
  };
  return cases;
}

TEST(BadInputFolder, EveryCaseEndsAsExpected) {
  for (const FolderCase& c : folder_cases()) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    const fs::path folder = c.prepare(s);
    std::error_code ec;
    const bool folder_existed = fs::exists(folder, ec);
    const auto before = files_under(s.root());
    const fs::path document = c.document.empty() ? s.document() : s.root() / c.document;
    const CutResult run = s.cut("--layer 'Листы' --feature A", folder, document, c.shell_prefix);
    EXPECT_EQ(run.code, c.code) << run.err << run.out;
    for (const std::string& message : c.messages) EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    if (c.code == 0) {
      EXPECT_NE(run.out.find("result document: " + (folder / "cross.mxd").string()), std::string::npos) << run.out;
    } else {
      EXPECT_EQ(run.out.find("result document:"), std::string::npos) << run.out;
    }
    // Files that were there before are as they were, the opened document among them
    // (a refused cut into its folder writes nothing at all).
    const auto after = files_under(s.root());
    for (const auto& [name, content] : before) {
      ASSERT_TRUE(after.count(name)) << name << " is gone";
      EXPECT_TRUE(after.at(name) == content) << name << " changed";
    }
    // A cut that does not succeed leaves nothing behind: no file, no folder it made.
    if (c.code != 0) {
      for (const auto& [name, content] : after) EXPECT_TRUE(before.count(name)) << name << " was left behind";
      if (!folder_existed) {
        EXPECT_FALSE(fs::exists(folder, ec)) << folder << " was left behind";
      }
    }
    if (c.code != 0 && folder.string().rfind(s.root().string(), 0) == 0 && fs::is_directory(folder, ec)) {
      EXPECT_FALSE(fs::exists(folder / "cross.mxd") && !before.count(fs::relative(folder / "cross.mxd", s.root())));
    }
    if (c.check) c.check(s, folder);
  }
}

// A cut over sources and a document that are all read-only succeeds, and not one byte of
// them changes (the tests run as root, which permission bits do not stop: the bytes are the
// proof).
TEST(BadInputFolder, ReadOnlySourcesAreOnlyRead) {
  Sandbox s;
  s.write_sheets();
  write_roads(s.data(), 3, 5);
  LayerSchema wells;
  wells.type = wkbPoint;
  wells.fields = {{"NO", OFTInteger, 5}};
  write_wkt(s.data() / "wells.geojson", wells, {{"POINT (" + at(500, 500) + ")", {"1"}}});
  s.write_document(
      {feature_layer("Дороги", "data/roads.shp", "NAME"), feature_layer("Скважины", "data/wells.geojson", "NO")});
  const auto before = files_under(s.root());
  ASSERT_EQ(before.size(), 12u);  // two shapefiles of five parts, a GeoJSON file, the document
  for (const auto& [name, content] : before) fs::permissions(s.root() / name, kAllWrite, fs::perm_options::remove);
  fs::permissions(s.data(), kAllWrite, fs::perm_options::remove);

  const CutResult run = s.cut();
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("result document: " + (s.out() / "cross.mxd").string()), std::string::npos) << run.out;
  EXPECT_EQ(fixture::read_layer(s.out() / "roads.shp").count, 4);
  EXPECT_EQ(fixture::read_layer(s.out() / "wells.shp").count, 1);

  std::map<std::string, std::string> after = files_under(s.root());
  std::erase_if(after, [](const auto& file) { return file.first.rfind("out/", 0) == 0; });
  EXPECT_TRUE(after == before) << "the sources or the document changed";
  for (const auto& [name, content] : before) {
    struct stat st {};
    ASSERT_EQ(::stat((s.root() / name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u) << name << " was made writable";
  }
  fs::permissions(s.data(), fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace

// The cut run's pure logic: naming, uniqueness, progress arithmetic, folders, and the
// holders' reference counting, without a GIS behind them.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "extension/vot_arcmap_areaclip_exec.h"
#include "extension/vot_arcmap_areaclip_undo.h"
#include "fakes.h"
#include "support/com_test.h"

namespace {

using testing_support::ref_count;
using testing_support::TempDir;

TEST(Progress, PercentIsTruncatedAndSafeFromOverflow) {
  EXPECT_EQ(progress_percent(0, 0), 0);
  EXPECT_EQ(progress_percent(5, -1), 0);
  EXPECT_EQ(progress_percent(3, 7), 42);
  EXPECT_EQ(progress_percent(7, 7), 100);
  // done * 100 leaves 32 bits past 21 474 836 features.
  EXPECT_EQ(progress_percent(30000000, 40000000), 75);
  std::vector<int> seven;
  for (int i = 1; i <= 7; ++i) seven.push_back(progress_percent(i, 7));
  EXPECT_EQ(seven, std::vector<int>({14, 28, 42, 57, 71, 85, 100}));
}

// The 22 layer codes a dataset name may begin with.
const char* const kLayerCodes[] = {"BASE", "OVER", "RMET", "ALTR", "TECT", "STRC", "ISLN", "VOLC",
                                   "TECH", "BEDD", "ROBS", "OOBS", "STRA", "PETR", "DRUD", "DPLC",
                                   "PANN", "CHEM", "PHYS", "MFA2", "SECT", "DNET"};

TEST(Naming, EveryCodeInAnyCaseLeadsToItsFolder) {
  Tvo_arcmap_areaclip_execute run;
  for (const std::string code : kLayerCodes) {
    SCOPED_TRACE(code);
    std::string lower = code, mixed = code;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    mixed[1] = lower[1];
    mixed[3] = lower[3];
    EXPECT_EQ(run.code_folder_name(code + "_rivers"), code + "\\" + code + "_rivers");
    EXPECT_EQ(run.code_folder_name(lower + "_rivers"), code + "\\" + lower + "_rivers");
    EXPECT_EQ(run.code_folder_name(mixed + "x"), code + "\\" + mixed + "x");
    // The code alone, and names that only begin like it, stay where they are.
    EXPECT_EQ(run.code_folder_name(code), code);
    EXPECT_EQ(run.code_folder_name(lower), lower);
    EXPECT_EQ(run.code_folder_name(code.substr(0, 3) + "_rivers"), code.substr(0, 3) + "_rivers");
    EXPECT_EQ(run.code_folder_name("x" + code + "_rivers"), "x" + code + "_rivers");
  }
}

TEST(Naming, NamesWithoutACodeStay) {
  Tvo_arcmap_areaclip_execute run;
  EXPECT_EQ(run.code_folder_name("BASIN"), "BASIN");
  EXPECT_EQ(run.code_folder_name("geology"), "geology");
  EXPECT_EQ(run.code_folder_name("BAS"), "BAS");
  EXPECT_EQ(run.code_folder_name(""), "");
}

TEST(Naming, DatasetNamesCannotLeaveTheFolder) {
  EXPECT_EQ(safe_dataset_name(" BASE_geology \t"), "BASE_geology");
  EXPECT_EQ(safe_dataset_name("..\\..\\etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(safe_dataset_name("a:b*c?d\"e<f>g|h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(safe_dataset_name("a\x01" "b"), "a_b");
  EXPECT_EQ(safe_dataset_name("\xCA\xE0\xF0\xF2\xE0"), "\xCA\xE0\xF0\xF2\xE0");  // Cyrillic kept
  EXPECT_EQ(safe_dataset_name("   "), "");
}

TEST(Naming, LowerCaseFollowsTheCodePage) {
  EXPECT_EQ(ansi_lower_case("ROADS.SHP"), "roads.shp");
  EXPECT_EQ(ansi_lower_case("\xC4\xCE\xD0\xCE\xC3\xC8 \xA8"), "\xE4\xEE\xF0\xEE\xE3\xE8 \xB8");  // ДОРОГИ Ё
}

class UniqueNames : public testing::Test {
 protected:
  std::string folder() const { return dir.str(); }
  TempDir dir;
  Tvo_arcmap_areaclip_execute run;
};

TEST_F(UniqueNames, SecondUseGetsANumber) {
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads.shp");
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads_1.shp");
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads_2.shp");
}

TEST_F(UniqueNames, CaseIsIgnored) {
  EXPECT_EQ(run.unique_file_name(folder() + "\\Roads.shp"), folder() + "\\Roads.shp");
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads_1.shp");
}

TEST_F(UniqueNames, ExistingFilesAreNeverReused) {
  std::ofstream(dir.path() / "roads.shp") << "x";
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads_1.shp");
  // A lone .dbf of that name belongs to someone's shapefile too.
  std::ofstream(dir.path() / "rivers.dbf") << "x";
  EXPECT_EQ(run.unique_file_name(folder() + "\\rivers.shp"), folder() + "\\rivers_1.shp");
  EXPECT_FALSE(run.file_used(folder() + "\\lakes.shp"));
}

// As Windows names files: a name differing only in letter case is the same file, and a
// link is there whether or not what it names is.
TEST_F(UniqueNames, NamesInAnotherLetterCaseAndLinksAreTaken) {
  for (const char* ext : {".SHP", ".SHX", ".DBF", ".PRJ"}) std::ofstream(dir.path() / (std::string("ROADS") + ext)) << "x";
  EXPECT_EQ(run.unique_file_name(folder() + "\\roads.shp"), folder() + "\\roads_1.shp");
  std::filesystem::create_symlink(dir.path() / "gone.dbf", dir.path() / "lakes.dbf");
  EXPECT_EQ(run.unique_file_name(folder() + "\\lakes.shp"), folder() + "\\lakes_1.shp");
  std::filesystem::create_symlink(dir.path() / "ROADS.SHP", dir.path() / "Rivers.Shx");
  EXPECT_EQ(run.unique_file_name(folder() + "\\rivers.shp"), folder() + "\\rivers_1.shp");
  EXPECT_FALSE(run.file_used(folder() + "\\wells.shp"));
}

// What is on disk at a path, a link as the link: its target, else the file's bytes and
// whether it is read-only.
std::string state_of(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return "(none)";
  if (fs::is_symlink(status)) return "link to " + fs::read_symlink(path).string();
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const bool read_only = (status.permissions() & fs::perms::owner_write) == fs::perms::none;
  return (read_only ? "read-only " : "") + bytes;
}

// A file is the run's own only when it was not there before: taking the run back removes
// the files it made and not one that was there, whatever it was (a stray part of someone's
// shapefile, a link whose target is gone, a link to a file, a read-only file).
TEST(UndoRecord, OnlyFilesThatWereNotThereAreRemoved) {
  namespace fs = std::filesystem;
  TempDir dir;
  std::ofstream(dir.path() / "roads.dbf") << "stray table";
  std::ofstream(dir.path() / "roads.prj") << "stray system";
  std::ofstream(dir.path() / "target.shp") << "linked";
  fs::create_symlink(dir.path() / "gone.shx", dir.path() / "roads.shx");
  fs::create_symlink(dir.path() / "target.shp", dir.path() / "roads.shp");
  std::ofstream(dir.path() / "roads.cpg") << "UTF-8";
  fs::permissions(dir.path() / "roads.cpg", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::vector<std::string> there = {"roads.dbf", "roads.prj", "roads.shx", "roads.shp", "roads.cpg", "target.shp"};
  std::map<std::string, std::string> before;
  for (const std::string& name : there) before[name] = state_of(dir.path() / name);

  Tvo_arcmap_areaclip_undo undo;
  std::vector<std::string> planned;
  for (const char* name : {"roads.shp", "roads.shx", "roads.dbf", "roads.prj", "roads.cpg", "new.shp", "new.dbf"})
    planned.push_back(dir.str() + "\\" + name);
  undo.files_to_create(planned);
  std::ofstream(dir.path() / "new.shp") << "made";
  std::ofstream(dir.path() / "new.dbf") << "made";
  undo.undo();

  for (const std::string& name : there) EXPECT_EQ(state_of(dir.path() / name), before[name]) << name;
  EXPECT_FALSE(fs::exists(dir.path() / "new.shp"));
  EXPECT_FALSE(fs::exists(dir.path() / "new.dbf"));
  fs::permissions(dir.path() / "roads.cpg", fs::perms::owner_write, fs::perm_options::add);
}

TEST(ForceFolder, CreatesTheWholeChain) {
  TempDir dir;
  Tvo_arcmap_areaclip_execute run;
  EXPECT_TRUE(run.force_folder(dir.str() + "\\a\\BASE\\base_faults.shp"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "a" / "BASE"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "a" / "BASE" / "base_faults.shp"));
  EXPECT_TRUE(run.force_folder(dir.str() + "/a/BASE/x.shp"));  // already there
}

TEST(ForceFolder, FailsUnderARegularFile) {
  TempDir dir;
  std::ofstream(dir.path() / "file") << "x";
  Tvo_arcmap_areaclip_execute run;
  SetErrorInfo(0, nullptr);
  EXPECT_FALSE(run.force_folder(dir.str() + "\\file\\sub\\x.shp"));
  // The reason is left for the command's caller: the folder and the system's words.
  IErrorInfo* info = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR description = nullptr;
  info->GetDescription(&description);
  const std::string text = win32::utf16_to_ansi(win32::bstr_view(description));
  SysFreeString(description);
  info->Release();
  EXPECT_NE(text.find("Не удалось создать папку " + dir.str() + "\\file\\sub"), std::string::npos) << text;
  EXPECT_NE(text.find("The system cannot find the path specified."), std::string::npos) << text;
}

TEST(Params, NewSetIsEmpty) {
  Tvo_arcmap_areaclip_params params;
  EXPECT_EQ(params.get_owner(), nullptr);
  EXPECT_FALSE(params.get_application().IsBound());
  EXPECT_FALSE(params.get_document().IsBound());
  ASSERT_NE(params.get_pgnobj(), nullptr);
  ASSERT_NE(params.get_newmap(), nullptr);
  EXPECT_FALSE(params.get_pgnobj()->get_feature().IsBound());
  EXPECT_EQ(params.get_newmap()->get_folder(), "");
  EXPECT_EQ(params.get_newmap()->get_map_path(), "");
}

TEST(Params, HoldsOneReferenceAndReleasesOnce) {
  auto app = fakes::Application::make();
  {
    Tvo_arcmap_areaclip_params params;
    params.set_application(app.get());
    params.set_application(app.get());
    EXPECT_EQ(ref_count(app.get()), 2u);
    { TComInterface<IApplication> got = params.get_application(); EXPECT_EQ(ref_count(app.get()), 3u); }
    params.set_application(nullptr);
    EXPECT_EQ(ref_count(app.get()), 1u);
    params.set_application(app.get());
  }
  EXPECT_EQ(ref_count(app.get()), 1u);
}

TEST(Records, ListOwnsItsRecords) {
  Tvo_arcmap_areaclip_lrs list;
  EXPECT_EQ(list.count(), 0);
  Tvo_arcmap_areaclip_lr* first = list.add();
  list.add()->set_file_name("x");
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.get(0), first);
  EXPECT_FALSE(first->is_done());
  EXPECT_EQ(first->get_file_name(), "");
  EXPECT_NE(first->get_layer(), nullptr);
  EXPECT_EQ(list.get(1)->get_file_name(), "x");
  list.clear();
  EXPECT_EQ(list.count(), 0);
  list.clear();
}

TEST(Renderer, UniqueValueFieldsLoseTheirColons) {
  testing_support::ScriptedBoxes boxes;
  auto unique = fakes::UniqueValueRenderer::make(std::vector<std::u16string>{u"NAME", u"a:b:c", u"x:"});
  Tvo_arcgis_ptr_feature_renderer handle;
  handle.set_renderer(unique.get());
  EXPECT_TRUE(handle.is_unique_value_renderer());
  handle.normalize_field_names();
  EXPECT_EQ(unique->fields, (std::vector<std::u16string>{u"NAME", u"a.b.c", u"x."}));
  handle.normalize_field_names();  // idempotent
  EXPECT_EQ(unique->fields, (std::vector<std::u16string>{u"NAME", u"a.b.c", u"x."}));
  // A character the ANSI code page lacks comes back as its default character.
  unique->fields = {u"\u4E2D:1"};
  handle.normalize_field_names();
  EXPECT_EQ(unique->fields, (std::vector<std::u16string>{u"?.1"}));
}

TEST(Renderer, OtherRenderersAndUnreadableCountsAreLeftAlone) {
  auto simple = fakes::SimpleRenderer::make();
  Tvo_arcgis_ptr_feature_renderer handle;
  handle.normalize_field_names();  // nothing held
  handle.set_renderer(simple.get());
  EXPECT_FALSE(handle.is_unique_value_renderer());
  handle.normalize_field_names();
  auto unique = fakes::UniqueValueRenderer::make(std::vector<std::u16string>{u"a:b"});
  unique->fail_count = true;
  handle.set_renderer(unique.get());
  handle.normalize_field_names();
  EXPECT_EQ(unique->writes, 0);
  EXPECT_EQ(ref_count(simple.get()), 1u);
}

TEST(SplitPath, FolderKeepsItsSeparator) {
  std::string folder, name;
  split_file_path("C:\\out\\roads.shp", folder, name);
  EXPECT_EQ(folder, "C:\\out\\");
  EXPECT_EQ(name, "roads.shp");
  split_file_path("roads.shp", folder, name);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "roads.shp");
  split_file_path("/tmp/out\\BASE\\b.shp", folder, name);
  EXPECT_EQ(folder, "/tmp/out\\BASE\\");
}

TEST(LayerHandles, EmptyHandlesAnswerNothing) {
  Tvo_arcgis_ptr_layer layer;
  EXPECT_FALSE(layer.is_feature_layer());
  EXPECT_FALSE(layer.is_composite_layer());
  EXPECT_FALSE(layer.is_graphics_container());
  EXPECT_EQ(layer.name(), "");
  EXPECT_FALSE(layer.get_layer().IsBound());
  Tvo_arcgis_ptr_feature_layer feature_layer;
  EXPECT_FALSE(feature_layer.dataset_name().has_value());
}

TEST(LayerHandles, ListKeepsAddressesWhileGrowing) {
  Tvo_arcgis_ptr_layers list;
  Tvo_arcgis_ptr_layer* first = list.add();
  std::vector<Tvo_arcgis_ptr_layer*> seen;
  // Walk by index while appending, as the graphics stage does.
  for (int i = 0; i < list.count(); ++i) {
    seen.push_back(list.get(i));
    if (list.count() < 100) list.add();
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(list.get(0), first);
  list.clear();
  EXPECT_EQ(list.count(), 0);
}

}  // namespace

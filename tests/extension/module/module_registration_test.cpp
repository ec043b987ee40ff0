// Registration and unregistration of the module's classes and its type library in a
// temporary registry.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include <win32/reg_key.h>

#include "extension/vot_arcmap_areaclip_reg.h"
#include "tests/extension/module/module_fixture.h"

namespace {

using module_test::ModuleExports;
using module_test::ModuleTest;
using win32::ComPtr;
using win32::ReadClassesRootString;

const char kToolBar[] = "{3A43C927-85BD-4CD2-AD96-3AF6C445FAC6}";
const char kCommand[] = "{5E1406A0-AA3A-45CB-9AA4-4D9C5009B25C}";
const char kLibId[] = "{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}";
const std::string kTypeLibKey = std::string("TypeLib\\") + kLibId + "\\1.0";

bool key_exists(const std::string& path) {
  win32::RegKey key;
  return win32::RegKey::Open(HKEY_CLASSES_ROOT, path, &key) == ERROR_SUCCESS;
}

void expect_class_keys(const std::string& clsid, const std::string& description, const std::string& progid,
                       const std::string& module_path) {
  const std::string key = "CLSID\\" + clsid;
  EXPECT_EQ(ReadClassesRootString(key), description);
  EXPECT_EQ(ReadClassesRootString(key + "\\InprocServer32"), module_path);
  EXPECT_EQ(ReadClassesRootString(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(ReadClassesRootString(key + "\\ProgID"), progid);
  EXPECT_EQ(ReadClassesRootString(key + "\\Version"), "1.0");
  EXPECT_EQ(ReadClassesRootString(key + "\\Typelib"), kLibId);
  EXPECT_EQ(ReadClassesRootString(progid), description);
  EXPECT_EQ(ReadClassesRootString(progid + "\\CLSID"), clsid);
  EXPECT_FALSE(key_exists(key + "\\VersionIndependentProgID"));
  EXPECT_FALSE(key_exists(key + "\\Implemented Categories"));
}

TEST_F(ModuleTest, RegistrationWritesBothClassesAndTheTypeLibrary) {
  ASSERT_EQ(dll_.register_server(), S_OK);
  expect_class_keys(kToolBar, "vo_arcmap_tool_bar_areaclip", vot_arcmap_areaclip_tool_bar_progid,
                    module_test::kModulePath);
  expect_class_keys(kCommand, "vo_arcmap_command_areaclip", vot_arcmap_areaclip_command_progid,
                    module_test::kModulePath);
  // The module-level registration comes last: the module file, with its folder as help folder.
  EXPECT_EQ(ReadClassesRootString(kTypeLibKey + "\\409\\win64"), module_test::kModulePath);
  EXPECT_EQ(ReadClassesRootString(kTypeLibKey + "\\HELPDIR"), std::string(AREACLIP_BIN_DIR) + "/");
  EXPECT_EQ(dll_.can_unload_now(), S_OK);  // registration creates no object
}

TEST_F(ModuleTest, UnregistrationRemovesTheClassesAndKeepsTheTypeLibrary) {
  ASSERT_EQ(dll_.register_server(), S_OK);
  EXPECT_EQ(dll_.unregister_server(), S_OK);
  for (const char* clsid : {kToolBar, kCommand}) EXPECT_FALSE(key_exists(std::string("CLSID\\") + clsid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_tool_bar_progid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_command_progid));
  EXPECT_TRUE(key_exists(kTypeLibKey));
  EXPECT_EQ(dll_.unregister_server(), S_OK);  // nothing left to delete: still S_OK
}

TEST_F(ModuleTest, RegisteredClassesAreCreatedThroughTheRegistry) {
  ASSERT_EQ(dll_.register_server(), S_OK);
  win32::EnableRegistryClasses();
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"vot_arcmap_areaclip.vo_arcmap_tool_bar_areaclip", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_vo_arcmap_tool_bar_areaclip);
  ComPtr<IToolBarDef> tool_bar;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IToolBarDef, tool_bar.put_void()), S_OK);
  LONG count = 0;
  EXPECT_EQ(tool_bar->get_ItemCount(&count), S_OK);
  EXPECT_EQ(count, 1);
}

// A copy of the module in a folder of the test's own, loaded from there.
class ModuleCopy {
 public:
  explicit ModuleCopy(const std::filesystem::path& folder) : path_((folder / "vot_arcmap_areaclip.so").string()) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(module_test::kModulePath, path_);
    loaded_ = dll_.load(path_);
  }
  ~ModuleCopy() {
    win32::DisableRegistryClasses();
    CoFreeUnusedLibraries();
    if (dll_.module) {
      EXPECT_EQ(dll_.can_unload_now(), S_OK);
      FreeLibrary(dll_.module);
    }
  }
  bool loaded() const { return loaded_; }
  const std::string& path() const { return path_; }
  const ModuleExports& dll() const { return dll_; }

 private:
  std::string path_;
  ModuleExports dll_;
  bool loaded_ = false;
};

TEST(ModuleRegistration, APathWithASpaceIsRegisteredInItsShortFormWhenThatFits) {
  struct Case {
    const char* name;
    std::string short_folder;  // "" : the registry's own, short enough
    bool short_form_registered;
  };
  // A short-path folder so deep that the short form needs more than MAX_PATH characters.
  const std::string deep = "/" + std::string(120, 'd') + "/" + std::string(120, 'e');
  for (const Case& c : {Case{"short form fits", "", true}, Case{"short form too long", deep, false}}) {
    SCOPED_TRACE(c.name);
    win32_test::TempRegistry registry;
    std::optional<win32_test::ScopedEnv> short_paths;
    if (!c.short_folder.empty()) short_paths.emplace("AREACLIP_SHORT_PATHS", registry.dir().str() + c.short_folder);
    const long alive = win32::ComObjectsAlive();
    {
      ModuleCopy copy(registry.dir().path() / "with space");
      ASSERT_TRUE(copy.loaded());
      ASSERT_EQ(copy.dll().register_server(), S_OK);
      char short_path[MAX_PATH] = {};
      const DWORD length = GetShortPathNameA(copy.path().c_str(), short_path, MAX_PATH);
      ASSERT_GT(length, 0u);
      const std::string registered =
          ReadClassesRootString(std::string("CLSID\\") + kCommand + "\\InprocServer32").value_or("");
      if (c.short_form_registered) {
        ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
        EXPECT_EQ(registered, short_path);
        EXPECT_EQ(registered.find(' '), std::string::npos);
      } else {
        EXPECT_GE(length, static_cast<DWORD>(MAX_PATH));  // the size it would need
        EXPECT_EQ(registered, copy.path());
      }
      // Either way the registered path leads back to the module.
      win32::EnableRegistryClasses();
      ComPtr<ICommand> command;
      EXPECT_EQ(CoCreateInstance(CLSID_vo_arcmap_command_areaclip, nullptr, CLSCTX_INPROC_SERVER, IID_ICommand,
                                 command.put_void()),
                S_OK);
    }
    EXPECT_EQ(win32::ComObjectsAlive(), alive);
  }
}

// The module file is gone (deleted while loaded): its type library cannot be loaded.
TEST(ModuleRegistration, RegistrationStopsAtATypeLibraryThatCannotBeLoaded) {
  win32_test::TempRegistry registry;
  ModuleCopy copy(registry.dir().path() / "module");
  ASSERT_TRUE(copy.loaded());
  std::filesystem::remove(copy.path());
  EXPECT_EQ(copy.dll().register_server(), TYPE_E_CANTLOADLIBRARY);
  for (const char* clsid : {kToolBar, kCommand}) EXPECT_FALSE(key_exists(std::string("CLSID\\") + clsid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_tool_bar_progid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_command_progid));
  EXPECT_FALSE(key_exists(kTypeLibKey));
  SetErrorInfo(0, nullptr);
}

TEST(ModuleRegistration, UnregistrationKeepsTheKeysWhenTheTypeLibraryCannotBeLoaded) {
  win32_test::TempRegistry registry;
  ModuleCopy copy(registry.dir().path() / "module");
  ASSERT_TRUE(copy.loaded());
  ASSERT_EQ(copy.dll().register_server(), S_OK);
  std::filesystem::remove(copy.path());
  EXPECT_EQ(copy.dll().unregister_server(), S_OK);
  expect_class_keys(kToolBar, "vo_arcmap_tool_bar_areaclip", vot_arcmap_areaclip_tool_bar_progid, copy.path());
  expect_class_keys(kCommand, "vo_arcmap_command_areaclip", vot_arcmap_areaclip_command_progid, copy.path());
  SetErrorInfo(0, nullptr);
}

// The module-level registration of the type library, tried on its own: a module whose file
// holds no type library has it beside it as a ".tlb" file.
TEST(ModuleRegistration, TheTypeLibraryBesideTheModuleIsRegisteredWithItsFolder) {
  struct Case {
    const char* module;  // relative to the test's folder; "\" is a separator too
    const char* tlb;     // the file written beside it ("" : none)
    HRESULT result;
    const char* registered;  // relative; the help folder is the part up to its last separator
    const char* help_dir;
  };
  const Case cases[] = {
      {"lib/vot_arcmap_areaclip.dll", "lib/vot_arcmap_areaclip.tlb", S_OK, "lib/vot_arcmap_areaclip.tlb", "lib/"},
      {"lib/vot_arcmap_areaclip", "lib/vot_arcmap_areaclip.tlb", S_OK, "lib/vot_arcmap_areaclip.tlb", "lib/"},
      {"lib\\vot_arcmap_areaclip.so", "lib/vot_arcmap_areaclip.tlb", S_OK, "lib\\vot_arcmap_areaclip.tlb", "lib\\"},
      {"lib/vot_arcmap_areaclip.dll", "", TYPE_E_CANTLOADLIBRARY, nullptr, nullptr},
  };
  std::string idl;
  {
    std::ifstream in(std::string(AREACLIP_SOURCE_DIR) + "/resources/vot_arcmap_areaclip.idl", std::ios::binary);
    idl.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ASSERT_FALSE(idl.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    win32_test::TempRegistry registry;
    const std::string base = registry.dir().str() + "/";
    std::filesystem::create_directories(base + "lib");
    if (*c.tlb) win32_test::write_text(base + c.tlb, idl);
    EXPECT_EQ(vot_register_module_type_library(base + c.module), c.result);
    SetErrorInfo(0, nullptr);
    if (!c.registered) {
      EXPECT_FALSE(key_exists(kTypeLibKey));
      continue;
    }
    EXPECT_EQ(ReadClassesRootString(kTypeLibKey + "\\409\\win64"), base + c.registered);
    EXPECT_EQ(ReadClassesRootString(kTypeLibKey + "\\HELPDIR"), base + c.help_dir);
  }
}

}  // namespace

// Registration and unregistration of the module's classes in a temporary registry.
#include <filesystem>

#include <win32/reg_key.h>

#include "tests/extension/module/module_fixture.h"

namespace {

using module_test::ModuleExports;
using module_test::ModuleTest;
using win32::ComPtr;
using win32::ReadClassesRootString;

const char kToolBar[] = "{3A43C927-85BD-4CD2-AD96-3AF6C445FAC6}";
const char kCommand[] = "{5E1406A0-AA3A-45CB-9AA4-4D9C5009B25C}";
const char kLibId[] = "{B1532AF0-85A1-491B-96F8-EEF899C3B9CC}";

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
  EXPECT_TRUE(key_exists(std::string("TypeLib\\") + kLibId + "\\1.0"));
  EXPECT_EQ(dll_.can_unload_now(), S_OK);  // registration creates no object
}

TEST_F(ModuleTest, UnregistrationRemovesTheClassesAndKeepsTheTypeLibrary) {
  ASSERT_EQ(dll_.register_server(), S_OK);
  EXPECT_EQ(dll_.unregister_server(), S_OK);
  for (const char* clsid : {kToolBar, kCommand}) EXPECT_FALSE(key_exists(std::string("CLSID\\") + clsid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_tool_bar_progid));
  EXPECT_FALSE(key_exists(vot_arcmap_areaclip_command_progid));
  EXPECT_TRUE(key_exists(std::string("TypeLib\\") + kLibId + "\\1.0"));
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

TEST(ModuleRegistration, APathWithASpaceIsRegisteredInItsShortForm) {
  win32_test::TempRegistry registry;
  const long alive = win32::ComObjectsAlive();
  auto folder = registry.dir().path() / "with space";
  std::filesystem::create_directories(folder);
  const std::string copy = (folder / "vot_arcmap_areaclip.so").string();
  std::filesystem::copy_file(module_test::kModulePath, copy);
  ModuleExports dll;
  ASSERT_TRUE(dll.load(copy));
  ASSERT_EQ(dll.register_server(), S_OK);
  char short_path[MAX_PATH];
  ASSERT_GT(GetShortPathNameA(copy.c_str(), short_path, MAX_PATH), 0u);
  const std::string registered =
      ReadClassesRootString(std::string("CLSID\\") + kCommand + "\\InprocServer32").value_or("");
  EXPECT_EQ(registered, short_path);
  EXPECT_EQ(registered.find(' '), std::string::npos);
  {
    win32::EnableRegistryClasses();
    ComPtr<ICommand> command;
    ASSERT_EQ(CoCreateInstance(CLSID_vo_arcmap_command_areaclip, nullptr, CLSCTX_INPROC_SERVER, IID_ICommand,
                               command.put_void()),
              S_OK);
  }
  win32::DisableRegistryClasses();
  CoFreeUnusedLibraries();
  EXPECT_EQ(dll.can_unload_now(), S_OK);
  FreeLibrary(dll.module);
  EXPECT_EQ(win32::ComObjectsAlive(), alive);
}

}  // namespace

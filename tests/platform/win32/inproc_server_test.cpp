// In-process servers found through the registry's InprocServer32 and ProgID keys.
#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>
#include <win32/inproc_servers.h>
#include <win32/reg_key.h>

#include "support/com_test.h"
#include "test_server/test_server.h"
#include "win32_test_env.h"

namespace {

using testing_support::ref_count;
using win32::ComPtr;
using win32::RegKey;

void write(const std::string& path, const std::string& name, const std::string& value) {
  RegKey key;
  ASSERT_EQ(RegKey::Create(HKEY_CLASSES_ROOT, path, &key), ERROR_SUCCESS);
  ASSERT_EQ(key.SetString(name, value), ERROR_SUCCESS);
}

class RegistryClasses : public testing::Test {
 protected:
  void SetUp() override {
    SetErrorInfo(0, nullptr);
    alive_ = win32::ComObjectsAlive();
    win32::EnableRegistryClasses();
    const std::string clsid = std::string("CLSID\\") + kTestServerClassText;
    write(clsid, "", "Test server");
    write(clsid + "\\InprocServer32", "", WIN32_TEST_SERVER);
    write(clsid + "\\InprocServer32", "ThreadingModel", "Apartment");
    write(clsid + "\\ProgID", "", "Win32Test.Server");
    write("Win32Test.Server\\CLSID", "", kTestServerClassText);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    win32::DisableRegistryClasses();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(win32::ComObjectsAlive(), alive_);
  }
  win32_test::TempRegistry registry_;
  long alive_ = 0;
};

TEST_F(RegistryClasses, CreateInstanceLoadsTheServerAndFreeUnusedUnloadsIt) {
  ComPtr<IUnknown> object;
  ASSERT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()), S_OK);
  EXPECT_EQ(ref_count(object.get()), 1u);
  ASSERT_EQ(win32::LoadedServerModules().size(), 1u);
  HMODULE module = win32::LoadedServerModules()[0];
  EXPECT_EQ(GetModuleHandleA(WIN32_TEST_SERVER), module);

  CoFreeUnusedLibraries();  // the object still holds the server
  EXPECT_EQ(win32::LoadedServerModules().size(), 1u);
  ComPtr<IUnknown> second;
  ASSERT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_ALL, IID_IUnknown, second.put_void()), S_OK);
  EXPECT_EQ(win32::LoadedServerModules().size(), 1u);  // loaded once
  object.reset();
  second.reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(win32::LoadedServerModules().empty());
  EXPECT_EQ(GetModuleHandleA(WIN32_TEST_SERVER), nullptr);
}

TEST_F(RegistryClasses, ClassObjectsAndLockServer) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(kTestServerClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
            S_OK);
  testing_support::expect_query_interface_rules(factory.get(), {IID_IClassFactory});
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.reset();
  CoFreeUnusedLibraries();
  ASSERT_EQ(win32::LoadedServerModules().size(), 1u);  // locked
  HMODULE module = win32::LoadedServerModules()[0];
  auto can_unload = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllCanUnloadNow"));
  EXPECT_EQ(can_unload(), S_FALSE);
  ASSERT_EQ(CoGetClassObject(kTestServerClass, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()),
            S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
}

TEST_F(RegistryClasses, ProgIdsBothWays) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Win32Test.Server", &clsid), S_OK);
  EXPECT_EQ(clsid, kTestServerClass);
  LPOLESTR progid = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(kTestServerClass, &progid), S_OK);
  EXPECT_EQ(std::u16string(progid), u"Win32Test.Server");
  CoTaskMemFree(progid);
  EXPECT_EQ(CLSIDFromProgID(u"Win32Test.Missing", &clsid), CO_E_CLASSSTRING);
}

TEST_F(RegistryClasses, FailuresOfTheRegistryAndTheModule) {
  const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 9}};
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
  const std::string text = win32::guid_to_string(unknown);
  write("CLSID\\" + text + "\\InprocServer32", "", "/no/such/module.so");
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, &p), HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  write("CLSID\\" + text + "\\InprocServer32", "", WIN32_TEST_SERVER);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
}

TEST_F(RegistryClasses, AServerRegisteredByItsShortPath) {
  auto folder = registry_.dir().path() / "with space";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(WIN32_TEST_SERVER, folder / "server.so");
  char short_path[MAX_PATH];
  ASSERT_GT(GetShortPathNameA((folder / "server.so").c_str(), short_path, MAX_PATH), 0u);
  write(std::string("CLSID\\") + kTestServerClassText + "\\InprocServer32", "", short_path);
  ComPtr<IUnknown> object;
  ASSERT_EQ(CoCreateInstance(kTestServerClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.put_void()), S_OK);
  char loaded[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(win32::LoadedServerModules().at(0), loaded, MAX_PATH), 0u);
  EXPECT_STREQ(loaded, short_path);
}

}  // namespace

// The module under test, loaded with LoadLibrary from the build's bin/ folder for one test,
// with a registry of the test's own. At the end every object must be gone: the module's
// lock count back to 0 and no stand-in object left alive.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include <objbase.h>
#include <windows.h>
#include <win32/com_object.h>
#include <win32/inproc_servers.h>

#include "arcobjects/arcobjects.h"
#include "extension/vot_arcmap_areaclip_tlb.h"
#include "platform/win32/win32_test_env.h"
#include "support/com_test.h"

namespace module_test {

inline const std::string kModulePath = std::string(AREACLIP_BIN_DIR) + "/vot_arcmap_areaclip.so";

using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using PlainFn = HRESULT (*)();

// The exports of one loaded copy of the module.
struct ModuleExports {
  HMODULE module = nullptr;
  GetClassObjectFn get_class_object = nullptr;
  PlainFn can_unload_now = nullptr;
  PlainFn register_server = nullptr;
  PlainFn unregister_server = nullptr;

  bool load(const std::string& path) {
    module = LoadLibraryA(path.c_str());
    if (!module) return false;
    get_class_object = reinterpret_cast<GetClassObjectFn>(GetProcAddress(module, "DllGetClassObject"));
    can_unload_now = reinterpret_cast<PlainFn>(GetProcAddress(module, "DllCanUnloadNow"));
    register_server = reinterpret_cast<PlainFn>(GetProcAddress(module, "DllRegisterServer"));
    unregister_server = reinterpret_cast<PlainFn>(GetProcAddress(module, "DllUnregisterServer"));
    return get_class_object && can_unload_now && register_server && unregister_server;
  }
};

class ModuleTest : public testing::Test {
 protected:
  void SetUp() override {
    SetErrorInfo(0, nullptr);
    alive_ = win32::ComObjectsAlive();
    ASSERT_TRUE(dll_.load(kModulePath)) << kModulePath;
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    win32::DisableRegistryClasses();
    CoFreeUnusedLibraries();
    if (dll_.module) {
      EXPECT_EQ(dll_.can_unload_now(), S_OK) << "an object of the module is still alive";
      FreeLibrary(dll_.module);
    }
    EXPECT_EQ(win32::ComObjectsAlive(), alive_);
  }

  // A new object of the class, answering I.
  template <class I>
  win32::ComPtr<I> create(REFCLSID clsid) {
    win32::ComPtr<IClassFactory> factory;
    EXPECT_EQ(dll_.get_class_object(clsid, IID_IClassFactory, factory.put_void()), S_OK);
    win32::ComPtr<I> object;
    if (factory) {
      EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(I), object.put_void()), S_OK);
    }
    return object;
  }

  win32_test::TempRegistry registry_;
  ModuleExports dll_;
  long alive_ = 0;
};

}  // namespace module_test

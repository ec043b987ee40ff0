// Loading and unloading the module: what it sets up at load (COM on the loading thread, the
// toolkit's resource lookup) is in place while it is loaded and undone when it is unloaded.
#include <optional>
#include <string>
#include <thread>

#include <toolkit/exception.h>
#include <toolkit/resources.h>
#include <win32/com_runtime.h>

#include "tests/extension/module/module_fixture.h"

namespace {

using module_test::ModuleExports;

TEST(ModuleLifecycle, LoadingInitialisesComOnTheLoadingThreadAndUnloadingEndsIt) {
  // A thread of its own: its COM initialisation count starts at 0 whatever ran before.
  std::thread([] {
    ASSERT_EQ(win32::CoInitializeCount(), 0);
    ModuleExports dll;
    ASSERT_TRUE(dll.load(module_test::kModulePath));
    EXPECT_EQ(win32::CoInitializeCount(), 1);
    FreeLibrary(dll.module);
    EXPECT_EQ(win32::CoInitializeCount(), 0);

    // On a thread that has COM initialised already, the module's own initialisation is
    // counted on top of it and ended alone.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_TRUE(dll.load(module_test::kModulePath));
    EXPECT_EQ(win32::CoInitializeCount(), 2);
    FreeLibrary(dll.module);
    EXPECT_EQ(win32::CoInitializeCount(), 1);
    CoUninitialize();
  }).join();
}

TEST(ModuleLifecycle, UnloadingGivesBackTheToolkitsResourceLookup) {
  // The lookup in place before the load answers one resource of its own.
  toolkit::ResourceLookup before = toolkit::SetResourceLookup(
      [](HINSTANCE, const std::string& type, const std::string& name) -> std::optional<std::string> {
        if (type == "RCDATA" && name == "MINE") return std::string("mine");
        return std::nullopt;
      });
  ModuleExports dll;
  ASSERT_TRUE(dll.load(module_test::kModulePath));
  // While loaded, the module's lookup finds the module's own resources.
  EXPECT_FALSE(toolkit::LoadResourceData(dll.module, "BITMAP", "#70").empty());
  EXPECT_THROW(toolkit::LoadResourceData(nullptr, "RCDATA", "MINE"), Exception);
  FreeLibrary(dll.module);
  // After the unload the toolkit holds nothing of the module: the earlier lookup is back.
  EXPECT_EQ(toolkit::LoadResourceData(nullptr, "RCDATA", "MINE"), "mine");
  toolkit::SetResourceLookup(std::move(before));
}

}  // namespace

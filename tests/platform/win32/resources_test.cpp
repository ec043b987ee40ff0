// Resources embedded by the build: found through the module handle by type and name.
#include <gtest/gtest.h>

#include <windows.h>
#include <win32/resources.h>

#include "test_server/test_server.h"

namespace {

// Holds the test server loaded for one test.
class ServerModule : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA(WIN32_TEST_SERVER);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  std::string bytes(HRSRC res) {
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, res)));
    return std::string(data, SizeofResource(module_, res));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ServerModule, BitmapSeventyIsTheDibWithoutFileHeader) {
  HRSRC res = FindResourceA(module_, MAKEINTRESOURCEA(70), RT_BITMAP);
  ASSERT_NE(res, nullptr);
  std::string dib = bytes(res);
  ASSERT_EQ(dib.size(), 40u + 16u);  // BITMAPINFOHEADER and two padded rows of two pixels
  EXPECT_EQ(static_cast<unsigned char>(dib[0]), 40);  // biSize
  EXPECT_EQ(static_cast<unsigned char>(dib[14]), 24);  // biBitCount
  EXPECT_EQ(FindResourceA(module_, "#70", MAKEINTRESOURCEA(2)), res);
  EXPECT_FALSE(FreeResource(LoadResource(module_, res)));
}

TEST_F(ServerModule, NamedResourcesIgnoreCase) {
  HRSRC res = FindResourceA(module_, "greeting", RT_RCDATA);
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(bytes(res).rfind("object Form1: TForm", 0), 0u);
  EXPECT_EQ(FindResourceW(module_, u"GREETING", MAKEINTRESOURCEW(10)), res);
  HRSRC typelib = FindResourceA(module_, MAKEINTRESOURCEA(1), "TYPELIB");
  ASSERT_NE(typelib, nullptr);
  EXPECT_NE(bytes(typelib).find("library vot_arcmap_areaclip"), std::string::npos);
}

TEST_F(ServerModule, MissingResourcesFailWithTheirErrors) {
  SetLastError(0);
  EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCEA(71), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCEA(70), RT_ICON), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  // A module without any table: the win32 library itself.
  HMODULE runtime = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(&FindResourceA), &runtime));
  EXPECT_EQ(FindResourceA(runtime, MAKEINTRESOURCEA(70), RT_BITMAP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(ServerModule, ToolkitLookupUsesTypeNamesAndHashIds) {
  auto bitmap = win32::FindResourceBytes(module_, "BITMAP", "#70");
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->size(), 56u);
  EXPECT_TRUE(win32::FindResourceBytes(module_, "RCDATA", "Greeting"));
  EXPECT_FALSE(win32::FindResourceBytes(module_, "RCDATA", "Other"));
}

TEST(ProgramResources, TheProgramFindsItsOwnTable) {
  HRSRC res = FindResourceA(nullptr, MAKEINTRESOURCEA(7), RT_RCDATA);
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), "#7", RT_RCDATA), res);
  auto text = win32::FindResourceBytes(nullptr, "RCDATA", "#7");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "resource of the test program\n");
}

}  // namespace

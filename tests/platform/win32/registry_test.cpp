// The Reg* calls: keys, values and the Windows size protocols.
#include <gtest/gtest.h>

#include <vector>

#include <windows.h>
#include <win32/reg_key.h>

#include "win32_test_env.h"

namespace {

using win32_test::TempRegistry;

LONG set_sz(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

class Registry : public testing::Test {
 protected:
  TempRegistry registry_;
};

TEST_F(Registry, CreateSetQueryWithTheSizeProtocol) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(set_sz(key, nullptr, "C:\\mod.dll"), ERROR_SUCCESS);
  ASSERT_EQ(set_sz(key, "ThreadingModel", "Apartment"), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 10u);  // "Apartment" and its zero
  char small[4] = {};
  DWORD small_size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &small_size),
            ERROR_MORE_DATA);
  EXPECT_EQ(small_size, 10u);
  char buf[32];
  DWORD buf_size = sizeof buf;
  ASSERT_EQ(RegQueryValueExA(key, "threadingmodel", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &buf_size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buf, "Apartment");
  EXPECT_EQ(buf_size, 10u);

  char16_t wide[32];
  DWORD wide_size = sizeof wide;
  ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(wide), &wide_size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(wide), u"C:\\mod.dll");
  EXPECT_EQ(wide_size, 11u * 2);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, NamesAreCaseInsensitiveAndKeepTheirCase) {
  win32::RegKey key;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CLASSES_ROOT, "MyApp.Thing\\CLSID", &key), ERROR_SUCCESS);
  HKEY again = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "MYAPP.THING\\clsid", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(again);
  char name[64];
  ASSERT_EQ(RegEnumKeyA(HKEY_CLASSES_ROOT, 0, name, sizeof name), ERROR_SUCCESS);
  EXPECT_STREQ(name, "MyApp.Thing");
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "myapp.thing", 0, KEY_READ, &again), ERROR_SUCCESS);
  RegCloseKey(again);
}

TEST_F(Registry, EnumeratesInNameOrderUntilNoMoreItems) {
  win32::RegKey root;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CLASSES_ROOT, "Enum", &root), ERROR_SUCCESS);
  for (const char* sub : {"beta", "Alpha", "gamma"}) {
    win32::RegKey k;
    ASSERT_EQ(win32::RegKey::Create(root.get(), sub, &k), ERROR_SUCCESS);
  }
  std::vector<std::string> names;
  char name[16];
  DWORD index = 0;
  for (;; ++index) {
    DWORD cch = sizeof name;
    LONG rc = RegEnumKeyExA(root.get(), index, name, &cch, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_EQ(cch, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  char tiny[3];
  DWORD cch = sizeof tiny;
  EXPECT_EQ(RegEnumKeyExA(root.get(), 0, tiny, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(root.get(), 0, tiny, sizeof tiny), ERROR_MORE_DATA);
  char16_t wname[16];
  ASSERT_EQ(RegEnumKeyW(root.get(), 2, wname, 16), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(wname), u"gamma");
}

TEST_F(Registry, DeleteRefusesKeysWithSubkeys) {
  win32::RegKey k;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CLASSES_ROOT, "Del\\Child", &k), ERROR_SUCCESS);
  k.close();
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Del"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Del\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Del\\Child"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"DEL"), ERROR_SUCCESS);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Del", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(gone, nullptr);
}

TEST_F(Registry, HandlesOfDeletedKeysAnswerKeyDeleted) {
  win32::RegKey k;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CLASSES_ROOT, "Gone", &k), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "Gone"), ERROR_SUCCESS);
  EXPECT_EQ(k.SetString("", "x"), ERROR_KEY_DELETED);
}

TEST_F(Registry, TreeDeletionValuesAndOtherTypes) {
  win32::RegKey k;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CURRENT_USER, "Software\\Test\\Deep\\Er", &k), ERROR_SUCCESS);
  DWORD number = 0x1234;
  ASSERT_EQ(RegSetValueExA(k.get(), "N", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  DWORD type = 0, out = 0, size = 4;
  ASSERT_EQ(RegQueryValueExA(k.get(), "N", nullptr, &type, reinterpret_cast<BYTE*>(&out), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(out, 0x1234u);
  EXPECT_EQ(RegDeleteValueA(k.get(), "N"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(k.get(), "N"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Test"), ERROR_SUCCESS);
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &h), ERROR_SUCCESS);
  RegCloseKey(h);
}

TEST_F(Registry, UnsupportedRootsAreDenied) {
  HKEY h = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\X", 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &h), ERROR_ACCESS_DENIED);
}

TEST_F(Registry, AnsiTextIsKeptAsUnicode) {
  win32::RegKey k;
  ASSERT_EQ(win32::RegKey::Create(HKEY_CLASSES_ROOT, "Text", &k), ERROR_SUCCESS);
  const std::string ansi = "\xC2\xFB\xF0\xE5\xE7\xE0\xED\xE8\xE5";  // "Вырезание" in Windows-1251
  ASSERT_EQ(set_sz(k.get(), "", ansi), ERROR_SUCCESS);
  EXPECT_EQ(k.GetString(""), std::optional<std::string>("Вырезание"));
  char back[32];
  DWORD size = sizeof back;
  ASSERT_EQ(RegQueryValueExA(k.get(), "", nullptr, nullptr, reinterpret_cast<BYTE*>(back), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(back), ansi);
}

}  // namespace

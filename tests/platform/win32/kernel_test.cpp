#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <olectl.h>
#include <windows.h>

#include "support/com_test.h"

namespace {

std::string system_text(DWORD code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                           LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string s = n ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  return s;
}

TEST(FormatMessage, CommonCodesHaveTexts) {
  EXPECT_EQ(system_text(E_NOINTERFACE), "No such interface supported");
  EXPECT_EQ(system_text(E_INVALIDARG), "The parameter is incorrect.");
  EXPECT_EQ(system_text(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.");
  EXPECT_EQ(system_text(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)), "Access is denied.");
}

TEST(FormatMessage, InterfaceSpecificCodesHaveNone) {
  EXPECT_EQ(system_text(CLASS_E_CLASSNOTAVAILABLE), "");
  EXPECT_EQ(system_text(CONNECT_E_ADVISELIMIT), "");
  EXPECT_EQ(GetLastError(), 317u);
}

TEST(Interlocked, ConcurrentIncrementsAreNotLost) {
  LONG volatile counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) InterlockedIncrement(&counter);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 40000);
  EXPECT_EQ(InterlockedDecrement(&counter), 39999);
  EXPECT_EQ(InterlockedCompareExchange(&counter, 5, 39999), 39999);
  EXPECT_EQ(counter, 5);
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));  // same thread re-enters
  std::atomic<bool> other_got_it{true};
  std::thread([&] { other_got_it = TryEnterCriticalSection(&cs); }).join();
  EXPECT_FALSE(other_got_it);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);
}

TEST(DebugBreak, WithoutDebuggerTheProcessGoesOn) {
  ASSERT_FALSE(IsDebuggerPresent());
  DebugBreak();
  SUCCEED();
}

TEST(Files, AttributesAndFolderCreationWithBothSeparators) {
  testing_support::TempDir dir;
  std::string base = dir.str();
  EXPECT_EQ(GetFileAttributesA((base + "\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(CreateDirectoryA((base + "\\sub").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryA((base + "/sub").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileAttributesA((base + "\\sub").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  std::ofstream(dir.path() / "sub" / "f.txt") << "x";
  EXPECT_NE(GetFileAttributesA((base + "\\sub\\f.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  // A Cyrillic folder name in the ANSI code page lands as UTF-8 on disk.
  EXPECT_TRUE(CreateDirectoryA((base + "\\\xCA\xE0\xF0\xF2\xE0").c_str(), nullptr));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Карта"));
  // A folder under a regular file cannot be made.
  EXPECT_FALSE(CreateDirectoryA((base + "\\sub\\f.txt\\x").c_str(), nullptr));
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

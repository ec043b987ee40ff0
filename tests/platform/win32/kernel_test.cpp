#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A name in another letter case is the file, as the folder is now: after entries are
// made, renamed and removed (here and by another process), after the folder is replaced
// under its path, past the folders kept, and in a forked process and its parent alike.
TEST(Files, ANameInAnotherLetterCaseFollowsTheFolderAsItChanges) {
  namespace fs = std::filesystem;
  testing_support::TempDir dir;
  const std::string base = dir.str();
  const auto there = [&](const std::string& name) {
    return GetFileAttributesA((base + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  fs::create_directories(dir.path() / "sub");
  std::ofstream(dir.path() / "sub" / "ROADS.SHP") << "x";
  EXPECT_TRUE(there("sub\\roads.shp"));
  EXPECT_FALSE(there("sub\\lakes.shp"));
  std::ofstream(dir.path() / "sub" / "LAKES.shp") << "x";
  EXPECT_TRUE(there("sub\\lakes.shp"));
  fs::rename(dir.path() / "sub" / "LAKES.shp", dir.path() / "sub" / "Rivers.Shp");
  EXPECT_FALSE(there("sub\\lakes.shp"));
  EXPECT_TRUE(there("sub\\RIVERS.SHP"));
  fs::remove(dir.path() / "sub" / "ROADS.SHP");
  EXPECT_FALSE(there("sub\\roads.shp"));
  ASSERT_EQ(std::system(("touch '" + (dir.path() / "sub" / "\xD0\x9A\xD0\x90\xD0\xA0\xD0\xA2\xD0\x90.TXT").string() + "'").c_str()), 0);
  EXPECT_TRUE(there("sub\\\xEA\xE0\xF0\xF2\xE0.txt"));  // "карта.txt" in the ANSI code page

  // Another folder under the same path: by removing and making it, by renaming one there.
  fs::remove_all(dir.path() / "sub");
  fs::create_directories(dir.path() / "sub");
  std::ofstream(dir.path() / "sub" / "A.TXT") << "x";
  EXPECT_TRUE(there("sub\\a.txt"));
  EXPECT_FALSE(there("sub\\rivers.shp"));
  fs::create_directories(dir.path() / "other");
  std::ofstream(dir.path() / "other" / "B.TXT") << "x";
  fs::rename(dir.path() / "sub", dir.path() / "gone");
  fs::rename(dir.path() / "other", dir.path() / "sub");
  EXPECT_TRUE(there("sub\\b.txt"));
  EXPECT_FALSE(there("sub\\a.txt"));
  // The folder above moved away and made again, the folder itself untouched.
  fs::create_directories(dir.path() / "up" / "in");
  std::ofstream(dir.path() / "up" / "in" / "C.TXT") << "x";
  EXPECT_TRUE(there("up\\in\\c.txt"));
  fs::rename(dir.path() / "up", dir.path() / "up_moved");
  fs::create_directories(dir.path() / "up" / "in");
  std::ofstream(dir.path() / "up" / "in" / "D.TXT") << "x";
  EXPECT_FALSE(there("up\\in\\c.txt"));
  EXPECT_TRUE(there("up\\in\\d.txt"));

  // Past the folders kept, the first is looked at again as it is.
  for (int i = 0; i < 12; ++i) {
    fs::create_directories(dir.path() / ("f" + std::to_string(i)));
    EXPECT_FALSE(there("f" + std::to_string(i) + "\\x.txt"));
  }
  std::ofstream(dir.path() / "f0" / "X.TXT") << "x";
  std::ofstream(dir.path() / "f11" / "X.TXT") << "x";
  EXPECT_TRUE(there("f0\\x.txt"));
  EXPECT_TRUE(there("f11\\x.txt"));

  // A folder of a file system whose changes inotify may not all tell is listed each time.
  EXPECT_NE(GetFileAttributesA("/proc/self/STATUS"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("/proc/self/no-such-entry"), INVALID_FILE_ATTRIBUTES);

  // A forked process looks for itself; what it sees made is not lost to its parent.
  EXPECT_FALSE(there("sub\\forked.txt"));
  const pid_t child = fork();
  if (child == 0) {
    std::ofstream(dir.path() / "sub" / "FORKED.TXT") << "x";
    const bool found = GetFileAttributesA((base + "\\sub\\forked.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    _exit(found ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(there("sub\\forked.txt"));
}

}  // namespace

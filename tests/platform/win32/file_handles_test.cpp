// Files by handle: which file a path names, whatever path reaches it, and the removal of
// empty folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <windows.h>

#include "support/com_test.h"

namespace {

namespace fs = std::filesystem;

struct Identity {
  bool known = false;
  BY_HANDLE_FILE_INFORMATION info{};
};

Identity identity_of(const fs::path& path, DWORD flags = FILE_FLAG_BACKUP_SEMANTICS) {
  Identity id;
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return id;
  id.known = GetFileInformationByHandle(file, &id.info) != FALSE;
  EXPECT_TRUE(CloseHandle(file));
  return id;
}

bool same(const Identity& a, const Identity& b) {
  return a.known && b.known && a.info.dwVolumeSerialNumber == b.info.dwVolumeSerialNumber &&
         a.info.nFileIndexHigh == b.info.nFileIndexHigh && a.info.nFileIndexLow == b.info.nFileIndexLow;
}

TEST(FileHandles, OneFileThroughEveryPathThatReachesIt) {
  testing_support::TempDir dir;
  fs::create_directories(dir.path() / "Map");
  std::ofstream(dir.path() / "Map" / "cross.mxd") << "document";
  std::ofstream(dir.path() / "Map" / "other.mxd") << "document";
  fs::create_directory_symlink(dir.path() / "Map", dir.path() / "link");
  fs::create_directories(dir.path() / "map");  // another folder on a file system that tells case
  std::ofstream(dir.path() / "map" / "cross.mxd") << "document";
  fs::create_hard_link(dir.path() / "Map" / "cross.mxd", dir.path() / "hard.mxd");

  const Identity original = identity_of(dir.path() / "Map" / "cross.mxd");
  ASSERT_TRUE(original.known);
  EXPECT_EQ(original.info.nFileSizeLow, 8u);
  EXPECT_EQ(original.info.nNumberOfLinks, 2u);
  struct Case {
    std::string path;  // relative to the folder, "\" or "/"
    bool same;
  };
  const Case cases[] = {
      {"Map/cross.mxd", true},      {"Map\\cross.mxd", true},    {"link/cross.mxd", true},
      {"map/../Map/cross.mxd", true}, {"hard.mxd", true},        {"map/cross.mxd", false},
      {"Map/other.mxd", false},     {"Map/missing.mxd", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(same(identity_of(dir.str() + "/" + c.path), original), c.same);
  }
  // The wide form of a path the ANSI code page cannot hold.
  fs::create_directories(dir.path() / "地图");
  std::ofstream(dir.path() / "地图" / "cross.mxd") << "document";
  const std::u16string wide = (dir.path() / "地图" / "cross.mxd").u16string();
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
}

TEST(FileHandles, RefusalsAsOnWindows) {
  testing_support::TempDir dir;
  std::ofstream(dir.path() / "file.txt") << "x";
  // A folder opens only with backup semantics.
  EXPECT_FALSE(identity_of(dir.path(), 0).known);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(identity_of(dir.path()).known);
  EXPECT_FALSE(identity_of(dir.path() / "missing").known);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Only existing files, only for reading.
  const std::string path = (dir.path() / "file.txt").string();
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, 2 /* CREATE_ALWAYS */, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));  // closed once only
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(GetFileInformationByHandle(nullptr, nullptr));
}

TEST(FileHandles, RemoveDirectoryRemovesOnlyEmptyFolders) {
  testing_support::TempDir dir;
  fs::create_directories(dir.path() / "a" / "b");
  std::ofstream(dir.path() / "a" / "b" / "kept.txt") << "x";
  const std::string a = (dir.path() / "a").string(), b = (dir.path() / "a" / "b").string();
  EXPECT_FALSE(RemoveDirectoryA(b.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
  EXPECT_TRUE(fs::exists(dir.path() / "a" / "b" / "kept.txt"));
  EXPECT_FALSE(RemoveDirectoryA((b + "\\kept.txt").c_str()));  // a file is no folder
  fs::remove(dir.path() / "a" / "b" / "kept.txt");
  EXPECT_TRUE(RemoveDirectoryA(b.c_str()));
  EXPECT_TRUE(RemoveDirectoryA(a.c_str()));
  EXPECT_FALSE(RemoveDirectoryA(a.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace

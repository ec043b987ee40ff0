// The registry file: format, persistence across processes, atomic and concurrent writes,
// damaged and read-only files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <windows.h>
#include <win32/reg_key.h>
#include <win32/registry.h>

#include "win32_test_env.h"

namespace {

using win32::RegKey;
using win32_test::read_text;
using win32_test::TempRegistry;
using win32_test::write_text;

// Runs body in a child process; its result is the child's exit code.
template <class F>
pid_t spawn(F body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  return pid;
}

int wait_code(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

LONG put(const std::string& path, const std::string& name, const std::string& value) {
  RegKey k;
  LONG rc = RegKey::Create(HKEY_CLASSES_ROOT, path, &k);
  return rc != ERROR_SUCCESS ? rc : k.SetString(name, value);
}

TEST(RegistryFile, LocationFollowsTheEnvironment) {
  TempRegistry registry;
  EXPECT_EQ(win32::RegistryFile(), registry.file());
  win32_test::ScopedEnv none("AREACLIP_REGISTRY", "");
  win32_test::ScopedEnv config("XDG_CONFIG_HOME", "/some/config");
  EXPECT_EQ(win32::RegistryFile(), "/some/config/areaclip/registry.txt");
}

TEST(RegistryFile, IsReadableTextWithAVersionHeader) {
  TempRegistry registry;
  ASSERT_EQ(put("CLSID\\{X}\\InprocServer32", "", "/opt/my mods/a.so"), ERROR_SUCCESS);
  ASSERT_EQ(put("CLSID\\{X}\\InprocServer32", "ThreadingModel", "Apart\"ment\"\n"), ERROR_SUCCESS);
  std::string text = read_text(registry.file());
  EXPECT_EQ(text.rfind("areaclip-registry 1\n", 0), 0u) << text;
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32]\n@=\"/opt/my mods/a.so\"\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\"ThreadingModel\"=\"Apart\\\"ment\\\"\\n\""), std::string::npos) << text;
  std::string error;
  EXPECT_TRUE(win32::CheckRegistryText(text, &error)) << error;
}

TEST(RegistryFile, ChangesPersistAcrossProcesses) {
  TempRegistry registry;
  ASSERT_EQ(put("Persist\\Key", "v", "from parent"), ERROR_SUCCESS);
  pid_t child = spawn([] {
    if (win32::ReadClassesRootString("PERSIST\\key", "V") != std::optional<std::string>("from parent")) return 1;
    return put("Persist\\Key", "w", "from child") == ERROR_SUCCESS ? 0 : 2;
  });
  ASSERT_EQ(wait_code(child), 0);
  EXPECT_EQ(win32::ReadClassesRootString("Persist\\Key", "w"), std::optional<std::string>("from child"));
}

TEST(RegistryFile, ConcurrentWritersAllLand) {
  TempRegistry registry;
  constexpr int kPerProcess = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    children.push_back(spawn([p] {
      for (int i = 0; i < kPerProcess; ++i)
        if (put("Race\\P" + std::to_string(p) + "_" + std::to_string(i), "", std::to_string(i)) != ERROR_SUCCESS)
          return 1;
      return 0;
    }));
  }
  for (pid_t c : children) EXPECT_EQ(wait_code(c), 0);
  for (int p = 0; p < 2; ++p)
    for (int i = 0; i < kPerProcess; ++i)
      EXPECT_EQ(win32::ReadClassesRootString("Race\\P" + std::to_string(p) + "_" + std::to_string(i)),
                std::optional<std::string>(std::to_string(i)))
          << p << " " << i;
}

TEST(RegistryFile, AFailedWriteLeavesTheOldFileWhole) {
  TempRegistry registry;
  ASSERT_EQ(put("Keep", "", "old"), ERROR_SUCCESS);
  std::string before = read_text(registry.file());
  pid_t child = spawn([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit{before.size() + 16, before.size() + 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return put("Keep", "big", std::string(100000, 'x')) != ERROR_SUCCESS ? 0 : 1;
  });
  ASSERT_EQ(wait_code(child), 0);
  EXPECT_EQ(read_text(registry.file()), before);
  for (const auto& entry : std::filesystem::directory_iterator(registry.dir().path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST(RegistryFile, ADamagedFileIsReportedAndNeverRewritten) {
  TempRegistry registry;
  const std::string damaged = "areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"ok\"\n\"x\"=oops\n";
  write_text(registry.file(), damaged);
  testing::internal::CaptureStderr();
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A", 0, KEY_READ, &h), ERROR_BADDB);
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(registry.file() + ":4:"), std::string::npos) << report;
  EXPECT_EQ(put("B", "", "new"), ERROR_BADDB);
  EXPECT_EQ(read_text(registry.file()), damaged);
}

// "\" separates key names, so "%5C" in a key line names no key: the file is refused, not
// read into a key the next change would write back as a path with an empty name, which
// would no longer read (found by fuzzing).
TEST(RegistryFile, AnEscapedBackslashInAKeyNameIsDamage) {
  TempRegistry registry;
  const std::string damaged = "areaclip-registry 1\n[HKEY_CLASSES_ROOT\\%5C]\n@=\"x\"\n";
  write_text(registry.file(), damaged);
  testing::internal::CaptureStderr();
  EXPECT_EQ(put("B", "", "new"), ERROR_BADDB);
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find(registry.file() + ":2:"), std::string::npos) << report;
  EXPECT_NE(report.find("%5C"), std::string::npos) << report;
  EXPECT_EQ(read_text(registry.file()), damaged);

  std::string error;
  EXPECT_FALSE(win32::CheckRegistryText("areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A%5cB]\n", &error));
  EXPECT_EQ(error.rfind("line 2:", 0), 0u) << error;
  EXPECT_TRUE(win32::CheckRegistryText("areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A%25%5B%09B]\n", &error))
      << error;
}

TEST(RegistryFile, DamageIsNamedByLine) {
  const std::pair<const char*, int> cases[] = {
      {"", 1},
      {"something else\n", 1},
      {"areaclip-registry 2\n", 1},
      {"areaclip-registry 1\n@=\"value before key\"\n", 2},
      {"areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A\n", 2},
      {"areaclip-registry 1\n[HKEY_NOWHERE\\A]\n", 2},
      {"areaclip-registry 1\n\n[HKEY_CLASSES_ROOT\\A\\\\B]\n", 3},
      {"areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A]\n\"unterminated=\"x\n", 3},
      {"areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"bad \\q escape\"\n", 3},
      {"areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=hex(3):0g\n", 3},
      {"areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A]\n@=\"x\" trailing\n", 3},
  };
  for (const auto& [text, line] : cases) {
    std::string error;
    EXPECT_FALSE(win32::CheckRegistryText(text, &error)) << text;
    EXPECT_EQ(error.rfind("line " + std::to_string(line) + ":", 0), 0u) << text << " → " << error;
  }
}

// Deterministic mutations of a valid registry text are accepted or refused with a line.
TEST(RegistryFile, MutatedTextsAreAcceptedOrRefusedWithALine) {
  const std::string base =
      "areaclip-registry 1\n[HKEY_CLASSES_ROOT\\A%25\\B]\n@=\"x\\\"y\\x01\"\n\"n\"=dword:0000001f\n"
      "\"b\"=hex(3):01,ff\n\"e\"=expand:\"%PATH%\"\n";
  std::string error;
  ASSERT_TRUE(win32::CheckRegistryText(base, &error)) << error;
  std::mt19937 random(7);
  const char alphabet[] = "[]\\\"=@:,%\n x0(";
  for (int i = 0; i < 3000; ++i) {
    std::string text = base;
    for (int k = random() % 3; k >= 0; --k) {
      size_t at = random() % text.size();
      if (random() % 2) text[at] = alphabet[random() % (sizeof alphabet - 1)];
      else text.erase(at, random() % 8);
      if (text.empty()) text = "x";
    }
    error.clear();
    if (!win32::CheckRegistryText(text, &error)) {
      EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
  }
}

TEST(RegistryFile, EscapesRoundTrip) {
  TempRegistry registry;
  const std::string odd_key = "Odd%Key\twith\x01" "controls]";
  const std::string odd_value = "quote\" back\\slash\r\n\x7f end";
  ASSERT_EQ(put(odd_key, "n\"a\\me", odd_value), ERROR_SUCCESS);
  std::string text = read_text(registry.file());
  std::string error;
  ASSERT_TRUE(win32::CheckRegistryText(text, &error)) << error;
  // A fresh read of the file (another process) sees the same names and data.
  pid_t child = spawn([&] { return win32::ReadClassesRootString(odd_key, "n\"a\\me") == odd_value ? 0 : 1; });
  EXPECT_EQ(wait_code(child), 0) << text;
}

TEST(RegistryFile, AReadOnlyFileCanBeReadButNotChanged) {
  TempRegistry registry;
  ASSERT_EQ(put("Fixed", "", "value"), ERROR_SUCCESS);
  ASSERT_EQ(::chmod(registry.file().c_str(), 0444), 0);
  std::string before = read_text(registry.file());
  EXPECT_EQ(win32::ReadClassesRootString("Fixed"), std::optional<std::string>("value"));
  EXPECT_EQ(put("Fixed", "", "changed"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Fixed"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(read_text(registry.file()), before);
  ::chmod(registry.file().c_str(), 0644);
}

}  // namespace

// Modules: counted loads, process notifications, exports, file names and short paths.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <windows.h>
#include <win32/modules.h>
#include <win32/paths.h>

#include "test_server/test_server.h"
#include "win32_test_env.h"

namespace {

int g_detached = 0;
void count_detach(LPVOID reserved) { g_detached += reserved ? 100 : 1; }

template <class F>
F proc(HMODULE module, const char* name) {
  return reinterpret_cast<F>(GetProcAddress(module, name));
}

TEST(Modules, NotificationsFollowCountedLoads) {
  g_detached = 0;
  HMODULE first = LoadLibraryA(WIN32_TEST_SERVER);
  ASSERT_NE(first, nullptr) << win32::LastLoadError();
  auto attached = proc<TestServerAttachCountFn>(first, "TestServer_AttachCount");
  ASSERT_NE(attached, nullptr);
  EXPECT_EQ(attached(), 1);
  EXPECT_EQ(proc<TestServerInstanceFn>(first, "TestServer_Instance")(), first);
  proc<TestServerOnDetachFn>(first, "TestServer_OnDetach")(count_detach);

  HMODULE second = LoadLibraryA(WIN32_TEST_SERVER);
  EXPECT_EQ(second, first);
  EXPECT_EQ(attached(), 1);
  EXPECT_EQ(GetModuleHandleA(WIN32_TEST_SERVER), first);
  EXPECT_EQ(GetModuleHandleA("win32_test_server.so"), first);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(g_detached, 0);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(g_detached, 1);  // at the last FreeLibrary, with a null reserved argument
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetModuleHandleA("win32_test_server.so"), nullptr);
}

int g_exit_pipe = -1;
void report_exit_detach(LPVOID reserved) {
  char c = reserved ? 'x' : 'f';
  [[maybe_unused]] auto n = ::write(g_exit_pipe, &c, 1);
}

TEST(Modules, ProcessExitDetachesModulesStillLoaded) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    g_exit_pipe = fds[1];
    HMODULE m = LoadLibraryA(WIN32_TEST_SERVER);
    if (!m) ::_exit(2);
    proc<TestServerOnDetachFn>(m, "TestServer_OnDetach")(report_exit_detach);
    std::exit(0);  // runs the exit handlers, unlike _exit
  }
  ::close(fds[1]);
  char c = 0;
  ASSERT_EQ(::read(fds[0], &c, 1), 1);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(c, 'x');  // DLL_PROCESS_DETACH with a non-null reserved argument
}

TEST(Modules, ExportsAreTheModulesOwn) {
  HMODULE m = LoadLibraryA(WIN32_TEST_SERVER);
  ASSERT_NE(m, nullptr);
  EXPECT_NE(GetProcAddress(m, "DllGetClassObject"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(m, "NoSuchExport"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(m, "malloc"), nullptr);  // exported by a library it uses, not by it
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(Modules, MissingModulesFail) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("C:\\no\\such\\module.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  win32_test::TempRegistry env;
  std::string junk = env.dir().str() + "/junk.so";
  win32_test::write_text(junk, "not a module");
  EXPECT_EQ(LoadLibraryA(junk.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
  EXPECT_FALSE(win32::LastLoadError().empty());
}

TEST(Modules, FileNamesOfTheProgramAndAModule) {
  char buf[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::filesystem::path(buf).filename(), "test_win32");
  EXPECT_EQ(GetModuleHandleA(nullptr), win32::ProgramModule());

  HMODULE m = LoadLibraryA(WIN32_TEST_SERVER);
  ASSERT_NE(m, nullptr);
  n = GetModuleFileNameA(m, buf, MAX_PATH);
  EXPECT_EQ(std::string(buf, n), std::string(WIN32_TEST_SERVER));
  char16_t wide[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(m, wide, MAX_PATH), n);

  char small[8];
  EXPECT_EQ(GetModuleFileNameA(m, small, sizeof small), 8u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), std::string(WIN32_TEST_SERVER).substr(0, 7));

  HMODULE from_address = nullptr;
  auto export_address = GetProcAddress(m, "DllCanUnloadNow");
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(export_address), &from_address));
  EXPECT_EQ(from_address, m);
  EXPECT_TRUE(FreeLibrary(m));
}

TEST(ShortPaths, PathsWithoutWhiteSpaceComeBackUnchanged) {
  win32_test::TempRegistry env;
  char out[MAX_PATH];
  EXPECT_EQ(GetShortPathNameA(WIN32_TEST_SERVER, out, MAX_PATH), std::strlen(WIN32_TEST_SERVER));
  EXPECT_STREQ(out, WIN32_TEST_SERVER);
  SetLastError(0);
  EXPECT_EQ(GetShortPathNameA("/no/such file here.dll", out, MAX_PATH), 0u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(ShortPaths, AModuleUnderAFolderWithASpaceLoadsByItsShortForm) {
  win32_test::TempRegistry env;
  auto folder = env.dir().path() / "Program Files" / "area clip";
  std::filesystem::create_directories(folder);
  auto module = folder / "win32_test_server.so";
  std::filesystem::copy_file(WIN32_TEST_SERVER, module);
  std::string long_path = module.string();

  DWORD needed = GetShortPathNameA(long_path.c_str(), nullptr, 0);
  ASSERT_GT(needed, 0u);
  std::string short_path(needed, '\0');
  DWORD n = GetShortPathNameA(long_path.c_str(), short_path.data(), needed);
  ASSERT_EQ(n + 1, needed);
  short_path.resize(n);
  EXPECT_EQ(short_path.find_first_of(" \t"), std::string::npos) << short_path;
  char again[MAX_PATH];
  GetShortPathNameA(long_path.c_str(), again, MAX_PATH);
  EXPECT_EQ(short_path, again);  // the same alias each time

  EXPECT_NE(GetFileAttributesA(short_path.c_str()), INVALID_FILE_ATTRIBUTES);
  char long_again[MAX_PATH];
  GetLongPathNameA(short_path.c_str(), long_again, MAX_PATH);
  EXPECT_EQ(std::string(long_again), long_path);

  HMODULE m = LoadLibraryA(short_path.c_str());
  ASSERT_NE(m, nullptr) << win32::LastLoadError();
  EXPECT_NE(GetProcAddress(m, "DllGetClassObject"), nullptr);
  EXPECT_TRUE(FreeLibrary(m));
}

}  // namespace

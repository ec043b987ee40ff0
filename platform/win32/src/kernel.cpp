// Kernel services: counters, locks, timing, debugger, error codes and texts, files.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "../include/windows.h"
#include "../include/win32/paths.h"
#include "../include/win32/text_conversions.h"
#include "posix_file.h"

LONG InterlockedIncrement(LONG volatile* a) { return __atomic_add_fetch(a, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* a) { return __atomic_sub_fetch(a, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(LONG volatile* t, LONG v) { return __atomic_exchange_n(t, v, __ATOMIC_SEQ_CST); }
LONG InterlockedCompareExchange(LONG volatile* d, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(d, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new std::recursive_mutex; }
void EnterCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->lock(); }
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  return static_cast<std::recursive_mutex*>(cs->impl)->try_lock() ? TRUE : FALSE;
}
void LeaveCriticalSection(LPCRITICAL_SECTION cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }
void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

DWORD GetTickCount() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

BOOL IsDebuggerPresent() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0 ? TRUE : FALSE;
  }
  return FALSE;
}

void DebugBreak() {
  if (IsDebuggerPresent()) {
    raise(SIGTRAP);
    return;
  }
  std::fputs("DebugBreak: no debugger attached, continuing\n", stderr);
}

namespace {
thread_local DWORD t_last_error = 0;

struct SystemText {
  DWORD code;
  const char* text;
};

// Win32 codes and the HRESULTs of the COM runtime that have a system text. Codes that an
// interface defines for itself (FACILITY_ITF, e.g. CLASS_E_CLASSNOTAVAILABLE) have none.
constexpr SystemText kWin32Texts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_INVALID_DATA, "The data is invalid."},
    {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
    {ERROR_READ_FAULT, "The system cannot read from the specified device."},
    {ERROR_SHARING_VIOLATION, "The process cannot access the file because it is being used by another process."},
    {ERROR_HANDLE_DISK_FULL, "The disk is full."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_FILE_EXISTS, "The file exists."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_DISK_FULL, "There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
    {ERROR_PROC_NOT_FOUND, "The specified procedure could not be found."},
    {ERROR_DIR_NOT_EMPTY, "The directory is not empty."},
    {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
    {ERROR_MORE_DATA, "More data is available."},
    {ERROR_NO_MORE_ITEMS, "No more data is available."},
    {ERROR_BADDB, "The configuration registry database is corrupt."},
    {ERROR_BADKEY, "The configuration registry key is invalid."},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "The configuration registry key could not be written."},
    {ERROR_KEY_DELETED, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_NO_UNICODE_TRANSLATION,
     "No mapping for the Unicode character exists in the target multi-byte code page."},
};

constexpr SystemText kHresultTexts[] = {
    {0x8000FFFFu, "Catastrophic failure"},
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004004u, "Operation aborted"},
    {0x80004005u, "Unspecified error"},
    {0x80040154u, "Class not registered"},
    {0x80040150u, "Could not read key from registry"},
    {0x80040151u, "Could not write key to registry"},
    {0x80040152u, "Could not find the key in the registry"},
    {0x80040110u, "Class does not support aggregation (or class object is remote)"},
    {0x800401F0u, "CoInitialize has not been called."},
    {0x800401F3u, "Invalid class string"},
    {0x800401F9u, "Error in the DLL"},
    {0x80020003u, "Member not found."},
    {0x80020005u, "Type mismatch."},
    {0x80020006u, "Unknown name."},
    {0x80020008u, "Bad variable type."},
    {0x80020009u, "Exception occurred."},
    {0x8002000Au, "Out of present range."},
    {0x8002000Bu, "Invalid index."},
    {0x8002802Bu, "Element not found."},
    {0x80029C4Au, "Error loading type library/DLL."},
    {0x80028018u, "Old format or invalid type library."},
    {0x8002801Cu, "Error accessing the OLE registry."},
    {0x80030002u, "The file could not be found."},
    {0x8003001Du, "A disk error occurred during a write operation."},
};

const char* system_text(DWORD code) {
  for (const auto& t : kHresultTexts)
    if (t.code == code) return t.text;
  if (code < 0x10000u || (code & 0xFFFF0000u) == 0x80070000u) {
    DWORD win32 = code & 0xFFFFu;
    for (const auto& t : kWin32Texts)
      if (t.code == win32) return t.text;
  }
  return nullptr;
}
}  // namespace

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD e) { t_last_error = e; }

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
  void* p = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}
HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD id, DWORD, LPSTR buffer, DWORD size, va_list*) {
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = system_text(id);
  if (!text) {
    SetLastError(317);  // ERROR_MR_MID_NOT_FOUND
    return 0;
  }
  size_t len = std::strlen(text);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* out = static_cast<char*>(LocalAlloc(LMEM_FIXED, len + 1));
    if (!out) return 0;
    std::memcpy(out, text, len + 1);
    *reinterpret_cast<LPSTR*>(buffer) = out;
    return static_cast<DWORD>(len);
  }
  if (size <= len) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text, len + 1);
  return static_cast<DWORD>(len);
}

namespace {
using win32::win32_error_from_errno;
}  // namespace

namespace {

// A UTF-16 letter folded as Windows folds names: Latin, Greek and Cyrillic capitals to small.
char16_t folded(char16_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
      (c >= 0x410 && c <= 0x42F))
    return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  if (c == 0x490) return 0x491;
  return c;
}

std::u16string folded(std::string_view utf8) {
  std::u16string text = win32::utf8_to_utf16(utf8);
  for (char16_t& c : text) c = folded(c);
  return text;
}

// The names in folders, folded, as far as a name in another letter case is looked for in
// them. A folder listed once is kept while it is watched (inotify tells of every entry made,
// removed or renamed in it, by any process) and while its path names the same folder
// (device and inode, looked at each time); the last few folders are kept. Without inotify,
// past its limits, or on a file system other machines may change (a network share, where
// inotify hears of this machine's changes only), each lookup lists the folder.
class FolderNames {
 public:
  static FolderNames& get() {
    static FolderNames* names = new FolderNames;  // used until the process ends
    return *names;
  }

  // True when folder's listing is kept and holds no entry that folds to wanted: the name is
  // not there in any letter case, told without looking at the disk for it. False when the
  // folder is not kept (or is no longer the folder kept under its path).
  bool surely_missing(const std::string& folder, const std::u16string& wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ < 0 || std::none_of(folders_.begin(), folders_.end(), [&](const Folder& f) { return f.path == folder; }))
      return false;
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) return false;
    const auto it = kept(folder, st);
    return it != folders_.end() && it->names.find(wanted) == it->names.end();
  }

  // The entry of folder (an existing name on disk) that folds to wanted; "" for none.
  std::string find(const std::string& folder, const std::u16string& wanted) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd_ == -2) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return listed(folder, wanted);
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) return {};
    auto it = kept(folder, st);
    if (it == folders_.end()) {
      if (!local_file_system(folder)) return listed(folder, wanted);
      // Watched before it is listed: a change made while it is read is told after.
      const int wd = ::inotify_add_watch(fd_, folder.c_str(),
                                         IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                             IN_MOVE_SELF | IN_ONLYDIR);
      if (wd < 0) return listed(folder, wanted);
      // The same folder by another path has the same watch: one entry per watch.
      for (auto other = folders_.begin(); other != folders_.end(); ++other)
        if (other->wd == wd) {
          folders_.erase(other);
          break;
        }
      Folder entry{folder, st.st_dev, st.st_ino, wd, {}};
      if (!listed_all(folder, &entry)) {
        ::inotify_rm_watch(fd_, wd);
        return listed(folder, wanted);
      }
      folders_.push_front(std::move(entry));
      it = folders_.begin();
      while (folders_.size() > kFolders) forget(std::prev(folders_.end()));
    } else if (it != folders_.begin()) {
      folders_.splice(folders_.begin(), folders_, it);
      it = folders_.begin();
    }
    const auto found = it->names.find(wanted);
    return found == it->names.end() ? std::string() : found->second;
  }

  // The entry of folder that folds to wanted, read from the folder itself; "" for none.
  static std::string listed(const std::string& folder, const std::u16string& wanted) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir))
      if (folded(entry->d_name) == wanted) {
        found = entry->d_name;
        break;
      }
    ::closedir(dir);
    return found;
  }

 private:
  static constexpr size_t kFolders = 8;

  struct Folder {
    std::string path;
    dev_t dev;
    ino_t ino;
    int wd;
    std::unordered_multimap<std::u16string, std::string> names;  // folded name -> name
  };

  FolderNames() {
    // A child process starts without the parent's watches: the inotify descriptor it
    // inherits is shared with the parent, whose events it must not take.
    ::pthread_atfork([] { get().mutex_.lock(); }, [] { get().mutex_.unlock(); },
                     [] {
                       FolderNames& names = get();
                       if (names.fd_ >= 0) ::close(names.fd_);
                       names.fd_ = -2;
                       names.folders_.clear();
                       names.mutex_.unlock();
                     });
  }

  // True for the file systems of this machine's own disks and memory, whose every change
  // inotify tells.
  static bool local_file_system(const std::string& folder) {
    struct statfs fs;
    if (::statfs(folder.c_str(), &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
      case 0xEF53:      // ext2, ext3, ext4
      case 0x58465342:  // xfs
      case 0x9123683E:  // btrfs
      case 0x01021994:  // tmpfs
      case 0x794C7630:  // overlay
      case 0xF2F52010:  // f2fs
      case 0x2FC12FC1:  // zfs
        return true;
      default:
        return false;
    }
  }

  static bool listed_all(const std::string& folder, Folder* entry) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    while (const dirent* e = ::readdir(dir)) entry->names.emplace(folded(e->d_name), e->d_name);
    ::closedir(dir);
    return true;
  }

  // The kept listing of folder with the changes told since applied, when it is still of the
  // folder its path names now (st: that folder's stat); end() when none is.
  std::list<Folder>::iterator kept(const std::string& folder, const struct stat& st) {
    apply_events();
    auto it = std::find_if(folders_.begin(), folders_.end(), [&](const Folder& f) { return f.path == folder; });
    if (it != folders_.end() && (it->dev != st.st_dev || it->ino != st.st_ino)) {
      forget(it);
      return folders_.end();
    }
    return it;
  }

  void forget(std::list<Folder>::iterator it) {
    ::inotify_rm_watch(fd_, it->wd);
    folders_.erase(it);
  }

  // The changes told since the last look, applied to the folders kept.
  void apply_events() {
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          while (!folders_.empty()) forget(folders_.begin());
          continue;
        }
        auto it = folders_.begin();
        while (it != folders_.end() && it->wd != event->wd) ++it;
        if (it == folders_.end()) continue;
        if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
          if (event->mask & IN_IGNORED)
            folders_.erase(it);
          else
            forget(it);
          continue;
        }
        if (!event->len) continue;
        const std::string name = event->name;
        const std::u16string key = folded(name);
        if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
          it->names.emplace(key, name);
        } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
          auto [from, to] = it->names.equal_range(key);
          for (auto n = from; n != to; ++n)
            if (n->second == name) {
              it->names.erase(n);
              break;
            }
        }
      }
    }
  }

  std::mutex mutex_;
  int fd_ = -2;  // -2: not made yet; -1: inotify unavailable
  std::list<Folder> folders_;  // the most recently used first
};

// A POSIX path as its folder and its last part.
std::pair<std::string, std::string> folder_and_name(const std::string& posix) {
  const size_t slash = posix.find_last_of('/');
  if (slash == std::string::npos) return {".", posix};
  return {posix.substr(0, slash == 0 ? 1 : slash), posix.substr(slash + 1)};
}

// The entry of a missing POSIX path's folder whose name differs from the path's last part
// only in letter case, as Windows finds it on a file system that folds case; "" for none.
std::string entry_in_any_case(const std::string& posix) {
  const auto [folder, name] = folder_and_name(posix);
  if (name.empty()) return {};
  const std::string found = FolderNames::get().find(folder, folded(name));
  if (found.empty()) return {};
  return posix.substr(0, posix.size() - name.size()) + found;
}

// True when the path's name is in no letter case in its folder, as the folder's kept
// listing tells (false when it is not kept).
bool surely_missing(const std::string& posix) {
  const auto [folder, name] = folder_and_name(posix);
  return !name.empty() && FolderNames::get().surely_missing(folder, folded(name));
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  // The name itself, not what a link names: a link is there even when its target is not.
  std::string posix = win32::ansi_path_to_posix(name);
  if (surely_missing(posix)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st;
  if (::lstat(posix.c_str(), &st) != 0) {
    const int error = errno;
    posix = error == ENOENT ? entry_in_any_case(posix) : std::string();
    if (posix.empty() || ::lstat(posix.c_str(), &st) != 0) {
      SetLastError(win32_error_from_errno(error));
      return INVALID_FILE_ATTRIBUTES;
    }
  }
  DWORD attrs = 0;
  if (S_ISLNK(st.st_mode)) {
    // A link to a folder is a folder's link, as a directory symbolic link is on Windows.
    struct stat target;
    attrs = FILE_ATTRIBUTE_REPARSE_POINT;
    if (::stat(posix.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) attrs |= FILE_ATTRIBUTE_DIRECTORY;
    return attrs;
  }
  if (S_ISDIR(st.st_mode)) attrs |= FILE_ATTRIBUTE_DIRECTORY;
  if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) attrs |= FILE_ATTRIBUTE_READONLY;
  return attrs ? attrs : FILE_ATTRIBUTE_NORMAL;
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
  if (!path || !*path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::mkdir(win32::ansi_path_to_posix(path).c_str(), 0777) != 0) {
    SetLastError(win32_error_from_errno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
  if (!path || ::unlink(win32::ansi_path_to_posix(path).c_str()) != 0) {
    SetLastError(path ? win32_error_from_errno(errno) : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

// Files by handle: a handle is an open descriptor (its number + 1, so that neither 0 nor
// INVALID_HANDLE_VALUE is ever one), enough to ask which file a path names.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../include/windows.h"
#include "../include/win32/paths.h"
#include "posix_file.h"

namespace {

HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd) + 1); }

int fd_of(HANDLE handle) {
  intptr_t value = reinterpret_cast<intptr_t>(handle);
  return value > 0 && value <= INT32_MAX ? static_cast<int>(value - 1) : -1;
}

// Seconds and nanoseconds since 1970 as 100-nanosecond steps since 1601.
FILETIME file_time(const struct timespec& t) {
  constexpr uint64_t kEpochDifference = 116444736000000000ull;
  uint64_t steps = kEpochDifference + static_cast<uint64_t>(t.tv_sec) * 10000000ull +
                   static_cast<uint64_t>(t.tv_nsec) / 100;
  return {static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
}

HANDLE open_existing(const std::string& posix_path, DWORD access, DWORD disposition, DWORD flags) {
  if (posix_path.empty() || disposition != OPEN_EXISTING || (access & ~GENERIC_READ) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // A query-only handle needs no read permission, as on Windows.
  int fd = ::open(posix_path.c_str(), (access ? O_RDONLY : O_PATH) | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(win32::win32_error_from_errno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || (S_ISDIR(st.st_mode) && !(flags & FILE_FLAG_BACKUP_SEMANTICS))) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return handle_of(fd);
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, void*, DWORD disposition, DWORD flags, HANDLE) {
  return open_existing(name ? win32::ansi_path_to_posix(name) : std::string(), access, disposition, flags);
}

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, void*, DWORD disposition, DWORD flags, HANDLE) {
  return open_existing(name ? win32::wide_path_to_posix(name) : std::string(), access, disposition, flags);
}

BOOL CloseHandle(HANDLE handle) {
  int fd = fd_of(handle);
  if (fd < 0 || ::close(fd) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION info) {
  struct stat st;
  int fd = fd_of(handle);
  if (!info || fd < 0 || ::fstat(fd, &st) != 0) {
    SetLastError(info ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *info = {};
  info->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) info->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
  if (!info->dwFileAttributes) info->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  info->ftCreationTime = file_time(st.st_ctim);
  info->ftLastAccessTime = file_time(st.st_atim);
  info->ftLastWriteTime = file_time(st.st_mtim);
  // A device number wider than 32 bits is folded: equal devices still give equal numbers.
  const uint64_t device = static_cast<uint64_t>(st.st_dev);
  info->dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  info->nFileSizeLow = static_cast<DWORD>(size);
  info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  const uint64_t inode = static_cast<uint64_t>(st.st_ino);
  info->nFileIndexHigh = static_cast<DWORD>(inode >> 32);
  info->nFileIndexLow = static_cast<DWORD>(inode);
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::rmdir(win32::ansi_path_to_posix(name).c_str()) != 0) {
    SetLastError(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : win32::win32_error_from_errno(errno));
    return FALSE;
  }
  return TRUE;
}

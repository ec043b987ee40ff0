// Files by handle, for telling whether two paths name the same file, and removal of empty
// folders.
//
// Short and long path names. A path containing white space gets a short form without any:
// the stand-in makes a symbolic link to the part of the path that holds white space in a
// folder of its own ($AREACLIP_SHORT_PATHS, else $XDG_CACHE_HOME/areaclip/short, else
// ~/.cache/areaclip/short), so the short form opens the same file in every process and for
// every POSIX call. Paths without white space come back unchanged. A missing file fails
// with ERROR_FILE_NOT_FOUND (ERROR_PATH_NOT_FOUND for a missing folder).
#pragma once

#include "windef.h"

// Returns the length written (without the zero), or, when cchBuffer is too small, the
// size needed (with the zero); 0 on failure.
DWORD GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer);
DWORD GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer);
// The path a short form stands for (other paths come back unchanged).
DWORD GetLongPathNameA(LPCSTR lpszShortPath, LPSTR lpszLongPath, DWORD cchBuffer);
DWORD GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define OPEN_EXISTING 3
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000

// Opens an existing file for reading (dwDesiredAccess GENERIC_READ) or for querying only
// (0). A folder opens only with FILE_FLAG_BACKUP_SEMANTICS (ERROR_ACCESS_DENIED without it),
// as on Windows. Other access rights and dispositions than OPEN_EXISTING fail with
// ERROR_INVALID_PARAMETER; sharing modes are accepted and not enforced.
HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL CloseHandle(HANDLE hObject);

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
};
typedef BY_HANDLE_FILE_INFORMATION* LPBY_HANDLE_FILE_INFORMATION;
// The volume serial number and the file index together name one file of the machine
// (the device and inode of the file here): two handles with equal values are the same file.
BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation);

// Removes a folder; fails (ERROR_DIR_NOT_EMPTY) unless it is empty.
BOOL RemoveDirectoryA(LPCSTR lpPathName);

// Kernel services: interlocked counters, critical sections, timing, debugger break, error
// codes and their texts, local memory, files and folders. Paths accept both "\" and "/".
#pragma once

#include <cstdarg>

#include "windef.h"
#include "winerror.h"

LONG InterlockedIncrement(LONG volatile* addend);
LONG InterlockedDecrement(LONG volatile* addend);
LONG InterlockedExchange(LONG volatile* target, LONG value);
LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand);

// A recursive lock owned by one thread at a time, as on Windows.
struct CRITICAL_SECTION {
  void* impl;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;
void InitializeCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);
void DeleteCriticalSection(LPCRITICAL_SECTION cs);

void Sleep(DWORD dwMilliseconds);
DWORD GetTickCount();
BOOL IsDebuggerPresent();
// Stops in an attached debugger; without one it only notes the request on standard error.
void DebugBreak();

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
HLOCAL LocalAlloc(UINT uFlags, size_t uBytes);
HLOCAL LocalFree(HLOCAL hMem);

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define LANG_USER_DEFAULT 0x0400
// Looks up the system text of an error code (Win32 codes and HRESULTs of the system's own
// table). Codes that belong to a particular interface have no text, as on Windows.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, va_list* Arguments);

#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
// As on Windows: the attributes of the name itself (a symbolic link's, with
// FILE_ATTRIBUTE_REPARSE_POINT, with FILE_ATTRIBUTE_DIRECTORY when its target is a folder;
// a link whose target is gone is there all the same), and a name differing only in letter
// case finds the file.
DWORD GetFileAttributesA(LPCSTR lpFileName);
BOOL CreateDirectoryA(LPCSTR lpPathName, void* lpSecurityAttributes);
BOOL DeleteFileA(LPCSTR lpFileName);

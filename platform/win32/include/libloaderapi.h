// Modules and their resources. A module is a shared object loaded with dlopen; its HMODULE
// (= HINSTANCE) is the address where it is mapped, so a module finds its own handle from any
// of its addresses (GetModuleHandleExA with GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS). Entry
// points are exported with C linkage. A module exporting
//   extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
// gets DLL_PROCESS_ATTACH at its first LoadLibrary and DLL_PROCESS_DETACH at its last
// FreeLibrary (reserved null) or at process exit (reserved non-null). Loads are counted.
// Resources are the tables that the build embeds in each module (win32/resources.h).
#pragma once

#include "windef.h"
#include "winerror.h"

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// void(*)() rather than Windows' INT_PTR(*)(): the compiler accepts a cast from it to any
// function type without -Wcast-function-type warnings, which is how GetProcAddress is used.
typedef void (*FARPROC)();

// LoadLibraryEx flags: a data file is mapped for its resources only (no DllMain).
#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

// A name without a folder is looked for beside the program first, then as dlopen looks.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
HMODULE LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
BOOL FreeLibrary(HMODULE hLibModule);
// Finds only the module's own exports (not those of the libraries it depends on).
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Null: the program. Otherwise a loaded module by full path or file name.
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
BOOL GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE* phModule);
// The module's full path (null: the program). A buffer too small gets the truncated,
// zero-terminated path; the result is then nSize and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

// Resources: type and name are strings ("TYPELIB", "FORM") or integer ids
// (MAKEINTRESOURCE(70), or the text "#70"). Names compare case-insensitively.
HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID LockResource(HGLOBAL hResData);
DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo);
BOOL FreeResource(HGLOBAL hResData);

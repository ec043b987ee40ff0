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

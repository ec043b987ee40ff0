// Module helpers beyond the Windows calls of libloaderapi.h.
#pragma once

#include <string>

#include "../windef.h"

namespace win32 {

// The module mapped at address (the program, a loaded module, or a library linked in);
// null when no object contains the address.
HMODULE ModuleOfAddress(const void* address);
// The program's own module (GetModuleHandleA(nullptr)).
HMODULE ProgramModule();
// The dynamic loader's text for the calling thread's last failed LoadLibrary (empty if none).
std::string LastLoadError();

}  // namespace win32

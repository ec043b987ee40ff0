// In-process servers found through the registry. After EnableRegistryClasses, a CLSID that
// no platform library builds in is looked up under HKEY_CLASSES_ROOT\CLSID\{CLSID}:
// InprocServer32's default value names the module (a short path works), which is loaded with
// LoadLibrary and asked by its exported DllGetClassObject. The runtime keeps one load of
// each such module until CoFreeUnusedLibraries finds that its DllCanUnloadNow answers S_OK;
// a module never freed that way stays loaded until the process exits (then it gets its
// DLL_PROCESS_DETACH). ProgIDs resolve through <ProgID>\CLSID and CLSID\{CLSID}\ProgID.
#pragma once

#include <string>
#include <vector>

#include "../windef.h"

namespace win32 {

// Installs the registry lookups (idempotent); classes built in keep precedence, and a
// resolver installed before stays behind the registry's.
void EnableRegistryClasses();
// Removes them again (the servers already loaded stay loaded).
void DisableRegistryClasses();
// The modules the runtime holds as in-process servers now.
std::vector<HMODULE> LoadedServerModules();

}  // namespace win32

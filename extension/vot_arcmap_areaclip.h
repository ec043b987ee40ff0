// The in-process COM server vot_arcmap_areaclip: its class table with the cached class
// factories, and its exports. Its parts live beside it: the module's state, start-up and
// shut-down (_module), the COM object skeletons (_object_root), the connection point
// (_connection_point), the enumerators (_enums), the class factory (_class_factory), the
// error guard (_error_info) and the registration keys (_reg).
#pragma once

#include <windows.h>
#include <objbase.h>

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

// Registration of the module's classes and of its type library under HKEY_CLASSES_ROOT, as
// DllRegisterServer and DllUnregisterServer do it. The type library is read from the module
// file itself (its TYPELIB resource).
#pragma once

#include <objbase.h>
#include <windows.h>

#include <string>

// The module file's full path (GetModuleFileName, at most MAX_PATH characters).
std::string vot_module_file_name(HINSTANCE module);

// The module path written to InprocServer32: when the full path holds white space, its
// short form, provided GetShortPathName gives one that fits MAX_PATH; otherwise the full path.
std::string vot_module_path_for_registry(HINSTANCE module);

// Writes (do_register) or deletes the keys of one class; module_path is the path to register
// and to load the type library from. Nothing is written or deleted when the type library
// cannot be loaded, the class is not in it or its attributes cannot be read: that error is
// returned. Registering ends with RegisterTypeLib (no help folder), whose result it returns;
// unregistering returns S_OK.
HRESULT vot_update_class_registry(const std::string& module_path, REFCLSID clsid, const char* progid,
                                  bool do_register);

// Registers the type library once more for the module as a whole: loaded from module_file,
// or when that fails from the same path with its extension (from the last ".") replaced by
// ".tlb" (appended when there is no "."); registered with the path it was loaded from and
// that path's folder, with its trailing separator, as help folder.
HRESULT vot_register_module_type_library(const std::string& module_file);

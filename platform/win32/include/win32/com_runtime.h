// Class lookup of the stand-in COM runtime. Platform libraries register the classes they
// build in; classes found elsewhere (in-process servers named by the registry) come from
// a resolver installed by whoever can find them.
#pragma once

#include <functional>
#include <string>

#include "../objbase.h"

namespace win32 {

// Creates a new instance (outer is the aggregating object, usually null) and answers riid.
using InstanceCreator = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;
// Registers a class built into a platform library under its CLSID and optional ProgID.
void RegisterBuiltinClass(REFCLSID clsid, const std::string& progid, InstanceCreator create);
void UnregisterBuiltinClass(REFCLSID clsid);

// Looks up the class object of a CLSID that is not built in; S_OK with *ppv set, or an error.
using ClassObjectResolver = std::function<HRESULT(REFCLSID clsid, REFIID riid, void** ppv)>;
ClassObjectResolver SetClassObjectResolver(ClassObjectResolver resolver);

// Maps ProgIDs and CLSIDs for classes that are not built in (the registry provides it).
using ProgIdResolver = std::function<bool(const std::string& progid, CLSID* clsid)>;
using ClsidResolver = std::function<bool(REFCLSID clsid, std::string* progid)>;
void SetProgIdResolvers(ProgIdResolver to_clsid, ClsidResolver to_progid);

// Registry form of a GUID: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case digits.
std::string guid_to_string(REFGUID guid);
// Parses the registry form (braces optional); false on malformed text.
bool guid_from_string(const std::string& text, GUID* guid);

// Number of COM initialisations of the calling thread not yet ended.
int CoInitializeCount();

}  // namespace win32

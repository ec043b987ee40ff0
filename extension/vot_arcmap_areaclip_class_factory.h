// The class factory of one of the module's classes.
#pragma once

#include <windows.h>
#include <objbase.h>

// Creates an instance of a class (aggregated when outer is given) and answers riid.
using Tvo_instance_creator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

// A new class factory (IClassFactory, handed out as IUnknown with one reference) that creates
// instances through creator. Its reference count is atomic and does not count in the
// module's lock count; LockServer does. E_POINTER for a null factory, E_OUTOFMEMORY.
HRESULT vot_create_class_factory(Tvo_instance_creator creator, IUnknown** factory);

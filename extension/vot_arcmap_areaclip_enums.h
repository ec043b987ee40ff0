// The module's enumerators: of a connection point's connections and of a container's
// connection points. Each counts in the module's lock count while it lives.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

#include <vector>

// A new enumerator of items, each of whose sinks it holds a reference to; its clones go on
// from their original's position. E_POINTER for a null ppEnum, E_OUTOFMEMORY.
HRESULT vot_create_enum_connections(std::vector<CONNECTDATA> items, IEnumConnections** ppEnum);

// A new enumerator of the one connection point point, holding a reference to it.
// E_POINTER for a null ppEnum, E_OUTOFMEMORY.
HRESULT vot_create_enum_connection_points(IConnectionPoint* point, IEnumConnectionPoints** ppEnum);

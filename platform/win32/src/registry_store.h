// The registry file behind the Reg* calls (private): a cached tree reloaded when the file
// changes, and changes made under the writers' lock with an atomic replace of the file.
#pragma once

#include <functional>

#include "registry_tree.h"

namespace win32::registry {

// Runs f on the current tree. ERROR_BADDB (reported once on stderr) for a damaged file.
LONG read(const std::function<LONG(const Tree&)>& f);
// Locks, re-reads the file, runs f and writes the result when f succeeded and set *changed.
LONG modify(const std::function<LONG(Tree&, bool* changed)>& f);

}  // namespace win32::registry

// Module resources as the toolkit reads them (bitmaps, form texts). The resource table
// belongs to the Windows stand-in; until it is wired, a lookup function is installed here.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <windef.h>

namespace toolkit {

// Finds the bytes of resource `name` of `type` ("BITMAP", "RCDATA", ...) in `module`.
// Numeric ids are written "#123". Returns nothing when the module has no such resource.
using ResourceLookup =
    std::function<std::optional<std::string>(HINSTANCE module, const std::string& type, const std::string& name)>;

// Installs the lookup (empty: none) and returns the previous one.
ResourceLookup SetResourceLookup(ResourceLookup lookup);
// The resource's bytes; Exception when it is missing or when no lookup is installed.
std::string LoadResourceData(HINSTANCE module, const std::string& type, const std::string& name);

}  // namespace toolkit

// The resource tables that the build embeds in each module (CMake:
// areaclip_embed_resources). A generated source in the module holds the bytes and one
// ModuleResources object, which registers the table under the module's HMODULE while the
// module is loaded; FindResource and friends (libloaderapi.h) look there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "../windef.h"

namespace win32 {

// One resource. type and name are "#<decimal id>" for integer ids (the predefined types
// by number: BITMAP is "#2", RCDATA "#10") or an upper-case name ("TYPELIB", "FORM").
struct ResourceEntry {
  const char* type;
  const char* name;
  const unsigned char* data;
  size_t size;
};

// Registers a module's table for as long as the object lives (a static object of the module).
class ModuleResources {
 public:
  ModuleResources(const ResourceEntry* entries, size_t count);
  ~ModuleResources();
  ModuleResources(const ModuleResources&) = delete;
  ModuleResources& operator=(const ModuleResources&) = delete;

 private:
  const ResourceEntry* entries_;
};

// The bytes of a resource: module null is the program; type is a predefined type name
// ("BITMAP", "RCDATA", "ICON", ...), a type name or "#<id>"; name is a name or "#<id>".
// Nothing when the module has no such resource. This is the resource lookup that the
// toolkit's hook expects: toolkit::SetResourceLookup(&win32::FindResourceBytes).
std::optional<std::string> FindResourceBytes(HINSTANCE module, const std::string& type, const std::string& name);

}  // namespace win32

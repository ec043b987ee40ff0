// Where and how the stand-in keeps the registry.
//
// Location: the file named by $AREACLIP_REGISTRY, else $XDG_CONFIG_HOME/areaclip/registry.txt,
// else ~/.config/areaclip/registry.txt. The variable is read at every call, so a test may
// point it at a temporary file at any time. Beside the file live "<file>.lock" (the writers'
// lock) and, briefly, "<file>.tmp-*" (the next version being written).
//
// Format: UTF-8 text, first line "areaclip-registry 1"; then "[HKEY_CLASSES_ROOT\key\sub]"
// lines, each followed by its values: @="default", "Name"="text", "N"=dword:0000001f,
// "B"=hex(3):01,ff, "E"=expand:"text". Quoted text escapes \\ \" \n \r \t \xHH; key names
// escape "%" and control characters as %HH. Lines starting with ";" are comments.
//
// Consistency: every change locks "<file>.lock" (flock), re-reads the file, applies the change
// and replaces the file atomically (temporary file in the same folder, fsync, rename), so
// concurrent writers in several processes all land. Readers reload when the file changed.
// A damaged file makes every call fail with ERROR_BADDB and is reported on standard error
// with its name and line; it is never rewritten. A file without write permission can be
// read; changes fail with ERROR_ACCESS_DENIED.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// The registry file in effect now.
std::string RegistryFile();
// Checks a registry text as the loader reads it; false with "line N: what" in *error.
bool CheckRegistryText(std::string_view text, std::string* error);

}  // namespace win32

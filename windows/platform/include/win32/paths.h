// Paths of the widget toolkit on Windows. The toolkit names files by ANSI paths and opens
// them through the C++ library, which on Windows takes those same ANSI paths: the
// conversions to and from the file system's form are the identity here.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::string ansi_path_to_posix(std::string_view ansi_path);
std::string posix_path_to_ansi(std::string_view posix_path);

}  // namespace win32

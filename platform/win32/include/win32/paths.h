// Windows-style ANSI paths on POSIX. The system names files with ANSI text (the process
// code page) and either separator; the file system here speaks UTF-8 and "/". A leading
// drive letter ("C:") names the root of the single file system.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// The UTF-8 POSIX path of an ANSI path written with "\" or "/".
std::string ansi_path_to_posix(std::string_view ansi_path);
// The UTF-8 POSIX path of a UTF-16 path (as it arrives in a BSTR) written with "\" or "/".
std::string wide_path_to_posix(std::u16string_view wide_path);
// The ANSI text of a UTF-8 POSIX path (characters the code page lacks become "?").
std::string posix_path_to_ansi(std::string_view posix_path);

}  // namespace win32

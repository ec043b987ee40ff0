#include <win32/paths.h>

namespace win32 {

std::string ansi_path_to_posix(std::string_view ansi_path) { return std::string(ansi_path); }
std::string posix_path_to_ansi(std::string_view posix_path) { return std::string(posix_path); }

}  // namespace win32

// Text conversions of the widget toolkit on Windows: UTF-8, UTF-16 and the process's ANSI
// code page, through MultiByteToWideChar and WideCharToMultiByte. The same declarations as
// on Linux, where the Windows stand-in provides them.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::u16string utf8_to_utf16(std::string_view s);
std::string utf16_to_utf8(std::u16string_view s);
std::u16string ansi_to_utf16(std::string_view s);
std::string utf16_to_ansi(std::u16string_view s);
std::string ansi_to_utf8(std::string_view s);
std::string utf8_to_ansi(std::string_view s);

}  // namespace win32

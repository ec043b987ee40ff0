// Text conversions between UTF-8 (what GDAL, JSON and terminals speak), the process ANSI
// code page and UTF-16. Declarations only C++ needs, the same on every platform: the Linux
// stand-in and the Windows build (windows/platform/src/text.cpp) each implement them.
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

#include <windows.h>

#include <win32/text_conversions.h>

namespace win32 {

namespace {

static_assert(sizeof(char16_t) == sizeof(WCHAR));

std::u16string to_wide(UINT code_page, std::string_view s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0)
    MultiByteToWideChar(code_page, 0, s.data(), static_cast<int>(s.size()), reinterpret_cast<WCHAR*>(out.data()), n);
  return out;
}

std::string to_narrow(UINT code_page, std::u16string_view s) {
  if (s.empty()) return {};
  const auto* wide = reinterpret_cast<const WCHAR*>(s.data());
  const int n = WideCharToMultiByte(code_page, 0, wide, static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(code_page, 0, wide, static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view s) { return to_wide(CP_UTF8, s); }
std::string utf16_to_utf8(std::u16string_view s) { return to_narrow(CP_UTF8, s); }
std::u16string ansi_to_utf16(std::string_view s) { return to_wide(CP_ACP, s); }
std::string utf16_to_ansi(std::u16string_view s) { return to_narrow(CP_ACP, s); }
std::string ansi_to_utf8(std::string_view s) { return utf16_to_utf8(ansi_to_utf16(s)); }
std::string utf8_to_ansi(std::string_view s) { return utf16_to_ansi(utf8_to_utf16(s)); }

}  // namespace win32

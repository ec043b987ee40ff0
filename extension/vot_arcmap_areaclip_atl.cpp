#include "vot_arcmap_areaclip_atl.h"

#include <cstdio>

// Texts longer than the working buffers are cut to fit them: snprintf's truncation is meant.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif

namespace {
// Working buffers of the check: file text, report and box text.
constexpr size_t kBufferSize = 520;
}  // namespace

com_call_error::com_call_error(const std::string& message, HRESULT error_code_, const std::string& source_,
                               const std::string& help_file_, int help_context_)
    : Exception(message), error_code(error_code_), source(source_), help_file(help_file_),
      help_context(help_context_) {}

HRESULT check_hresult(HRESULT hr, const char* expression, const char* file, int line) {
  if (SUCCEEDED(hr)) return hr;
  if (!expression) expression = "";

  char file_text[kBufferSize];
  std::snprintf(file_text, sizeof file_text, "%s", file ? file : "");

  char report[kBufferSize];
  char* system_text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                                static_cast<DWORD>(hr), LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&system_text), 0,
                                nullptr);
  if (length != 0 && system_text) {
    std::snprintf(report, sizeof report, "'%s': %s @ %s/%d", expression, system_text, file_text, line);
    LocalFree(system_text);
  } else {
    std::snprintf(report, sizeof report, "(%s) Error: %lX (%ld) @ %s/%d", expression,
                  static_cast<unsigned long>(static_cast<uint32_t>(hr)), static_cast<long>(hr), file_text, line);
  }

  int answer = show_check_prompt("HRCHECK: ", report);
  if (answer == IDYES) throw com_call_error(report, hr, file_text, "", 0);
  // Without a debugger the break would end the host process: Cancel then goes on as No.
  if (answer == IDCANCEL && IsDebuggerPresent()) DebugBreak();
  return hr;
}

int show_check_prompt(const char* caption, const char* report) {
  char text[kBufferSize];
  std::snprintf(text, sizeof text, "%s\nPress [Y]es to terminate, [N]o to continue and [C]ancel to Debug",
                report ? report : "");
  return MessageBoxA(nullptr, text, caption, MB_YESNOCANCEL | MB_ICONQUESTION | MB_TASKMODAL);
}

BSTR ansi_to_bstr(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(nullptr, 0);
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (out) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  return out;
}

namespace {

std::string wide_to_ansi(const OLECHAR* text, UINT length) {
  if (length == 0) return std::string();
  int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::string bstr_to_ansi(BSTR text) { return wide_to_ansi(text, SysStringLen(text)); }

std::string olestr_to_ansi(LPCOLESTR text) {
  UINT length = 0;
  if (text)
    while (text[length]) ++length;
  return wide_to_ansi(text, length);
}

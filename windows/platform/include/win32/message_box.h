// Message boxes of the widget toolkit on Windows. MessageBoxA is the system's own and shows
// a real box; a handler set here is kept for the toolkit's bookkeeping but no box reaches
// it (on Linux, the Windows stand-in hands every box to the handler).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace win32 {

struct MessageBoxRequest {
  HWND owner;
  std::string text;     // ANSI (process code page)
  std::string caption;  // ANSI
  UINT type;            // MB_ flags
};

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
std::vector<int> MessageBoxButtons(UINT type);
int MessageBoxDefaultButton(UINT type);
const char* MessageBoxButtonName(int id);

}  // namespace win32

// The message-box service behind MessageBoxA. A handler answers each box; the default
// one asks a person at the terminal, and with no terminal prints the box to standard
// error and answers with the box's default button, so nothing ever hangs.
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

// Installs a handler and returns the previous one; an empty handler restores the default.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// The handler set now (empty: none).
MessageBoxHandler CurrentMessageBoxHandler();

// The buttons a box of this type offers (IDOK, IDYES, ...), in display order.
std::vector<int> MessageBoxButtons(UINT type);
// The button pressed by Enter: the one MB_DEFBUTTONn selects.
int MessageBoxDefaultButton(UINT type);
// English name of a button id ("OK", "Yes", ...).
const char* MessageBoxButtonName(int id);

// Installs a handler for the lifetime of the object, then puts the previous one back.
class ScopedMessageBoxHandler {
 public:
  explicit ScopedMessageBoxHandler(MessageBoxHandler h) : previous_(SetMessageBoxHandler(std::move(h))) {}
  ~ScopedMessageBoxHandler() { SetMessageBoxHandler(std::move(previous_)); }
  ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
  ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

 private:
  MessageBoxHandler previous_;
};

}  // namespace win32

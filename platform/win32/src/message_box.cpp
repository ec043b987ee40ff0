// MessageBoxA and its replaceable service.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <string>

#include "../include/windows.h"
#include "../include/win32/message_box.h"
#include "../include/win32/text.h"

namespace win32 {

namespace {

void print_box(std::FILE* out, const MessageBoxRequest& box) {
  std::fprintf(out, "[%s] %s\n", ansi_to_utf8(box.caption).c_str(), ansi_to_utf8(box.text).c_str());
}

// A person at the terminal answers by the first letter of a button; Enter takes the default.
int ask_terminal(const MessageBoxRequest& box) {
  auto buttons = MessageBoxButtons(box.type);
  int def = MessageBoxDefaultButton(box.type);
  for (;;) {
    print_box(stderr, box);
    std::string prompt;
    for (int id : buttons) {
      if (!prompt.empty()) prompt += " / ";
      prompt += MessageBoxButtonName(id);
      if (id == def) prompt += " (Enter)";
    }
    std::fprintf(stderr, "%s? ", prompt.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) return def;
    if (line.empty()) return def;
    for (int id : buttons) {
      if (std::tolower(static_cast<unsigned char>(line[0])) ==
          std::tolower(static_cast<unsigned char>(MessageBoxButtonName(id)[0])))
        return id;
    }
  }
}

int default_handler(const MessageBoxRequest& box) {
  if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) return ask_terminal(box);
  print_box(stderr, box);
  int def = MessageBoxDefaultButton(box.type);
  std::fprintf(stderr, "(no one to answer: %s)\n", MessageBoxButtonName(def));
  return def;
}

}  // namespace


}  // namespace win32

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  win32::MessageBoxRequest box{owner, text ? text : "", caption ? caption : "Error", type};
  win32::MessageBoxHandler handler = win32::CurrentMessageBoxHandler();
  return handler ? handler(box) : win32::default_handler(box);
}

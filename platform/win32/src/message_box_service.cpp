// The message-box handler and the buttons of a box by its MB_ flags, the same on every
// platform. On Windows, MessageBoxA is the system's own and shows a real box: a handler set
// there is kept but no box reaches it.
#include <mutex>

#include <win32/message_box.h>

namespace win32 {

namespace {
std::mutex g_lock;
MessageBoxHandler g_handler;
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard<std::mutex> g(g_lock);
  std::swap(g_handler, handler);
  return handler;
}

MessageBoxHandler CurrentMessageBoxHandler() {
  std::lock_guard<std::mutex> g(g_lock);
  return g_handler;
}

std::vector<int> MessageBoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
  }
}

int MessageBoxDefaultButton(UINT type) {
  auto buttons = MessageBoxButtons(type);
  size_t index = (type & MB_DEFMASK) >> 8;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

const char* MessageBoxButtonName(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "?";
  }
}

}  // namespace win32

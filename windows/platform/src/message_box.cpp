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

}  // namespace win32

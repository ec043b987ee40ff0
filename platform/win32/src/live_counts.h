// Inside the library: whether live COM objects and strings are counted (CountLiveObjects).
#pragma once

namespace win32::detail {

// Set before any other thread starts, read only after.
extern bool g_count_live;

}  // namespace win32::detail

// The test server's class and its extra exports (looked up with GetProcAddress).
#pragma once

#include <windef.h>

inline constexpr CLSID kTestServerClass = {0x0A1B2C3D, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
inline constexpr const char* kTestServerClassText = "{0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";

using TestServerAttachCountFn = int (*)();
using TestServerInstanceFn = HINSTANCE (*)();
using TestServerOnDetachFn = void (*)(void (*)(LPVOID));

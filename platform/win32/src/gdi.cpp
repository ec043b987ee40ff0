// Device-independent bitmaps: a table of handles to their description and pixel memory.
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "../include/windows.h"

namespace {

struct DibSection {
  BITMAP bitmap;
  std::vector<unsigned char> bits;
};

std::mutex g_lock;
std::map<uintptr_t, DibSection> g_objects;
uintptr_t g_next = 0x0500;

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE, DWORD) {
  if (ppvBits) *ppvBits = nullptr;
  if (!pbmi || usage != DIB_RGB_COLORS) return nullptr;
  const BITMAPINFOHEADER& h = pbmi->bmiHeader;
  const int bits = h.biBitCount;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biPlanes != 1) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  const int64_t width = h.biWidth, height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  if (width <= 0 || height <= 0 || width > 0x8000 || height > 0x8000) return nullptr;
  const int64_t stride = (width * bits + 31) / 32 * 4;
  DibSection dib{};
  dib.bits.assign(static_cast<size_t>(stride * height), 0);
  dib.bitmap.bmWidth = static_cast<LONG>(width);
  dib.bitmap.bmHeight = static_cast<LONG>(height);
  dib.bitmap.bmWidthBytes = static_cast<LONG>(stride);
  dib.bitmap.bmPlanes = 1;
  dib.bitmap.bmBitsPixel = static_cast<WORD>(bits);
  std::lock_guard<std::mutex> g(g_lock);
  const uintptr_t handle = g_next;
  g_next += 4;
  DibSection& stored = g_objects[handle] = std::move(dib);
  stored.bitmap.bmBits = stored.bits.data();
  if (ppvBits) *ppvBits = stored.bits.data();
  return reinterpret_cast<HBITMAP>(handle);
}

int GetObjectA(HANDLE h, int c, LPVOID pv) {
  std::lock_guard<std::mutex> g(g_lock);
  auto it = g_objects.find(reinterpret_cast<uintptr_t>(h));
  if (it == g_objects.end()) return 0;
  if (!pv) return sizeof(BITMAP);
  if (c < static_cast<int>(sizeof(BITMAP))) return 0;
  std::memcpy(pv, &it->second.bitmap, sizeof(BITMAP));
  return sizeof(BITMAP);
}

int GetObjectW(HANDLE h, int c, LPVOID pv) { return GetObjectA(h, c, pv); }

BOOL DeleteObject(HGDIOBJ ho) {
  std::lock_guard<std::mutex> g(g_lock);
  return g_objects.erase(reinterpret_cast<uintptr_t>(ho)) ? TRUE : FALSE;
}

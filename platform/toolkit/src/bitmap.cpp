#include "toolkit/bitmap.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include <windows.h>

#include <win32/paths.h>

#include "toolkit/exception.h"
#include "toolkit/resources.h"

namespace {

std::mutex g_lock;
std::set<const TBitmap*> g_live;

uint32_t u32(std::string_view d, size_t at) {
  if (at + 4 > d.size()) throw Exception("Bitmap image is not valid (truncated)");
  const auto* p = reinterpret_cast<const unsigned char*>(d.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t u16(std::string_view d, size_t at) {
  if (at + 2 > d.size()) throw Exception("Bitmap image is not valid (truncated)");
  const auto* p = reinterpret_cast<const unsigned char*>(d.data() + at);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// A GDI bitmap holding a copy of width x height 0xRRGGBB pixels (top row first).
HBITMAP new_handle(int width, int height, const uint32_t* pixels) {
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // 0x00RRGGBB in memory is blue, green, red, 0: a 32-bit DIB's pixel as it is.
  if (bitmap && bits) std::memcpy(bits, pixels, static_cast<size_t>(width) * height * sizeof(uint32_t));
  return bitmap;
}

}  // namespace

TBitmap::TBitmap() {
  std::lock_guard<std::mutex> g(g_lock);
  g_live.insert(this);
}

TBitmap::~TBitmap() {
  std::lock_guard<std::mutex> g(g_lock);
  g_live.erase(this);
  if (handle_) DeleteObject(handle_);
}

HBITMAP TBitmap::Handle() const {
  std::lock_guard<std::mutex> g(g_lock);
  if (!handle_) handle_ = new_handle(width_, height_, pixels_.data());
  return handle_;
}

const TBitmap* TBitmap::FromHandle(HBITMAP handle) {
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> g(g_lock);
  for (const TBitmap* bitmap : g_live)
    if (bitmap->handle_ == handle) return bitmap;
  return nullptr;
}

void TBitmap::LoadFromBytes(std::string_view data) {
  size_t dib = 0;
  size_t bits_at = 0;
  bool file = data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
  if (file) {
    dib = 14;
    bits_at = u32(data, 10);
  }
  const uint32_t header = u32(data, dib);
  if (header < 40) throw Exception("Bitmap image is not valid (unsupported header)");
  const int32_t width = static_cast<int32_t>(u32(data, dib + 4));
  const int32_t raw_height = static_cast<int32_t>(u32(data, dib + 8));
  const int bits = u16(data, dib + 14);
  const uint32_t compression = u32(data, dib + 16);
  uint32_t colours = u32(data, dib + 32);
  if (width <= 0 || raw_height == 0 || width > 32768 || raw_height > 32768 || raw_height < -32768)
    throw Exception("Bitmap image is not valid (size)");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    throw Exception("Bitmap image is not valid (" + std::to_string(bits) + " bits per pixel)");
  if (compression != 0 && !(compression == 3 && bits == 32))
    throw Exception("Bitmap image is not valid (compressed)");
  const bool top_down = raw_height < 0;
  const int height = top_down ? -raw_height : raw_height;
  if (bits <= 8 && colours == 0) colours = 1u << bits;
  if (bits > 8) colours = 0;
  size_t palette_at = dib + header + (compression == 3 && header == 40 ? 12 : 0);
  std::vector<uint32_t> palette(colours);
  for (uint32_t i = 0; i < colours; ++i) palette[i] = u32(data, palette_at + 4 * i) & 0xFFFFFF;
  if (!file) bits_at = palette_at + 4 * colours;
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  if (bits_at + stride * height > data.size()) throw Exception("Bitmap image is not valid (truncated)");

  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  const auto* base = reinterpret_cast<const unsigned char*>(data.data() + bits_at);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = base + stride * static_cast<size_t>(top_down ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      uint32_t rgb = 0;
      if (bits >= 24) {
        const unsigned char* p = row + static_cast<size_t>(x) * (bits / 8);
        rgb = (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
      } else {
        const int per_byte = 8 / bits;
        const unsigned char byte = row[x / per_byte];
        const int shift = 8 - bits * (x % per_byte + 1);
        const uint32_t index = (byte >> shift) & ((1u << bits) - 1);
        if (index >= palette.size()) throw Exception("Bitmap image is not valid (colour index)");
        rgb = palette[index];
      }
      pixels[static_cast<size_t>(y) * width + x] = rgb;
    }
  }
  std::lock_guard<std::mutex> g(g_lock);
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
  width_ = width;
  height_ = height;
  bits_ = bits;
  pixels_ = std::move(pixels);
}

void TBitmap::LoadFromFile(const std::string& ansi_path) {
  std::ifstream in(win32::ansi_path_to_posix(ansi_path), std::ios::binary);
  if (!in) throw Exception("Cannot open file \"" + ansi_path + "\"");
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LoadFromBytes(data);
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id) {
  LoadFromBytes(toolkit::LoadResourceData(instance, "BITMAP", "#" + std::to_string(id)));
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name) {
  LoadFromBytes(toolkit::LoadResourceData(instance, "BITMAP", name));
}

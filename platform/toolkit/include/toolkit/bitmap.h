// TBitmap: a picture held as 0xRRGGBB pixels, loaded from Windows BMP data (1, 4, 8, 24
// and 32 bits per pixel, uncompressed), from a file, or from a module's BITMAP resource
// (a packed DIB, found through the resource lookup of toolkit/resources.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <windef.h>

#include "toolkit/tobject.h"

class TBitmap : public TObject {
 public:
  TBitmap();
  ~TBitmap() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Bits per pixel of the data last loaded (24 for a 24-bit BMP).
  int BitsPerPixel() const { return bits_; }
  uint32_t Pixel(int x, int y) const { return pixels_.at(static_cast<size_t>(y) * width_ + x); }

  // A BMP file's bytes ("BM" header) or a packed DIB (BITMAPINFOHEADER first).
  // Malformed data is an Exception and leaves the bitmap as it was.
  void LoadFromBytes(std::string_view data);
  void LoadFromFile(const std::string& ansi_path);
  // The module's BITMAP resource with this id; Exception when there is none, or when no
  // resource lookup is installed.
  void LoadFromResourceID(HINSTANCE instance, int id);
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);

  // A handle naming this bitmap, valid while it lives and until it loads another picture:
  // a GDI bitmap of its pixels where there is GDI. FromHandle finds the bitmap again.
  HBITMAP Handle() const;
  static const TBitmap* FromHandle(HBITMAP handle);

 private:
  int width_ = 0, height_ = 0, bits_ = 0;
  std::vector<uint32_t> pixels_;
  mutable HBITMAP handle_ = nullptr;
};

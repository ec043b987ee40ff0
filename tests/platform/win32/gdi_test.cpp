// Device-independent bitmaps: what CreateDIBSection makes, GetObject describes and
// DeleteObject gives back, with GDI's refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include <windows.h>

namespace {

BITMAPINFO info(LONG width, LONG height, WORD bits) {
  BITMAPINFO i = {};
  i.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  i.bmiHeader.biWidth = width;
  i.bmiHeader.biHeight = height;
  i.bmiHeader.biPlanes = 1;
  i.bmiHeader.biBitCount = bits;
  i.bmiHeader.biCompression = BI_RGB;
  return i;
}

TEST(Gdi, DibSectionsAreDescribedUntilDeleted) {
  BITMAPINFO top_down = info(5, -3, 24);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &top_down, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(bits, nullptr);
  // Handles fit the 32 bits of an OLE_HANDLE, as GDI's do.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap) >> 32, 0u);
  std::memset(bits, 0xAB, 16 * 3);  // rows of 5 * 3 bytes padded to 16: all of it is there

  EXPECT_EQ(GetObjectA(bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
  BITMAP described = {};
  ASSERT_EQ(GetObjectA(bitmap, sizeof described, &described), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(described.bmWidth, 5);
  EXPECT_EQ(described.bmHeight, 3);  // a top-down section's height is positive
  EXPECT_EQ(described.bmWidthBytes, 16);
  EXPECT_EQ(described.bmPlanes, 1);
  EXPECT_EQ(described.bmBitsPixel, 24);
  EXPECT_EQ(described.bmBits, bits);
  EXPECT_EQ(GetObjectA(bitmap, sizeof described - 1, &described), 0);  // too small a buffer

  BITMAPINFO other_info = info(1, 1, 32);
  HBITMAP other = CreateDIBSection(nullptr, &other_info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, bitmap);

  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_EQ(GetObjectA(bitmap, sizeof described, &described), 0);
  EXPECT_FALSE(DeleteObject(bitmap));  // once only
  EXPECT_TRUE(DeleteObject(other));
}

TEST(Gdi, DibSectionsGdiCannotMakeAreRefused) {
  void* bits = reinterpret_cast<void*>(1);
  BITMAPINFO bad = info(0, 4, 24);
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  bad = info(4, 4, 7);
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  bad = info(4, 4, 24);
  bad.bmiHeader.biCompression = 1;  // run-length encoded
  EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetObjectA(nullptr, sizeof(BITMAP), nullptr), 0);
  EXPECT_FALSE(DeleteObject(nullptr));
}

}  // namespace

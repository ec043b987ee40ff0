// GDI: device-independent bitmaps, as far as the toolkit makes and the module hands out.
// Handles are small numbers, as GDI's are, so they fit the 32 bits of an OLE_HANDLE.
#pragma once

#include "windef.h"

typedef HANDLE HGDIOBJ;

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: top row first
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

#define BI_RGB 0
#define DIB_RGB_COLORS 0

// Uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel; *bits receives the zeroed pixel memory.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD offset);
// With pv null: the size of the object's description; else fills a BITMAP (c at least its size).
int GetObjectA(HANDLE h, int c, LPVOID pv);
int GetObjectW(HANDLE h, int c, LPVOID pv);
BOOL DeleteObject(HGDIOBJ ho);

// Types of the platform's drawing interface (GDI) that product code uses.
#pragma once

#include "platform/kernel/PlatformTypes.h"

struct GdiObject;  // bitmaps, brushes, pens (platform/gfx internals)
struct DeviceContext;

using HGDIOBJ = GdiObject*;
using HBITMAP = GdiObject*;
using HBRUSH = GdiObject*;
using HPEN = GdiObject*;
using HFONT = GdiObject*;
using HDC = DeviceContext*;

// 0x00BBGGRR
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

// A device-independent bitmap's description (CreateDIBSection). Only 32 bits per pixel without
// compression (BI_RGB) and top-down rows (a negative biHeight) are made: each pixel is then one
// little-endian 32-bit word 0x00RRGGBB, the stand-in's own pixel format.
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
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

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;

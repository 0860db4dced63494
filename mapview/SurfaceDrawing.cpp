#include "mapview/SurfaceDrawing.h"

#include "mapview/EncodedImage.h"

HBITMAP CreatePixelBitmap(HDC reference, int32_t width, int32_t height, uint32_t** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  *bits = bitmap != nullptr ? static_cast<uint32_t*>(pixels) : nullptr;
  return bitmap;
}

int32_t DrawImage(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, const uint8_t* bytes,
                  uint32_t count) {
  EncodedImage image;
  if (!image.Decode(bytes, count)) return 0;
  image.Draw(surface, left, top, right, bottom);
  return 1;
}

int32_t FillRectColor(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ oldBrush = SelectObject(surface, brush);
  HGDIOBJ oldPen = SelectObject(surface, GetStockObject(NULL_PEN));
  Rectangle(surface, left, top, right, bottom);
  if (oldPen != nullptr) SelectObject(surface, oldPen);
  if (oldBrush != nullptr) SelectObject(surface, oldBrush);
  DeleteObject(brush);
  return 1;
}

int32_t DrawPlaceholderGrid(HDC surface, const PixelRect& cell, const PixelRect& area, const uint8_t* bytes,
                            uint32_t count) {
  const int64_t cw = int64_t(cell.right) - cell.left;
  const int64_t ch = int64_t(cell.bottom) - cell.top;
  // A cell without width or height would never advance the loops.
  if (cw <= 0 || ch <= 0) return 1;
  // Every cell shows the same picture at the same size: decoding it once instead of once per cell
  // gives the same pixels for a fraction of the work.
  EncodedImage image;
  if (!image.Decode(bytes, count)) return 1;
  for (int64_t x = area.left; x <= area.right; x += cw) {
    for (int64_t y = area.top; y <= area.bottom; y += ch) {
      image.Draw(surface, int32_t(x), int32_t(y), int32_t(x + cw), int32_t(y + ch));
    }
  }
  return 1;
}

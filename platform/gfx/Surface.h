// The pixels behind a device context, for the parts of the stand-in that draw directly (imaging,
// text, the window system's screen). Pixels are 32-bit XRGB: 0x00RRGGBB in a uint32_t.
#pragma once

#include <cstdint>

#include "platform/gfx/GdiTypes.h"

struct PixelSurface {
  uint32_t* pixels;  // row 0 first
  int32_t width;
  int32_t height;
  int32_t stride;  // pixels from one row to the next
};

// Where a device context draws: its surface, the surface position of the context's (0, 0)
// (a window's context draws into that window's area of the screen), and the clip rectangle in
// surface coordinates (already inside the surface). A context with nothing selected has an
// empty surface.
struct DrawTarget {
  PixelSurface surface;
  int32_t originX;
  int32_t originY;
  RECT clip;
};

// Fills `target` for `dc`; FALSE for a null or deleted context.
BOOL GetDrawTarget(HDC dc, DrawTarget* target);

// Converts between COLORREF (0x00BBGGRR) and a pixel (0x00RRGGBB).
constexpr uint32_t PixelFromColor(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
constexpr COLORREF ColorFromPixel(uint32_t p) { return RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)); }

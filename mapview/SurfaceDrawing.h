// The control's three drawing helpers. Rectangles are left, top, right, bottom in the surface's
// pixels.
#pragma once

#include <cstdint>

#include "platform/gfx/Gdi.h"
#include "projection/ProjectionTypes.h"

constexpr COLORREF kColorKeyWhite = 0x00FFFFFF;  // map-layer pixels of this colour show the placeholder

// A 32-bit top-down bitmap of `width` x `height` whose pixels (0x00RRGGBB, rows `width` apart) the
// caller reads and writes at *bits; null (and *bits null) when it cannot be made.
HBITMAP CreatePixelBitmap(HDC reference, int32_t width, int32_t height, uint32_t** bits);

// Decodes the bytes through the imaging factory and draws the whole image scaled into the
// rectangle. 1, or 0 (nothing drawn) when the factory cannot be made or the bytes are no image.
int32_t DrawImage(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, const uint8_t* bytes,
                  uint32_t count);

// Fills with a solid brush and the null pen, as the platform's rectangle does: columns left to
// right - 2 and rows top to bottom - 2. Callers that mean "up to right - 1" pass right + 1.
int32_t FillRectColor(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, COLORREF colour);

// Covers `area` with copies of the image in cells of `cell`'s size, starting at the area's left-top
// corner; both bounds are inclusive, so cells also start at area.right and area.bottom (there they
// lie outside a surface of the area's size and draw nothing). The image is decoded once and drawn
// into every cell. 1.
int32_t DrawPlaceholderGrid(HDC surface, const PixelRect& cell, const PixelRect& area, const uint8_t* bytes,
                            uint32_t count);

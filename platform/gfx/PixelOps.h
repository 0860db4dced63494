// The pixel loops behind the drawing calls, on rectangles already clipped to their surfaces.
#pragma once

#include <cstdint>

#include "platform/gfx/Surface.h"

namespace gfx {

// Sets every pixel of the `width` x `height` rectangle at (x, y).
void FillPixels(const PixelSurface& surface, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t pixel);

// Copies a rectangle from `src` at (sx, sy) to `dst` at (dx, dy). The two may be the same
// surface with overlapping rectangles: the result is as if the source were read before writing.
void CopyPixels(const PixelSurface& dst, int32_t dx, int32_t dy, const PixelSurface& src, int32_t sx, int32_t sy,
                int32_t width, int32_t height);

// Like CopyPixels, but source pixels whose colour (low 24 bits) equals `key` are left out.
void CopyPixelsExceptKey(const PixelSurface& dst, int32_t dx, int32_t dy, const PixelSurface& src, int32_t sx,
                         int32_t sy, int32_t width, int32_t height, uint32_t key);

// Blends `color` into the surface through 8-bit coverage (0 keeps the pixel, 255 replaces it).
// `coverage` has `width` x `height` values, `pitch` apart by row, placed at (x, y).
void BlendCoverage(const PixelSurface& surface, int32_t x, int32_t y, const uint8_t* coverage, int32_t width,
                   int32_t height, int32_t pitch, uint32_t color);

}  // namespace gfx

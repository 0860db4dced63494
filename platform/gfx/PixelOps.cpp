#include "platform/gfx/PixelOps.h"

#include <cstring>
#include <vector>

namespace gfx {

namespace {

constexpr uint32_t kColorMask = 0x00FFFFFF;

uint32_t* Row(const PixelSurface& s, int32_t x, int32_t y) { return s.pixels + ptrdiff_t(y) * s.stride + x; }

// Branch-free select over plain arrays, so that the compiler turns it into vector compares and
// blends: each output pixel is the source pixel unless it carries the key.
void SelectRow(uint32_t* __restrict out, const uint32_t* __restrict in, int32_t count, uint32_t key) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t s = in[i];
    const uint32_t keep = ((s & kColorMask) == key) ? 0xFFFFFFFFu : 0u;
    out[i] = (out[i] & keep) | (s & ~keep);
  }
}

bool SameSurface(const PixelSurface& a, const PixelSurface& b) { return a.pixels == b.pixels; }

}  // namespace

void FillPixels(const PixelSurface& surface, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t pixel) {
  for (int32_t row = 0; row < height; ++row) {
    uint32_t* p = Row(surface, x, y + row);
    for (int32_t i = 0; i < width; ++i) p[i] = pixel;
  }
}

void CopyPixels(const PixelSurface& dst, int32_t dx, int32_t dy, const PixelSurface& src, int32_t sx, int32_t sy,
                int32_t width, int32_t height) {
  const size_t bytes = size_t(width) * sizeof(uint32_t);
  // Moving down within one surface: copy the bottom row first so no source row is overwritten
  // before it is read. Within a row memmove handles either direction.
  if (SameSurface(dst, src) && dy > sy) {
    for (int32_t row = height - 1; row >= 0; --row) std::memmove(Row(dst, dx, dy + row), Row(src, sx, sy + row), bytes);
  } else {
    for (int32_t row = 0; row < height; ++row) std::memmove(Row(dst, dx, dy + row), Row(src, sx, sy + row), bytes);
  }
}

void CopyPixelsExceptKey(const PixelSurface& dst, int32_t dx, int32_t dy, const PixelSurface& src, int32_t sx,
                         int32_t sy, int32_t width, int32_t height, uint32_t key) {
  key &= kColorMask;
  if (SameSurface(dst, src)) {
    // Overlapping rows would alias: read each source row into a buffer first, in the row order
    // that never overwrites a row still to be read.
    std::vector<uint32_t> buffer(static_cast<size_t>(width));
    const bool upward = dy > sy;
    for (int32_t n = 0; n < height; ++n) {
      const int32_t row = upward ? height - 1 - n : n;
      std::memcpy(buffer.data(), Row(src, sx, sy + row), size_t(width) * sizeof(uint32_t));
      SelectRow(Row(dst, dx, dy + row), buffer.data(), width, key);
    }
    return;
  }
  for (int32_t row = 0; row < height; ++row) SelectRow(Row(dst, dx, dy + row), Row(src, sx, sy + row), width, key);
}

void BlendCoverage(const PixelSurface& surface, int32_t x, int32_t y, const uint8_t* coverage, int32_t width,
                   int32_t height, int32_t pitch, uint32_t color) {
  const uint32_t cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF, cb = color & 0xFF;
  for (int32_t row = 0; row < height; ++row) {
    uint32_t* p = Row(surface, x, y + row);
    const uint8_t* a = coverage + ptrdiff_t(row) * pitch;
    for (int32_t i = 0; i < width; ++i) {
      const uint32_t alpha = a[i];
      if (alpha == 0) continue;
      const uint32_t inv = 255 - alpha, d = p[i];
      const uint32_t r = (cr * alpha + ((d >> 16) & 0xFF) * inv + 127) / 255;
      const uint32_t g = (cg * alpha + ((d >> 8) & 0xFF) * inv + 127) / 255;
      const uint32_t b = (cb * alpha + (d & 0xFF) * inv + 127) / 255;
      p[i] = (r << 16) | (g << 8) | b;
    }
  }
}

}  // namespace gfx

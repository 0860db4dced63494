// Helpers for the drawing tests: a memory context with its own bitmap, and direct pixel access
// through the context's draw target.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Surface.h"

namespace gfxtest {

// A memory context with a `width` x `height` bitmap selected; restores and frees both.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }

  PixelSurface Surface() const {
    DrawTarget target{};
    EXPECT_TRUE(GetDrawTarget(dc_, &target));
    return target.surface;
  }
  uint32_t At(int x, int y) const {
    const PixelSurface s = Surface();
    return s.pixels[y * s.stride + x];
  }
  void Set(int x, int y, uint32_t pixel) {
    const PixelSurface s = Surface();
    s.pixels[y * s.stride + x] = pixel;
  }
  // Every pixel different: its position in the low 24 bits (never 0x00FFFFFF for sides < 4096).
  void FillUniquePattern() {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) Set(x, y, uint32_t(y * 4096 + x + 1));
  }
  std::vector<uint32_t> Snapshot() const {
    std::vector<uint32_t> out;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) out.push_back(At(x, y));
    return out;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

// Counts pixels that differ from `background` inside [x0, x1) x [y0, y1).
inline int CountInk(const Canvas& c, uint32_t background, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
  if (x1 < 0) x1 = c.width();
  if (y1 < 0) y1 = c.height();
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += c.At(x, y) != background;
  return n;
}

struct InkBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right/bottom exclusive
  bool Empty() const { return right < 0; }
};

inline InkBox InkBounds(const Canvas& c, uint32_t background) {
  InkBox box;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (c.At(x, y) != background) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box;
}

}  // namespace gfxtest

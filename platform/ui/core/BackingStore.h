// The pixels of one top-level window (its frame and every child inside it). The owning thread
// draws into them between BeginPaint and EndPaint (or GetDC and ReleaseDC) holding `drawing`; the
// compositor only tries that lock, so a paint in progress never stalls the screen.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/gfx/Surface.h"

struct BackingStore {
  // A top-level window is at most this wide and high (larger sizes are cut to it): far beyond any
  // screen of the device, and it keeps a window's pixels, which are kept in full, within 64 MB.
  static constexpr int32_t kMaxSide = 4096;
  static int32_t LimitSide(int32_t side) { return side < 0 ? 0 : side > kMaxSide ? kMaxSide : side; }

  BackingStore(int32_t width, int32_t height)
      : width(width > 0 ? width : 0),
        height(height > 0 ? height : 0),
        pixels(size_t(this->width) * size_t(this->height), 0x00FFFFFFu) {}
  PixelSurface Surface() { return PixelSurface{pixels.data(), width, height, width}; }

  std::recursive_mutex drawing;
  const int32_t width;
  const int32_t height;
  std::vector<uint32_t> pixels;
};

// Small value types that the projection returns.
#pragma once

#include <algorithm>
#include <cstdint>

// World pixel position at one zoom level: origin at the north-west corner, x east, y south.
struct PixelPoint {
  int32_t x;
  int32_t y;
  bool operator==(const PixelPoint&) const = default;
};

// Tile position: tile (tx, ty) covers world pixels 256*tx .. 256*tx + 255 and likewise in y.
struct TilePoint {
  int32_t tx;
  int32_t ty;
  bool operator==(const TilePoint&) const = default;
};

// A pair of counts: width and height (pixels or tiles).
struct SizeCounts {
  int32_t width;
  int32_t height;
  bool operator==(const SizeCounts&) const = default;
};

// Geographic position in degrees, latitude first, positive north and east.
struct GeoPoint {
  double latitude;
  double longitude;
  bool operator==(const GeoPoint&) const = default;
};

// A world-pixel rectangle: left, top, right, bottom.
struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  bool operator==(const PixelRect&) const = default;
};

// Rectangles are right and bottom exclusive; one with no pixel is empty, whatever its corners.
inline bool IsEmptyRect(const PixelRect& r) { return r.right <= r.left || r.bottom <= r.top; }
// The pixels in both (possibly empty).
inline PixelRect IntersectRects(const PixelRect& a, const PixelRect& b) {
  return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}
// The smallest rectangle holding both (neither empty).
inline PixelRect BoundRects(const PixelRect& a, const PixelRect& b) {
  return PixelRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                   std::max(a.bottom, b.bottom)};
}
inline PixelRect ShiftedRect(const PixelRect& r, int32_t dx, int32_t dy) {
  return PixelRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

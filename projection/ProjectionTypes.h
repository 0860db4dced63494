// Small value types that the projection returns.
#pragma once

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

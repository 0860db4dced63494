// Turns a rectangle of world pixels at a zoom into requests for the tiles that cover it, and tells
// which pixel rectangle those tiles occupy. Knows nothing of drawing, windows or HTTP.
#pragma once

#include <cstdint>

#include "projection/MapProjection.h"
#include "tiles/TileCache.h"
#include "tiles/TileDrawInfo.h"

// The tiles covering a pixel rectangle; all bounds inclusive.
struct TileRange {
  int32_t firstX;
  int32_t firstY;
  int32_t lastX;
  int32_t lastY;
  bool operator==(const TileRange&) const = default;
};

class TileLayer {
 public:
  TileLayer() = default;
  // Clears the cache (cancelling and awaiting every download), then the cache is destroyed.
  ~TileLayer();
  TileLayer(const TileLayer&) = delete;
  TileLayer& operator=(const TileLayer&) = delete;

  // Right and bottom are pixels of the rectangle. All zeros without a projection.
  TileRange TileRangeForRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // The rectangle of the covering tiles; right and bottom are the first pixels past them.
  PixelRect TileAlignedRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Requests every covering tile, column by column from the left, each column from the top (from a
  // source of the tile-source library: nearest the rectangle's centre first), and never stops at a
  // failure. 1 when every tile was reported at once or had its download started.
  int32_t RequestTiles(int32_t left, int32_t top, int32_t right, int32_t bottom, double zoom,
                       TileReadyCallback callback, void* context);
  int32_t RequestTile(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t column, int32_t row,
                      double zoom, TileReadyCallback callback, void* context);

  // Ranges larger than this (no screen is) are asked column by column whatever the source.
  static constexpr int64_t kMaxOrderedTiles = 4096;

  MapProjection* projection = nullptr;  // not owned; set by the map view
  TileCache cache;
};

// What a tile hands to whoever requested it when it reports.
#pragma once

#include <cstdint>

struct TileDrawInfo {
  int32_t x;            // world pixel x of the tile's left edge
  int32_t y;            // world pixel y of the tile's top edge
  int32_t width;        // tile width in pixels
  int32_t height;       // tile height in pixels
  int32_t tileX;        // tile column
  int32_t tileY;        // tile row
  double zoom;          // the zoom the tile was created with
  const uint8_t* data;  // the encoded image as the server sent it; null when there is none
  uint32_t dataSize;    // bytes at `data`; meaningless when `data` is null
  // The square of the image that is the tile, in image pixels: the whole image (sourceSize 0), or
  // for a level deeper than its source has, the part of the deepest level's tile it scales up.
  int32_t sourceX;
  int32_t sourceY;
  int32_t sourceSize;
};

// Receives a tile's report. The record lives only for the call, and so do the bytes it points to.
using TileReadyCallback = void (*)(const TileDrawInfo* info, void* context);

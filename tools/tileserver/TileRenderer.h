// Draws a synthetic 256x256 RGB tile: pale background, grid, a few white roads that continue
// across neighbouring tiles, and a label panel with the tile's column, row, level and server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tileserver/TileAddress.h"
#include "tools/tileserver/TileStyle.h"

namespace tileserver {

class TileRenderer {
 public:
  // Row-major RGB, kTileSize * kTileSize * kBytesPerPixel bytes.
  static std::vector<uint8_t> Render(const TileKey& key);

  // The label lines drawn on the tile, top to bottom.
  static std::vector<std::string> LabelLines(const TileKey& key);

  // Columns of the vertical roads of tile column x and rows of the horizontal roads of tile
  // row y (tile-local pixel centres). They depend on the one coordinate only, so roads join up.
  static std::vector<int> RoadCentres(int32_t coordinate, int32_t z, uint32_t salt);
};

}  // namespace tileserver

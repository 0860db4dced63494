#include "tiles/TileLayer.h"

#include <algorithm>
#include <utility>
#include <vector>

TileLayer::~TileLayer() { cache.Clear(); }

TileRange TileLayer::TileRangeForRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (projection == nullptr) return TileRange{0, 0, 0, 0};
  const TilePoint first = projection->PixelToTile(left, top);
  const TilePoint last = projection->PixelToTile(right, bottom);
  return TileRange{first.tx, first.ty, last.tx, last.ty};
}

PixelRect TileLayer::TileAlignedRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const TileRange range = TileRangeForRect(left, top, right, bottom);
  if (projection == nullptr) return PixelRect{0, 0, 0, 0};
  const PixelPoint first = projection->TileToPixel(range.firstX, range.firstY);
  const PixelPoint last = projection->TileToPixel(range.lastX, range.lastY);
  const SizeCounts size = projection->TileSize();
  return PixelRect{first.x, first.y, last.x + size.width, last.y + size.height};
}

int32_t TileLayer::RequestTiles(int32_t left, int32_t top, int32_t right, int32_t bottom, double zoom,
                                TileReadyCallback callback, void* context) {
  const TileRange range = TileRangeForRect(left, top, right, bottom);
  int32_t result = 1;
  const int64_t columns = int64_t{range.lastX} - range.firstX + 1, rows = int64_t{range.lastY} - range.firstY + 1;
  if (cache.external != nullptr && columns > 0 && rows > 0 && columns * rows <= kMaxOrderedTiles) {
    // Reads from a source queue up in the order asked: the tiles nearest the rectangle's centre
    // first, so the middle of the screen fills before its edges.
    std::vector<std::pair<int32_t, int32_t>> tiles;
    for (int64_t column = range.firstX; column <= range.lastX; ++column)
      for (int64_t row = range.firstY; row <= range.lastY; ++row) tiles.emplace_back(int32_t(column), int32_t(row));
    const double middleX = (double(range.firstX) + range.lastX) / 2, middleY = (double(range.firstY) + range.lastY) / 2;
    std::stable_sort(tiles.begin(), tiles.end(), [&](const auto& a, const auto& b) {
      const double da = (a.first - middleX) * (a.first - middleX) + (a.second - middleY) * (a.second - middleY);
      const double db = (b.first - middleX) * (b.first - middleX) + (b.second - middleY) * (b.second - middleY);
      return da < db;
    });
    for (const auto& [column, row] : tiles)
      result &= RequestTile(left, top, right, bottom, column, row, zoom, callback, context);
    return result;
  }
  // 64-bit counters so that a range ending at INT32_MAX still terminates.
  for (int64_t column = range.firstX; column <= range.lastX; ++column) {
    for (int64_t row = range.firstY; row <= range.lastY; ++row) {
      result &= RequestTile(left, top, right, bottom, static_cast<int32_t>(column), static_cast<int32_t>(row), zoom,
                            callback, context);
    }
  }
  return result;
}

int32_t TileLayer::RequestTile(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t column, int32_t row,
                               double zoom, TileReadyCallback callback, void* context) {
  if (cache.GetOrCreate(left, top, right, bottom, column, row, zoom, projection) == 0) return 0;
  Tile* tile = cache.FindAtZoom(column, row, zoom);
  if (tile == nullptr) return 0;
  // A request never shares a running download: it is cancelled (its failure report goes to the
  // callback the tile held until now) and started afresh.
  if (tile->fetcher.HasWorker()) tile->fetcher.Cancel();
  if (tile->sourceFetch.Running()) tile->sourceFetch.Cancel();
  return tile->Start(callback, context);
}

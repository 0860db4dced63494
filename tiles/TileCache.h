// The tiles of one map view: at most one per column and row, whatever its zoom. Tiles are created
// on demand, replaced when their zoom no longer matches, and evicted oldest-first (by creation,
// not by use), at most one per creation, when they lie outside the rectangle being requested.
//
// The lock guards `order` and `index` only and is never taken twice by one operation. Removing a
// tile waits for its download worker while the lock is held, so worker threads and the callbacks
// they run must never call the cache.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/kernel/CriticalSection.h"
#include "projection/MapProjection.h"
#include "tiles/Tile.h"

class TileCache {
 public:
  static constexpr size_t kEvictionThreshold = 5;  // evict only once the cache holds this many

  TileCache();
  // Frees the cache's own storage; the tiles are its owner's to Clear first.
  virtual ~TileCache();
  TileCache(const TileCache&) = delete;
  TileCache& operator=(const TileCache&) = delete;

  Tile* Find(int32_t column, int32_t row);
  // The tile at that column and row only when its zoom equals `zoom` exactly.
  Tile* FindAtZoom(int32_t column, int32_t row, double zoom);
  // Makes sure a tile of this column, row and zoom exists: a tile there of another zoom is removed,
  // then at most one tile outside the rectangle is evicted, then the tile is created. 1 when the
  // tile exists afterwards; 0 when it could not be allocated (nothing is stored for it).
  int32_t GetOrCreate(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t column, int32_t row,
                      double zoom, MapProjection* projection);
  int32_t Remove(int32_t column, int32_t row);
  int32_t EvictOneOutside(int32_t left, int32_t top, int32_t right, int32_t bottom);
  int32_t Clear();

  size_t Count();

  // Where new tiles are read from: null for the tile servers of the URL rule (downloads through
  // the HTTP fetcher), else a source of the tile-source library. Set on the GUI thread.
  std::shared_ptr<const ExternalTileSource> external;

  std::vector<Tile*> order;                           // creation order, oldest first
  std::map<int32_t, std::map<int32_t, Tile*>> index;  // column -> row -> tile
  CRITICAL_SECTION lock;
};

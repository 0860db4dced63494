#include "tiles/TileCache.h"

#include <algorithm>
#include <new>

#include "platform/kernel/CriticalSection.h"

TileCache::TileCache() { InitializeCriticalSection(&lock); }

TileCache::~TileCache() { DeleteCriticalSection(&lock); }

Tile* TileCache::Find(int32_t column, int32_t row) {
  CriticalSectionLock held(&lock);
  auto c = index.find(column);
  if (c == index.end()) return nullptr;
  auto r = c->second.find(row);
  return r == c->second.end() ? nullptr : r->second;
}

Tile* TileCache::FindAtZoom(int32_t column, int32_t row, double zoom) {
  Tile* tile = Find(column, row);
  if (tile != nullptr && tile->zoom != zoom) return nullptr;
  return tile;
}

int32_t TileCache::GetOrCreate(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t column, int32_t row,
                               double zoom, MapProjection* projection) {
  if (FindAtZoom(column, row, zoom) != nullptr) return 1;
  if (Find(column, row) != nullptr) Remove(column, row);
  EvictOneOutside(left, top, right, bottom);

  Tile* tile = new (std::nothrow) Tile(column, row, zoom, projection);
  if (tile != nullptr) tile->external = external;
  if (tile == nullptr) return 0;
  CriticalSectionLock held(&lock);
  try {
    std::map<int32_t, Tile*>& rows = index[column];
    try {
      rows[row] = tile;
      order.push_back(tile);
    } catch (const std::bad_alloc&) {
      // Store nothing for a tile that could not be stored whole.
      rows.erase(row);
      if (rows.empty()) index.erase(column);
      throw;
    }
  } catch (const std::bad_alloc&) {
    delete tile;  // a fresh tile has no download to wait for
    return 0;
  }
  return 1;
}

int32_t TileCache::Remove(int32_t column, int32_t row) {
  CriticalSectionLock held(&lock);
  auto c = index.find(column);
  if (c == index.end()) return 0;
  int32_t result = 0;
  auto r = c->second.find(row);
  if (r != c->second.end()) {
    auto it =
        std::find_if(order.begin(), order.end(), [&](const Tile* t) { return t->tileX == column && t->tileY == row; });
    if (it != order.end()) order.erase(it);
    delete r->second;  // cancels and awaits its download
    c->second.erase(r);
    result = 1;
  }
  if (c->second.empty()) index.erase(c);
  return result;
}

int32_t TileCache::EvictOneOutside(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  bool found = false;
  int32_t column = 0, row = 0;
  {
    CriticalSectionLock held(&lock);
    if (order.size() >= kEvictionThreshold) {
      for (Tile* tile : order) {
        if (tile->IsVisibleIn(left, top, right, bottom) == 0) {
          found = true;
          column = tile->tileX;
          row = tile->tileY;
          break;
        }
      }
    }
  }
  return found ? Remove(column, row) : 0;
}

int32_t TileCache::Clear() {
  CriticalSectionLock held(&lock);
  for (auto& [column, rows] : index) {
    for (auto& [row, tile] : rows) delete tile;
  }
  order.clear();
  index.clear();
  return 1;
}

size_t TileCache::Count() {
  CriticalSectionLock held(&lock);
  return order.size();
}

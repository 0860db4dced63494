#include "tiles/TileCache.h"

#include <algorithm>
#include <new>

namespace {

// Holds a critical section for one scope.
class Locked {
 public:
  explicit Locked(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~Locked() { LeaveCriticalSection(section_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

}  // namespace

TileCache::TileCache() { InitializeCriticalSection(&lock); }

TileCache::~TileCache() { DeleteCriticalSection(&lock); }

Tile* TileCache::Find(int32_t column, int32_t row) {
  Locked held(&lock);
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
  if (tile == nullptr) return 0;
  Locked held(&lock);
  try {
    order.push_back(tile);
    try {
      index[column][row] = tile;
    } catch (const std::bad_alloc&) {
      order.pop_back();
      if (index.count(column) != 0 && index[column].empty()) index.erase(column);
      throw;
    }
  } catch (const std::bad_alloc&) {
    delete tile;  // a fresh tile has no download to wait for
    return 0;
  }
  return 1;
}

int32_t TileCache::Remove(int32_t column, int32_t row) {
  Locked held(&lock);
  auto c = index.find(column);
  if (c == index.end()) return 0;
  int32_t result = 0;
  auto r = c->second.find(row);
  if (r != c->second.end()) {
    auto it = std::find_if(order.begin(), order.end(),
                           [&](const Tile* t) { return t->tileX == column && t->tileY == row; });
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
    Locked held(&lock);
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
  Locked held(&lock);
  for (auto& [column, rows] : index) {
    for (auto& [row, tile] : rows) delete tile;
  }
  order.clear();
  index.clear();
  return 1;
}

size_t TileCache::Count() {
  Locked held(&lock);
  return order.size();
}

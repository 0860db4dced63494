// A bounded, thread-safe LRU cache of encoded tiles, keyed by server kind, server number and
// tile position. Tiles are rendered and encoded outside the lock on a miss.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "tools/tileserver/TileAddress.h"

namespace tileserver {

using TileBytes = std::shared_ptr<const std::string>;

class EncodedTileCache {
 public:
  static constexpr size_t kDefaultMaxBytes = size_t{64} << 20;

  explicit EncodedTileCache(size_t maxBytes = kDefaultMaxBytes) : maxBytes_(maxBytes) {}

  // The PNG bytes of the tile, from the cache or freshly made; null if encoding failed.
  TileBytes Get(const TileKey& key);

  size_t Entries() const;
  size_t Bytes() const;
  size_t Hits() const;
  size_t Misses() const;

 private:
  struct KeyHash {
    size_t operator()(const TileKey& k) const;
  };
  using Order = std::list<TileKey>;
  struct Entry {
    TileBytes bytes;
    Order::iterator position;
  };

  void Insert(const TileKey& key, TileBytes bytes);

  const size_t maxBytes_;
  mutable std::mutex mutex_;
  Order order_;  // most recently used first
  std::unordered_map<TileKey, Entry, KeyHash> entries_;
  size_t bytes_ = 0;
  size_t hits_ = 0;
  size_t misses_ = 0;
};

}  // namespace tileserver

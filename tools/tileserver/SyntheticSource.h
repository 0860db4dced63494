// The tiles drawn here: every position of every level exists. A tile never changes while the
// server runs, so its entity tag is its address and it was last modified when the server started;
// answers carry "Cache-Control: max-age" when a lifetime is set (an upstream for the tests).
#pragma once

#include <optional>

#include "tools/tileserver/EncodedTileCache.h"
#include "tools/tileserver/TileSource.h"

namespace tileserver {

class SyntheticSource final : public TileSource {
 public:
  SyntheticSource(EncodedTileCache& cache, int64_t startMs, std::optional<int> maxAgeSeconds)
      : cache_(cache), startMs_(startMs), maxAgeSeconds_(maxAgeSeconds) {}

  SourcedTile Fetch(const TileKey& key) override;
  std::string Describe() const override;

 private:
  EncodedTileCache& cache_;
  const int64_t startMs_;
  const std::optional<int> maxAgeSeconds_;
};

}  // namespace tileserver

#include "tools/tileserver/SyntheticSource.h"

namespace tileserver {

SourcedTile SyntheticSource::Fetch(const TileKey& key) {
  SourcedTile tile;
  tile.body = cache_.Get(key);
  if (tile.body == nullptr) return SourcedTile::Text(500, "encode-failed", "tile encoding failed\n");
  // Unique per drawing and per run: a restarted server's tiles are not taken for the old ones.
  tile.etag = "\"" + std::string(HostKindName(key.kind)) + "-" + std::to_string(key.server) + "-" +
              std::to_string(key.z) + "-" + std::to_string(key.x) + "-" + std::to_string(key.y) + "-" +
              std::to_string(startMs_) + "\"";
  tile.lastModifiedMs = startMs_;
  if (maxAgeSeconds_) tile.headers.emplace_back("Cache-Control", "max-age=" + std::to_string(*maxAgeSeconds_));
  return tile;
}

std::string SyntheticSource::Describe() const {
  return "synthetic tiles drawn here" +
         (maxAgeSeconds_ ? ", max-age " + std::to_string(*maxAgeSeconds_) + " s" : std::string());
}

}  // namespace tileserver

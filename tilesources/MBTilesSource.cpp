#include "tilesources/MBTilesSource.h"

#include <cstdio>

#include "tilesources/ContentTag.h"

namespace tilesources {

SourcedTile MBTilesSource::Fetch(const TilePosition& key) {
  TileRead read = reader_->Get(key.z, key.x, key.y);
  switch (read.outcome) {
    case TileLookup::Missing: return SourcedTile::Text(404, "missing", "no such tile in the file\n");
    case TileLookup::NotAnImage:
      return SourcedTile::Text(500, "not-an-image", "the tile cannot be used: " + read.error + "\n");
    case TileLookup::Failed:
      return SourcedTile::Text(500, "unreadable", "the tile cannot be read: " + read.error + "\n");
    case TileLookup::Found: break;
  }
  SourcedTile tile;
  tile.contentType = ContentTypeOf(read.format);
  tile.etag = ContentTag(read.bytes);
  tile.body = std::make_shared<const std::string>(std::move(read.bytes));
  if (maxAgeSeconds_) tile.headers.emplace_back("Cache-Control", "max-age=" + std::to_string(*maxAgeSeconds_));
  return tile;
}

std::string MBTilesSource::Describe() const {
  const MBTilesInfo& info = reader_->Info();
  char bounds[160];
  std::snprintf(bounds, sizeof bounds, "%.6g,%.6g,%.6g,%.6g%s", info.bounds[0], info.bounds[1], info.bounds[2],
                info.bounds[3], info.boundsGiven ? "" : " (not given: the whole world)");
  return "MBTiles " + reader_->Path() + (info.name.empty() ? "" : " \"" + info.name + "\"") + ", format " +
         FormatName(info.format) + (info.formatGiven ? "" : " (told by a tile)") + ", zoom " +
         std::to_string(info.minZoom) + "-" + std::to_string(info.maxZoom) + ", bounds " + bounds +
         (info.immutable ? ", WAL mode (read as an unchanging file)" : "") +
         (info.checked ? ", checked" : ", not checked: " + info.whyUnchecked);
}

}  // namespace tilesources

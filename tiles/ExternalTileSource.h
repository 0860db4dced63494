// A tile source of the tile-source library bound to a map view: tiles are read from it on workers
// instead of downloaded through the HTTP fetcher. Levels deeper than the source's deepest are drawn
// from that level's tile, scaled up.
#pragma once

#include <memory>

#include "tilesources/TileSource.h"

struct ExternalTileSource {
  std::shared_ptr<tilesources::TileSource> source;
  tilesources::SourceLevels levels;
};

// A tile source of the tile-source library bound to a map view: tiles are read from it on workers
// instead of downloaded through the HTTP fetcher. Levels deeper than the source's deepest are drawn
// from that level's tile, scaled up.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "tiles/TileReadQueue.h"
#include "tilesources/TileSource.h"

struct ExternalTileSource {
  ExternalTileSource(std::shared_ptr<tilesources::TileSource> source_, tilesources::SourceLevels levels_,
                     size_t readers, std::string contact_)
      : source(std::move(source_)), levels(levels_), contact(std::move(contact_)), reads(readers) {}

  const std::shared_ptr<tilesources::TileSource> source;
  const tilesources::SourceLevels levels;
  const std::string contact;  // the contact the source was opened with, for its requests
  // The workers that read its tiles: as many as the source can usefully serve at once.
  const TileReadQueue reads;
};

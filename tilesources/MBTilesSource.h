// Tiles from an MBTiles file, read only: a tile that is not in the file answers 404, one that
// cannot be read (damage found while serving, a look-up out of time) or is no image 500. An image
// is sent with the type its bytes tell.
#pragma once

#include <memory>
#include <optional>

#include "tilesources/MBTilesReader.h"
#include "tilesources/TileSource.h"

namespace tilesources {

class MBTilesSource final : public TileSource {
 public:
  MBTilesSource(std::unique_ptr<MBTilesReader> reader, std::optional<int> maxAgeSeconds)
      : reader_(std::move(reader)), maxAgeSeconds_(maxAgeSeconds) {}

  SourcedTile Fetch(const TilePosition& key) override;
  std::string Describe() const override;
  std::string Attribution() const override { return reader_->Info().attribution; }
  SourceLevels Levels() const override { return {reader_->Info().minZoom, reader_->Info().maxZoom}; }
  bool Unchanged() const override { return reader_->FileUnchanged(); }

 private:
  std::unique_ptr<MBTilesReader> reader_;
  const std::optional<int> maxAgeSeconds_;
};

}  // namespace tilesources

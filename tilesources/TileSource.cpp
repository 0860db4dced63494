#include "tilesources/TileSource.h"

namespace tilesources {

SourcedTile SourcedTile::Text(int status, std::string what, const std::string& text) {
  SourcedTile tile;
  tile.status = status;
  tile.what = std::move(what);
  tile.contentType = "text/plain";
  tile.body = std::make_shared<const std::string>(text);
  return tile;
}

}  // namespace tilesources

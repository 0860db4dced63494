// Values of an MBTiles file's metadata table, as the reader checks them when it opens a file:
// "minzoom" / "maxzoom", "bounds" and "format". The first byte chooses which.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "tilesources/MBTilesMetadata.h"
#include "tools/tileserver/TileAddress.h"
#include "tilesources/TileImageFormat.h"

using namespace tileserver;
using namespace tilesources;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      int zoom = -1;
      if (ParseMetadataZoom(text, zoom) && (zoom < 0 || zoom > kMaxZoom)) __builtin_trap();
      break;
    }
    case 1: {
      double bounds[4] = {};
      if (ParseMetadataBounds(text, bounds) && !(bounds[0] < bounds[2] && bounds[1] < bounds[3] &&
                                                 std::isfinite(bounds[0]) && std::isfinite(bounds[3])))
        __builtin_trap();
      break;
    }
    case 2:
      if (const std::optional<TileImageFormat> format = TileImageFormatNamed(text)) FormatName(*format);
      SniffTileImage(text);
      break;
  }
  return 0;
}

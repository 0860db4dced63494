// The values of an MBTiles file's metadata table that the reader checks: zoom levels and bounds.
#pragma once

#include <string_view>

namespace tilesources {

// "minzoom" / "maxzoom": a decimal level from 0 to kMaxZoom.
bool ParseMetadataZoom(std::string_view text, int& zoom);

// "bounds": "west,south,east,north" in degrees (spaces around the numbers allowed), west below
// east and south below north, within -180..180 and -90..90. `bounds` is written only on success.
bool ParseMetadataBounds(std::string_view text, double (&bounds)[4]);

}  // namespace tilesources

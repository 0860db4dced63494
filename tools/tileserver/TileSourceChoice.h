// A tile source as written on the server's command line: "synthetic", or a source of the
// tile-source library ("mbtiles:FILE", "upstream:TEMPLATE"), and the settings sources are opened with.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tilesources/SourceChoice.h"
#include "tools/tileserver/EncodedTileCache.h"
#include "tools/tileserver/TileSource.h"

namespace tileserver {

using tilesources::OneLine;
using tilesources::SourceKind;
using tilesources::SourceSettings;

// kind Word: the synthetic tiles.
using TileSourceChoice = tilesources::SourceChoice;

struct TileSourceChoiceParse {
  std::optional<TileSourceChoice> choice;
  std::string error;
};

// Checks the form only (a template's placeholders, a file name given); files are opened later.
TileSourceChoiceParse ParseTileSourceChoice(std::string_view text);

struct OpenedSource {
  std::unique_ptr<TileSource> source;
  std::string error;  // one line, when there is no source
  std::string note;   // one line, when it works in a lesser way (an upstream without its disk cache)
};

// Opens the source: the synthetic tiles, or a library source (an MBTiles file read and checked,
// an upstream's disk cache opened).
OpenedSource OpenTileSource(const TileSourceChoice& choice, const SourceSettings& settings, EncodedTileCache& synthetic,
                            int64_t startMs);

// The User-Agent of the server's upstream requests.
std::string UpstreamUserAgent(const std::string& contact);

}  // namespace tileserver

// A tile source as written on the command line: "synthetic", "mbtiles:FILE" or
// "upstream:TEMPLATE", and the settings sources are opened with.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tools/tileserver/EncodedTileCache.h"
#include "tools/tileserver/TileSource.h"

namespace tileserver {

enum class SourceKind { Synthetic, MBTiles, Upstream };

struct TileSourceChoice {
  SourceKind kind = SourceKind::Synthetic;
  std::string argument;  // the file or the template
  std::string text;      // as written
};

struct TileSourceChoiceParse {
  std::optional<TileSourceChoice> choice;
  std::string error;
};

// Checks the form only (a template's placeholders, a file name given); files are opened later.
TileSourceChoiceParse ParseTileSourceChoice(std::string_view text);

struct SourceSettings {
  std::optional<int> maxAgeSeconds;  // Cache-Control on the answers of local sources
  std::string contact;               // goes into the upstream User-Agent; required for upstreams
  int upstreamConnections = 2;
  std::string cacheDir;  // where upstream disk caches live
};

struct OpenedSource {
  std::unique_ptr<TileSource> source;
  std::string error;  // one line, when there is no source
};

// Opens the source: reads and checks an MBTiles file, opens an upstream's disk cache
// (<cacheDir>/upstream-<hash of the template>.mbtiles, the folder made if missing).
OpenedSource OpenTileSource(const TileSourceChoice& choice, const SourceSettings& settings, EncodedTileCache& synthetic,
                            int64_t startMs);

// The User-Agent of upstream requests: program, version and contact.
std::string UpstreamUserAgent(const std::string& contact);

// The text with every run of line breaks, tabs and other control characters made one space:
// what SQLite reports may span lines, and a start-up error is one line.
std::string OneLine(std::string_view text);

// The folder for upstream caches when none is given: $XDG_CACHE_HOME or ~/.cache, then
// orvan-tileserver.
std::string DefaultCacheDir();

}  // namespace tileserver

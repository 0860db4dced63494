// A tile source as a user writes it: "mbtiles:FILE" (an MBTiles file, read only, offline) or
// "upstream:TEMPLATE" (a tile service, http:// or https:// with {z}, {x}, {y} and optionally {s}),
// and the opening of such a source with the settings it needs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tilesources/TileSource.h"

namespace tilesources {

enum class SourceKind {
  Word,     // the caller's own source, named by one word ("default", "synthetic")
  MBTiles,  // mbtiles:FILE
  Upstream  // upstream:TEMPLATE
};

struct SourceChoice {
  SourceKind kind = SourceKind::Word;
  std::string argument;  // the file or the template; empty for a word
  std::string text;      // as written
};

struct SourceChoiceParse {
  std::optional<SourceChoice> choice;
  std::string error;  // one line, when there is no choice
};

// Checks the form only (a template's placeholders, a file name given); files are opened later.
// `ownWord` names the caller's own source (kind Word); what it means is the caller's to say.
SourceChoiceParse ParseSourceChoice(std::string_view text, std::string_view ownWord);

// What one upstream's disk cache file may hold before its least recently used tiles are removed.
inline constexpr int64_t kDefaultCacheMaxBytes = int64_t{256} << 20;
// A program without a window to keep answering may check a whole file at start for this long.
inline constexpr int kWholeFileCheckMs = 5000;

struct SourceSettings {
  std::string program = "orvan-tileserver";  // names the program in the User-Agent and the cache
  std::optional<int> maxAgeSeconds;          // Cache-Control on the answers of a file source
  std::string contact;                       // goes into the upstream User-Agent; required for upstreams
  int upstreamConnections = 2;  // per host on HTTP/1.1; HTTP/2 uses one
  // Whether upstream requests honour http_proxy, https_proxy and no_proxy of the environment.
  bool useProxyEnvironment = true;
  // PEM file of the certificates upstreams are verified against; empty: $ORVAN_TILE_CA_FILE, or
  // when that is unset the system's CA store.
  std::string caFile;
  std::string cacheDir;  // where upstream disk caches live; empty: DefaultCacheDir()
  int64_t cacheMaxBytes = kDefaultCacheMaxBytes;  // the bound of each upstream's disk cache file
  // How long opening may spend checking a whole file (an MBTiles file, an upstream's disk cache)
  // before it reads the file unchecked: a caller on a GUI thread gives it about a frame.
  int wholeFileCheckMs = kWholeFileCheckMs;
};

struct OpenedSource {
  std::unique_ptr<TileSource> source;
  std::string error;  // one line, when there is no source
  std::string note;   // one line, when the source works in a lesser way (an upstream without its disk cache)
};

// Opens an MBTiles or upstream source: reads and checks an MBTiles file (bounded in time), or opens
// an upstream's disk cache (<cacheDir>/upstream-<hash of the template>.mbtiles, the folder made if
// missing; bounded in time too). An upstream whose cache folder or file cannot be made or opened
// (not writable, a file in the folder's place, a damaged file, no home folder) works without a
// disk cache: its source is opened with `note` saying so, and its Describe() says so too. A word
// is refused.
OpenedSource OpenSource(const SourceChoice& choice, const SourceSettings& settings);

// The User-Agent of upstream requests: program, version and contact.
std::string UpstreamUserAgent(const std::string& program, const std::string& contact);

// The text with every run of line breaks, tabs and other control characters made one space:
// what SQLite reports may span lines, and an error shown to a user is one line.
std::string OneLine(std::string_view text);

// The folder shared by every process of the user for upstream caches: $XDG_CACHE_HOME or
// ~/.cache, then orvanmap.
std::string DefaultCacheDir();

}  // namespace tilesources

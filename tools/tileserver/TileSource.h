// Where tile images come from: the synthetic tiles drawn here, an MBTiles file, or an upstream
// tile service behind a disk cache. One source is chosen for each of the two tile domains at
// start; a request's column, row and level are looked up in it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/tileserver/TileAddress.h"

namespace tileserver {

// A source's answer for one tile: the image, or the status that stands for its absence.
struct SourcedTile {
  int status = 200;
  std::string what = "tile";  // the outcome word for the log: tile, missing, cached, revalidated, ...
  std::string contentType = "image/png";
  std::shared_ptr<const std::string> body;                   // the image; a short text for any other status
  std::string etag;                                          // quoted entity tag of the image; empty: none
  int64_t lastModifiedMs = -1;                               // milliseconds since the epoch; -1: unknown
  std::vector<std::pair<std::string, std::string>> headers;  // e.g. Cache-Control, Retry-After

  static SourcedTile Text(int status, std::string what, const std::string& text);
};

class TileSource {
 public:
  virtual ~TileSource() = default;
  virtual SourcedTile Fetch(const TileKey& key) = 0;
  // One line for the start-up output: the kind of source and what was read of it.
  virtual std::string Describe() const = 0;
};

// The source for each kind of host; hosts of neither domain get the world source.
struct TileSources {
  TileSource* world = nullptr;
  TileSource* regional = nullptr;

  TileSource& For(HostKind kind) const { return kind == HostKind::Regional ? *regional : *world; }
};

}  // namespace tileserver

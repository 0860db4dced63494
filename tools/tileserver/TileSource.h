// Where the server's tile images come from: the synthetic tiles drawn here, or a source of the
// tile-source library (an MBTiles file, an upstream tile service behind a disk cache). One source
// is chosen for each of the two tile domains at start; a request's host, column, row and level
// are looked up in it.
#pragma once

#include <memory>
#include <string>

#include "tilesources/TileSource.h"
#include "tools/tileserver/TileAddress.h"

namespace tileserver {

using tilesources::SourcedTile;

class TileSource {
 public:
  virtual ~TileSource() = default;
  virtual SourcedTile Fetch(const TileKey& key) = 0;
  // One line for the start-up output: the kind of source and what was read of it.
  virtual std::string Describe() const = 0;
};

// A source of the library, which knows tile positions only.
class LibraryTileSource final : public TileSource {
 public:
  explicit LibraryTileSource(std::unique_ptr<tilesources::TileSource> source) : source_(std::move(source)) {}
  SourcedTile Fetch(const TileKey& key) override { return source_->Fetch({key.x, key.y, key.z}); }
  std::string Describe() const override { return source_->Describe(); }

 private:
  std::unique_ptr<tilesources::TileSource> source_;
};

// The source for each kind of host; hosts of neither domain get the world source.
struct TileSources {
  TileSource* world = nullptr;
  TileSource* regional = nullptr;

  TileSource& For(HostKind kind) const { return kind == HostKind::Regional ? *regional : *world; }
};

}  // namespace tileserver

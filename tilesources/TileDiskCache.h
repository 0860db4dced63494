// The disk cache of an upstream's tiles: an MBTiles file of our own (metadata, tiles in TMS rows)
// with one more table, tile_freshness, holding for each tile its content type, the upstream's
// validators (ETag, Last-Modified) and until when it is fresh. A tile and its freshness are
// written in one transaction, so a server killed in the middle of a write leaves either the old
// tile or the new one, never half of one. The file is in WAL mode: readers do not wait for the
// writer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "tilesources/SqlitePool.h"

namespace tilesources {

struct CachedTile {
  std::shared_ptr<const std::string> bytes;
  std::string contentType;
  std::string etag;          // the upstream's, as sent; empty: none
  std::string lastModified;  // the upstream's, as sent; empty: none
  int64_t freshUntilMs = 0;  // wall-clock milliseconds since the epoch
};

class TileDiskCache {
 public:
  struct OpenResult {
    std::unique_ptr<TileDiskCache> cache;
    std::string error;
  };
  // Opens the file, or makes it. `description` goes into a new file's metadata.
  static OpenResult Open(const std::string& path, const std::string& description);

  // Rows are counted from the north, as in tile URLs. nullopt: not cached (or unreadable: `error`).
  std::optional<CachedTile> Get(int32_t z, int32_t x, int32_t y, std::string* error = nullptr);
  // Stores the tile and its freshness together; false with `error` when it could not.
  bool Put(int32_t z, int32_t x, int32_t y, const CachedTile& tile, std::string* error = nullptr);
  // After a 304: the stored tile is fresh again until `freshUntilMs`; new validators replace old.
  bool Refresh(int32_t z, int32_t x, int32_t y, int64_t freshUntilMs, const std::string& etag,
               const std::string& lastModified, std::string* error = nullptr);

  const std::string& Path() const { return path_; }

 private:
  explicit TileDiskCache(std::string path);
  // Runs body(connection) as the only writer; false with `error` when it returns false.
  template <typename Body>
  bool Write(std::string* error, Body body);

  const std::string path_;
  SqlitePool pool_;
  std::mutex writeMutex_;  // one writer at a time, rather than writers waiting on SQLite's lock
};

}  // namespace tilesources

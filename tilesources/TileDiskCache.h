// The disk cache of an upstream's tiles: an MBTiles file of our own (metadata, tiles in TMS rows)
// with more tables: tile_freshness, holding for each tile its content type, the upstream's
// validators (ETag, Last-Modified), until when it is fresh, when it was last used and what it
// costs, and cache_size, the running total of those costs. A tile, its freshness and the total are
// written in one transaction, so a process killed in the middle of a write leaves either the old
// tile or the new one, never half of one, and a failed write (a full disk) leaves the file as it
// was. The file is in WAL mode: readers do not wait for the writer.
//
// The file is shared by every process of the user that uses the same upstream, so each write is
// an IMMEDIATE transaction that waits a bounded time for another process's lock, and the total it
// updates is read inside that transaction.
//
// The file is bounded: once the total passes the bound, the least recently used tiles are removed,
// in the transaction that passed it, until the total is an eighth below the bound (so removals come
// in batches, not at every write). A read never writes: it notes the tiles it found whose last use
// is older than kTouchIntervalSeconds, and the next write (or a batch of kTouchBatch such notes)
// records them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
  // What a tile costs besides its bytes: its freshness row and index entries, roughly.
  static constexpr int64_t kRowOverheadBytes = 128;
  // A tile's last use is recorded at most this often.
  static constexpr int64_t kTouchIntervalSeconds = 60;
  // Reads noted as uses are recorded by a write of their own once this many wait.
  static constexpr size_t kTouchBatch = 64;
  static constexpr size_t kMaxPendingTouches = 4096;
  // Time limits, including any wait for another process's lock: opening (the whole-file check
  // that runs out of time only leaves the file unchecked), a read, a write.
  static constexpr int kCheckLimitMs = 500;
  static constexpr int kOpenLimitMs = 1000;
  static constexpr int kReadLimitMs = 1000;
  static constexpr int kWriteLimitMs = 2000;
  // Recording the waiting uses when the cache closes, which may be on a GUI thread: uses are
  // hints, so a busy file loses them rather than holding that thread.
  static constexpr int kCloseLimitMs = 20;

  struct OpenResult {
    std::unique_ptr<TileDiskCache> cache;
    std::string error;
  };
  // Opens the file, or makes it (older files of this kind gain the new columns). `description` goes
  // into a new file's metadata; `maxBytes` bounds what this process keeps in it.
  // The whole-file check of an existing file stops after `checkLimitMs`, leaving it unchecked.
  static OpenResult Open(const std::string& path, const std::string& description, int64_t maxBytes,
                         int checkLimitMs = kCheckLimitMs);
  ~TileDiskCache();  // records the uses still waiting, within kCloseLimitMs

  // Rows are counted from the north, as in tile URLs. nullopt: not cached (or unreadable: `error`).
  std::optional<CachedTile> Get(int32_t z, int32_t x, int32_t y, std::string* error = nullptr);
  // Stores the tile and its freshness together, then removes the least recently used tiles if the
  // file has grown past its bound; false with `error` when it could not (the file is unchanged).
  bool Put(int32_t z, int32_t x, int32_t y, const CachedTile& tile, std::string* error = nullptr);
  // After a 304: the stored tile is fresh again until `freshUntilMs`; new validators replace old.
  bool Refresh(int32_t z, int32_t x, int32_t y, int64_t freshUntilMs, const std::string& etag,
               const std::string& lastModified, std::string* error = nullptr);

  const std::string& Path() const { return path_; }
  int64_t MaxBytes() const { return maxBytes_; }
  // The running total of the file's tiles (bytes and overhead), as stored.
  std::optional<int64_t> StoredBytes();

 private:
  struct Touch {
    int32_t z, x, y;
  };
  TileDiskCache(std::string path, int64_t maxBytes);
  // Runs body(connection) as this object's only writer within `limitMs`; false with `error` when
  // it returns false.
  template <typename Body>
  bool Write(std::string* error, int limitMs, Body body);
  // Records the waiting uses on `db`, inside the caller's transaction.
  bool RecordTouches(SqliteConnection& db, const std::vector<Touch>& touches);
  std::vector<Touch> TakeTouches();
  void FlushTouches(int limitMs);
  // Inside a write transaction: removes least recently used tiles until the total is below the
  // bound's low mark, when it is above the bound.
  bool Evict(SqliteConnection& db);

  const std::string path_;
  const int64_t maxBytes_;
  SqlitePool pool_;
  std::mutex writeMutex_;  // one writer at a time, rather than writers waiting on SQLite's lock
  std::mutex touchMutex_;
  std::vector<Touch> touches_;
};

}  // namespace tilesources

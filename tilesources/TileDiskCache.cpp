#include "tilesources/TileDiskCache.h"

#include <sys/stat.h>

#include "tilesources/HttpFreshness.h"
#include "tilesources/MBTilesReader.h"
#include "tilesources/TileImageFormat.h"

namespace tilesources {
namespace {

enum Statement : size_t {
  kSelect,
  kPutTile,
  kPutFreshness,
  kRefresh,
  kBegin,
  kCommit,
  kRollback,
  kSetFormat,
  kStoredBytesOf,
  kAddToTotal,
  kTotal,
  kLeastRecentlyUsed,
  kDeleteTile,
  kDeleteFreshness,
  kTouch,
};

// WAL survives a killed process as well as the default journal, and lets readers go on while a
// tile is written; NORMAL syncs at checkpoints rather than at every tile.
const char* const kConnectionSetup = "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;";

const char* const kSchema = R"(
CREATE TABLE IF NOT EXISTS metadata (name TEXT, value TEXT);
CREATE UNIQUE INDEX IF NOT EXISTS metadata_name ON metadata (name);
CREATE TABLE IF NOT EXISTS tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);
CREATE UNIQUE INDEX IF NOT EXISTS tile_index ON tiles (zoom_level, tile_column, tile_row);
CREATE TABLE IF NOT EXISTS tile_freshness (
  zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER,
  content_type TEXT NOT NULL, etag TEXT NOT NULL, last_modified TEXT NOT NULL, fresh_until_ms INTEGER NOT NULL,
  last_used INTEGER NOT NULL DEFAULT 0, stored_bytes INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (zoom_level, tile_column, tile_row)) WITHOUT ROWID;
)";

// Files made before tiles had a last use and a cost gain both; each tile costs what it holds.
std::string AddUseColumns() {
  return R"(
ALTER TABLE tile_freshness ADD COLUMN last_used INTEGER NOT NULL DEFAULT 0;
ALTER TABLE tile_freshness ADD COLUMN stored_bytes INTEGER NOT NULL DEFAULT 0;
UPDATE tile_freshness SET stored_bytes = )" +
         std::to_string(TileDiskCache::kRowOverheadBytes) + R"( + coalesce(
  (SELECT length(t.tile_data) FROM tiles t WHERE t.zoom_level = tile_freshness.zoom_level
     AND t.tile_column = tile_freshness.tile_column AND t.tile_row = tile_freshness.tile_row), 0);
)";
}

const char* const kSizeSchema = R"(
CREATE INDEX IF NOT EXISTS tile_freshness_use ON tile_freshness (last_used);
CREATE TABLE IF NOT EXISTS cache_size (id INTEGER PRIMARY KEY CHECK (id = 0), total_bytes INTEGER NOT NULL);
INSERT OR IGNORE INTO cache_size VALUES (0, (SELECT coalesce(sum(stored_bytes), 0) FROM tile_freshness));
)";

const std::vector<std::string> kStatements = {
    "SELECT t.tile_data, f.content_type, f.etag, f.last_modified, f.fresh_until_ms, f.last_used"
    " FROM tiles t JOIN tile_freshness f"
    " ON f.zoom_level = t.zoom_level AND f.tile_column = t.tile_column AND f.tile_row = t.tile_row"
    " WHERE t.zoom_level = ?1 AND t.tile_column = ?2 AND t.tile_row = ?3",
    "INSERT OR REPLACE INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?1, ?2, ?3, ?4)",
    "INSERT OR REPLACE INTO tile_freshness (zoom_level, tile_column, tile_row, content_type, etag, last_modified,"
    " fresh_until_ms, last_used, stored_bytes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
    "UPDATE tile_freshness SET fresh_until_ms = ?4, etag = ?5, last_modified = ?6, last_used = max(last_used, ?7)"
    " WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "INSERT OR IGNORE INTO metadata (name, value) VALUES ('format', ?1)",
    "SELECT stored_bytes FROM tile_freshness WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
    "UPDATE cache_size SET total_bytes = total_bytes + ?1",
    "SELECT total_bytes FROM cache_size",
    "SELECT zoom_level, tile_column, tile_row, stored_bytes FROM tile_freshness ORDER BY last_used",
    "DELETE FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
    "DELETE FROM tile_freshness WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
    "UPDATE tile_freshness SET last_used = ?4"
    " WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3 AND last_used < ?4",
};

int64_t TmsRow(int32_t z, int32_t y) { return (int64_t{1} << z) - 1 - y; }

int64_t NowSeconds() { return WallClockMs() / 1000; }

void BindPosition(sqlite3_stmt* s, int32_t z, int32_t x, int32_t y) {
  sqlite3_bind_int(s, 1, z);
  sqlite3_bind_int(s, 2, x);
  sqlite3_bind_int64(s, 3, TmsRow(z, y));
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

std::string Text(sqlite3_stmt* s, int i) {
  const unsigned char* text = sqlite3_column_text(s, i);
  return text ? std::string(reinterpret_cast<const char*>(text), size_t(sqlite3_column_bytes(s, i))) : "";
}

// Steps a statement that returns no rows; true when it ran.
bool Run(sqlite3_stmt* s) {
  const int code = sqlite3_step(s);
  sqlite3_reset(s);
  return code == SQLITE_DONE;
}

// The single integer a statement returns; nullopt when it returns no row or fails.
std::optional<int64_t> Integer(sqlite3_stmt* s) {
  std::optional<int64_t> value;
  if (sqlite3_step(s) == SQLITE_ROW) value = sqlite3_column_int64(s, 0);
  sqlite3_reset(s);
  return value;
}

void Tell(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what;
}

bool HasColumn(sqlite3* db, const char* table, const char* column) {
  sqlite3_stmt* info = nullptr;
  bool found = false;
  const std::string sql = std::string("PRAGMA table_info(") + table + ")";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &info, nullptr) == SQLITE_OK)
    while (!found && sqlite3_step(info) == SQLITE_ROW) found = Text(info, 1) == column;
  sqlite3_finalize(info);
  return found;
}

// The schema, a migration of an older file and the metadata, in one transaction; the error text or empty.
std::string SetUp(sqlite3* db, const std::string& description) {
  std::string error = SqliteExec(db, kConnectionSetup);
  if (error.empty()) error = SqliteExec(db, "BEGIN IMMEDIATE");
  if (!error.empty()) return error;
  error = SqliteExec(db, kSchema);
  if (error.empty() && !HasColumn(db, "tile_freshness", "last_used")) error = SqliteExec(db, AddUseColumns().c_str());
  if (error.empty()) error = SqliteExec(db, kSizeSchema);
  if (error.empty()) {
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO metadata (name, value) VALUES (?1, ?2)", -1, &insert, nullptr) !=
        SQLITE_OK)
      error = sqlite3_errmsg(db);
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"name", "tile cache"},
                                      {"description", description},
                                      {"type", "baselayer"},
                                      {"version", "1"}}) {
      if (!error.empty()) break;
      BindText(insert, 1, name);
      BindText(insert, 2, value);
      if (!Run(insert)) error = sqlite3_errmsg(db);
    }
    sqlite3_finalize(insert);
  }
  if (error.empty()) error = SqliteExec(db, "COMMIT");
  if (!error.empty()) SqliteExec(db, "ROLLBACK");
  return error;
}

}  // namespace

TileDiskCache::TileDiskCache(std::string path, int64_t maxBytes)
    : path_(std::move(path)),
      maxBytes_(maxBytes),
      pool_(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kStatements, kConnectionSetup) {}

TileDiskCache::~TileDiskCache() { FlushTouches(kCloseLimitMs); }

TileDiskCache::OpenResult TileDiskCache::Open(const std::string& path, const std::string& description,
                                              int64_t maxBytes, int checkLimitMs) {
  OpenResult result;
  struct stat info {};
  const bool existed = ::stat(path.c_str(), &info) == 0;
  std::string error;
  {
    // Schema first, on a connection of its own: the pool's statements need the tables.
    SqlitePool setup(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, {});
    SqlitePool::Lease db = setup.Acquire(&error);
    if (!db) {
      result.error = path + ": cannot open: " + error;
      return result;
    }
    if (existed && info.st_size <= MBTilesReader::kMaxCheckedBytes) {
      // A check that runs out of time leaves the file unchecked: damage found later fails the
      // reads and writes it touches, and each of those is bounded in time too.
      db->SetTimeLimit(checkLimitMs);
      std::string verdict = "no answer";
      sqlite3_stmt* check = nullptr;
      if (sqlite3_prepare_v2(db->db(), "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
          sqlite3_step(check) == SQLITE_ROW) {
        verdict = Text(check, 0);
      } else {
        verdict = db->OutOfTime() ? "ok" : sqlite3_errmsg(db->db());
      }
      sqlite3_finalize(check);
      if (verdict != "ok") {
        result.error = path + ": the cache file is damaged (" + verdict + "); remove it to start an empty cache";
        return result;
      }
    }
    db->SetTimeLimit(kOpenLimitMs);
    error = SetUp(db->db(), description);
    if (!error.empty()) {
      if (db->OutOfTime())
        error = "another program held it for more than " + std::to_string(kOpenLimitMs) + " ms";
      result.error = path + ": not a tile cache this program can use (" + error + ")";
      return result;
    }
  }
  std::unique_ptr<TileDiskCache> cache(new TileDiskCache(path, maxBytes));
  if (!cache->pool_.Acquire(&error)) {
    result.error = path + ": not a tile cache this program can use (" + error + ")";
    return result;
  }
  result.cache = std::move(cache);
  return result;
}

std::optional<CachedTile> TileDiskCache::Get(int32_t z, int32_t x, int32_t y, std::string* error) {
  CachedTile tile;
  bool touched = false;
  {
    std::string problem;
    SqlitePool::Lease db = pool_.Acquire(&problem);
    if (!db) {
      Tell(error, problem);
      return std::nullopt;
    }
    db->SetTimeLimit(kReadLimitMs);
    sqlite3_stmt* select = db->Statement(kSelect);
    BindPosition(select, z, x, y);
    const int code = sqlite3_step(select);
    if (code != SQLITE_ROW) {
      if (code != SQLITE_DONE) Tell(error, sqlite3_errmsg(db->db()));
      sqlite3_reset(select);
      return std::nullopt;
    }
    const void* blob = sqlite3_column_blob(select, 0);
    tile.bytes = std::make_shared<const std::string>(blob ? static_cast<const char*>(blob) : "",
                                                     size_t(sqlite3_column_bytes(select, 0)));
    tile.contentType = Text(select, 1);
    tile.etag = Text(select, 2);
    tile.lastModified = Text(select, 3);
    tile.freshUntilMs = sqlite3_column_int64(select, 4);
    touched = NowSeconds() - sqlite3_column_int64(select, 5) >= kTouchIntervalSeconds;
    sqlite3_reset(select);
  }
  if (touched) {
    bool batchFull;
    {
      std::lock_guard<std::mutex> lock(touchMutex_);
      if (touches_.size() < kMaxPendingTouches) touches_.push_back({z, x, y});
      batchFull = touches_.size() >= kTouchBatch;
    }
    if (batchFull) FlushTouches(kWriteLimitMs);
  }
  return tile;
}

std::vector<TileDiskCache::Touch> TileDiskCache::TakeTouches() {
  std::lock_guard<std::mutex> lock(touchMutex_);
  std::vector<Touch> taken;
  taken.swap(touches_);
  return taken;
}

bool TileDiskCache::RecordTouches(SqliteConnection& db, const std::vector<Touch>& touches) {
  const int64_t now = NowSeconds();
  for (const Touch& t : touches) {
    sqlite3_stmt* touch = db.Statement(kTouch);
    BindPosition(touch, t.z, t.x, t.y);
    sqlite3_bind_int64(touch, 4, now);
    if (!Run(touch)) return false;
  }
  return true;
}

// Uses are hints: a batch that cannot be written (a busy or full file) is dropped.
void TileDiskCache::FlushTouches(int limitMs) {
  const std::vector<Touch> touches = TakeTouches();
  if (touches.empty()) return;
  Write(nullptr, limitMs, [&](SqliteConnection& db) {
    return Run(db.Statement(kBegin)) && RecordTouches(db, touches) && Run(db.Statement(kCommit));
  });
}

bool TileDiskCache::Evict(SqliteConnection& db) {
  const std::optional<int64_t> total = Integer(db.Statement(kTotal));
  if (!total) return false;
  if (*total <= maxBytes_) return true;
  const int64_t excess = *total - (maxBytes_ - maxBytes_ / 8);
  struct Victim {
    int64_t z, x, row;
  };
  std::vector<Victim> victims;
  int64_t freed = 0;
  sqlite3_stmt* oldest = db.Statement(kLeastRecentlyUsed);
  int code = SQLITE_ROW;
  while (freed < excess && (code = sqlite3_step(oldest)) == SQLITE_ROW) {
    victims.push_back({sqlite3_column_int64(oldest, 0), sqlite3_column_int64(oldest, 1), sqlite3_column_int64(oldest, 2)});
    freed += sqlite3_column_int64(oldest, 3);
  }
  sqlite3_reset(oldest);
  if (code != SQLITE_ROW && code != SQLITE_DONE) return false;
  for (const Victim& v : victims) {
    for (const Statement which : {kDeleteTile, kDeleteFreshness}) {
      sqlite3_stmt* remove = db.Statement(which);
      sqlite3_bind_int64(remove, 1, v.z);
      sqlite3_bind_int64(remove, 2, v.x);
      sqlite3_bind_int64(remove, 3, v.row);
      if (!Run(remove)) return false;
    }
  }
  sqlite3_stmt* add = db.Statement(kAddToTotal);
  sqlite3_bind_int64(add, 1, -freed);
  return Run(add);
}

template <typename Body>
bool TileDiskCache::Write(std::string* error, int limitMs, Body body) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  std::string problem;
  SqlitePool::Lease db = pool_.Acquire(&problem);
  if (!db) {
    Tell(error, problem);
    return false;
  }
  db->SetTimeLimit(limitMs);
  if (body(*db)) return true;
  // What failed, before the roll-back replaces SQLite's message with its own.
  problem = db->OutOfTime() ? "the cache file was busy for more than " + std::to_string(limitMs) + " ms"
                            : sqlite3_errmsg(db->db());
  db->SetTimeLimit(0);  // the roll-back itself must not be stopped
  if (!sqlite3_get_autocommit(db->db())) Run(db->Statement(kRollback));
  Tell(error, problem);
  return false;
}

bool TileDiskCache::Put(int32_t z, int32_t x, int32_t y, const CachedTile& tile, std::string* error) {
  const std::vector<Touch> touches = TakeTouches();
  return Write(error, kWriteLimitMs, [&](SqliteConnection& db) {
    if (!Run(db.Statement(kBegin))) return false;
    if (!RecordTouches(db, touches)) return false;
    sqlite3_stmt* oldSize = db.Statement(kStoredBytesOf);
    BindPosition(oldSize, z, x, y);
    const int64_t replaced = Integer(oldSize).value_or(0);
    const int64_t cost = static_cast<int64_t>(tile.bytes->size()) + kRowOverheadBytes;
    sqlite3_stmt* putTile = db.Statement(kPutTile);
    BindPosition(putTile, z, x, y);
    sqlite3_bind_blob(putTile, 4, tile.bytes->data(), static_cast<int>(tile.bytes->size()), SQLITE_STATIC);
    sqlite3_stmt* putFreshness = db.Statement(kPutFreshness);
    BindPosition(putFreshness, z, x, y);
    BindText(putFreshness, 4, tile.contentType);
    BindText(putFreshness, 5, tile.etag);
    BindText(putFreshness, 6, tile.lastModified);
    sqlite3_bind_int64(putFreshness, 7, tile.freshUntilMs);
    sqlite3_bind_int64(putFreshness, 8, NowSeconds());
    sqlite3_bind_int64(putFreshness, 9, cost);
    sqlite3_stmt* setFormat = db.Statement(kSetFormat);
    const std::optional<TileImageFormat> format = SniffTileImage(*tile.bytes);
    const std::string formatName = format ? FormatName(*format) : "png";
    BindText(setFormat, 1, formatName);
    sqlite3_stmt* add = db.Statement(kAddToTotal);
    sqlite3_bind_int64(add, 1, cost - replaced);
    return Run(putTile) && Run(putFreshness) && Run(setFormat) && Run(add) && Evict(db) && Run(db.Statement(kCommit));
  });
}

bool TileDiskCache::Refresh(int32_t z, int32_t x, int32_t y, int64_t freshUntilMs, const std::string& etag,
                            const std::string& lastModified, std::string* error) {
  return Write(error, kWriteLimitMs, [&](SqliteConnection& db) {
    sqlite3_stmt* refresh = db.Statement(kRefresh);
    BindPosition(refresh, z, x, y);
    sqlite3_bind_int64(refresh, 4, freshUntilMs);
    BindText(refresh, 5, etag);
    BindText(refresh, 6, lastModified);
    sqlite3_bind_int64(refresh, 7, NowSeconds());
    return Run(refresh);
  });
}

std::optional<int64_t> TileDiskCache::StoredBytes() {
  SqlitePool::Lease db = pool_.Acquire();
  if (!db) return std::nullopt;
  db->SetTimeLimit(kReadLimitMs);
  return Integer(db->Statement(kTotal));
}

}  // namespace tilesources

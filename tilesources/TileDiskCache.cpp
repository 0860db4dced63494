#include "tilesources/TileDiskCache.h"

#include <sys/stat.h>

#include "tilesources/MBTilesReader.h"
#include "tilesources/TileImageFormat.h"

namespace tilesources {
namespace {

enum Statement : size_t { kSelect, kPutTile, kPutFreshness, kRefresh, kBegin, kCommit, kRollback, kSetFormat };

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
  PRIMARY KEY (zoom_level, tile_column, tile_row)) WITHOUT ROWID;
)";

const std::vector<std::string> kStatements = {
    "SELECT t.tile_data, f.content_type, f.etag, f.last_modified, f.fresh_until_ms FROM tiles t JOIN tile_freshness f"
    " ON f.zoom_level = t.zoom_level AND f.tile_column = t.tile_column AND f.tile_row = t.tile_row"
    " WHERE t.zoom_level = ?1 AND t.tile_column = ?2 AND t.tile_row = ?3",
    "INSERT OR REPLACE INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?1, ?2, ?3, ?4)",
    "INSERT OR REPLACE INTO tile_freshness VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
    "UPDATE tile_freshness SET fresh_until_ms = ?4, etag = ?5, last_modified = ?6"
    " WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "INSERT OR IGNORE INTO metadata (name, value) VALUES ('format', ?1)",
};

int64_t TmsRow(int32_t z, int32_t y) { return (int64_t{1} << z) - 1 - y; }

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

void Tell(std::string* error, const std::string& what) {
  if (error != nullptr) *error = what;
}

}  // namespace

TileDiskCache::TileDiskCache(std::string path)
    : path_(std::move(path)), pool_(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kStatements, kConnectionSetup) {}

TileDiskCache::OpenResult TileDiskCache::Open(const std::string& path, const std::string& description) {
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
      std::string verdict = "no answer";
      sqlite3_stmt* check = nullptr;
      if (sqlite3_prepare_v2(db->db(), "PRAGMA quick_check(1)", -1, &check, nullptr) == SQLITE_OK &&
          sqlite3_step(check) == SQLITE_ROW) {
        verdict = Text(check, 0);
      } else {
        verdict = sqlite3_errmsg(db->db());
      }
      sqlite3_finalize(check);
      if (verdict != "ok") {
        result.error = path + ": the cache file is damaged (" + verdict + "); remove it to start an empty cache";
        return result;
      }
    }
    error = SqliteExec(db->db(), kConnectionSetup);
    if (error.empty()) error = SqliteExec(db->db(), kSchema);
    if (error.empty()) {
      sqlite3_stmt* insert = nullptr;
      sqlite3_prepare_v2(db->db(), "INSERT OR IGNORE INTO metadata (name, value) VALUES (?1, ?2)", -1, &insert,
                         nullptr);
      for (const auto& [name, value] : {std::pair<std::string, std::string>{"name", "tile cache"},
                                        {"description", description},
                                        {"type", "baselayer"},
                                        {"version", "1"}}) {
        BindText(insert, 1, name);
        BindText(insert, 2, value);
        if (!Run(insert)) error = sqlite3_errmsg(db->db());
      }
      sqlite3_finalize(insert);
    }
    if (!error.empty()) {
      result.error = path + ": not a tile cache this server can use (" + error + ")";
      return result;
    }
  }
  std::unique_ptr<TileDiskCache> cache(new TileDiskCache(path));
  if (!cache->pool_.Acquire(&error)) {
    result.error = path + ": not a tile cache this server can use (" + error + ")";
    return result;
  }
  result.cache = std::move(cache);
  return result;
}

std::optional<CachedTile> TileDiskCache::Get(int32_t z, int32_t x, int32_t y, std::string* error) {
  std::string problem;
  SqlitePool::Lease db = pool_.Acquire(&problem);
  if (!db) {
    Tell(error, problem);
    return std::nullopt;
  }
  sqlite3_stmt* select = db->Statement(kSelect);
  BindPosition(select, z, x, y);
  const int code = sqlite3_step(select);
  if (code != SQLITE_ROW) {
    if (code != SQLITE_DONE) Tell(error, sqlite3_errmsg(db->db()));
    sqlite3_reset(select);
    return std::nullopt;
  }
  CachedTile tile;
  const void* blob = sqlite3_column_blob(select, 0);
  tile.bytes = std::make_shared<const std::string>(blob ? static_cast<const char*>(blob) : "",
                                                   size_t(sqlite3_column_bytes(select, 0)));
  tile.contentType = Text(select, 1);
  tile.etag = Text(select, 2);
  tile.lastModified = Text(select, 3);
  tile.freshUntilMs = sqlite3_column_int64(select, 4);
  sqlite3_reset(select);
  return tile;
}

template <typename Body>
bool TileDiskCache::Write(std::string* error, Body body) {
  std::lock_guard<std::mutex> lock(writeMutex_);
  std::string problem;
  SqlitePool::Lease db = pool_.Acquire(&problem);
  if (!db) {
    Tell(error, problem);
    return false;
  }
  if (body(*db)) return true;
  Tell(error, sqlite3_errmsg(db->db()));
  return false;
}

bool TileDiskCache::Put(int32_t z, int32_t x, int32_t y, const CachedTile& tile, std::string* error) {
  return Write(error, [&](SqliteConnection& db) {
    if (!Run(db.Statement(kBegin))) return false;
    sqlite3_stmt* putTile = db.Statement(kPutTile);
    BindPosition(putTile, z, x, y);
    sqlite3_bind_blob(putTile, 4, tile.bytes->data(), static_cast<int>(tile.bytes->size()), SQLITE_STATIC);
    sqlite3_stmt* putFreshness = db.Statement(kPutFreshness);
    BindPosition(putFreshness, z, x, y);
    BindText(putFreshness, 4, tile.contentType);
    BindText(putFreshness, 5, tile.etag);
    BindText(putFreshness, 6, tile.lastModified);
    sqlite3_bind_int64(putFreshness, 7, tile.freshUntilMs);
    sqlite3_stmt* setFormat = db.Statement(kSetFormat);
    const std::optional<TileImageFormat> format = SniffTileImage(*tile.bytes);
    const std::string formatName = format ? FormatName(*format) : "png";
    BindText(setFormat, 1, formatName);
    if (Run(putTile) && Run(putFreshness) && Run(setFormat) && Run(db.Statement(kCommit))) return true;
    Run(db.Statement(kRollback));
    return false;
  });
}

bool TileDiskCache::Refresh(int32_t z, int32_t x, int32_t y, int64_t freshUntilMs, const std::string& etag,
                            const std::string& lastModified, std::string* error) {
  return Write(error, [&](SqliteConnection& db) {
    sqlite3_stmt* refresh = db.Statement(kRefresh);
    BindPosition(refresh, z, x, y);
    sqlite3_bind_int64(refresh, 4, freshUntilMs);
    BindText(refresh, 5, etag);
    BindText(refresh, 6, lastModified);
    return Run(refresh);
  });
}

}  // namespace tilesources

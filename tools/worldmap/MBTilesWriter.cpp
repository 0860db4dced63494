#include "tools/worldmap/MBTilesWriter.h"

#include <unistd.h>

#include <cerrno>

namespace worldmap {
namespace {

const char* const kSchema =
    "CREATE TABLE metadata (name TEXT, value TEXT);"
    "CREATE UNIQUE INDEX name ON metadata (name);"
    "CREATE TABLE images (tile_id INTEGER PRIMARY KEY, tile_data BLOB);"
    "CREATE TABLE map (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_id INTEGER);"
    "CREATE UNIQUE INDEX map_index ON map (zoom_level, tile_column, tile_row);";

const char* const kTilesView =
    "CREATE VIEW tiles AS SELECT map.zoom_level AS zoom_level, map.tile_column AS tile_column,"
    " map.tile_row AS tile_row, images.tile_data AS tile_data"
    " FROM map JOIN images ON images.tile_id = map.tile_id;";

}  // namespace

MBTilesWriter::~MBTilesWriter() { Close(); }

void MBTilesWriter::Close() {
  sqlite3_finalize(metadata_);
  sqlite3_finalize(image_);
  sqlite3_finalize(map_);
  metadata_ = image_ = map_ = nullptr;
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
}

bool MBTilesWriter::Fail(const char* what) {
  error_ = std::string(what) + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
  Close();
  return false;
}

bool MBTilesWriter::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error_ = message != nullptr ? message : "SQLite failed";
  sqlite3_free(message);
  Close();
  return false;
}

bool MBTilesWriter::Create(const std::string& path) {
  Close();
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    error_ = "cannot remove the old " + path;
    return false;
  }
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    return Fail(("creating " + path).c_str());
  }
  // A new file written whole: no journal to keep, nothing to sync until the end.
  if (!Exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN;") || !Exec(kSchema)) return false;
  if (sqlite3_prepare_v2(db_, "INSERT INTO metadata (name, value) VALUES (?1, ?2)", -1, &metadata_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, "INSERT INTO images (tile_id, tile_data) VALUES (?1, ?2)", -1, &image_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, "INSERT INTO map (zoom_level, tile_column, tile_row, tile_id) VALUES (?1, ?2, ?3, ?4)", -1,
                         &map_, nullptr) != SQLITE_OK) {
    return Fail("preparing the inserts");
  }
  return true;
}

bool MBTilesWriter::Metadata(const std::string& name, const std::string& value) {
  if (db_ == nullptr) return false;
  sqlite3_bind_text(metadata_, 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(metadata_, 2, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  const bool ok = sqlite3_step(metadata_) == SQLITE_DONE;
  sqlite3_reset(metadata_);
  return ok || Fail("writing the metadata");
}

bool MBTilesWriter::Tile(int zoom, int x, int y, const std::string& png) {
  if (db_ == nullptr) return false;
  auto [image, added] = images_.emplace(png, static_cast<int>(images_.size()) + 1);
  if (added) {
    sqlite3_bind_int(image_, 1, image->second);
    sqlite3_bind_blob(image_, 2, png.data(), static_cast<int>(png.size()), SQLITE_STATIC);
    const bool ok = sqlite3_step(image_) == SQLITE_DONE;
    sqlite3_reset(image_);
    if (!ok) return Fail("writing a tile image");
  }
  const int tmsRow = (1 << zoom) - 1 - y;
  sqlite3_bind_int(map_, 1, zoom);
  sqlite3_bind_int(map_, 2, x);
  sqlite3_bind_int(map_, 3, tmsRow);
  sqlite3_bind_int(map_, 4, image->second);
  const bool ok = sqlite3_step(map_) == SQLITE_DONE;
  sqlite3_reset(map_);
  if (!ok) return Fail("writing a tile");
  ++tiles_;
  return true;
}

bool MBTilesWriter::Finish() {
  if (db_ == nullptr) return false;
  if (!Exec(kTilesView) || !Exec("COMMIT;")) return false;
  sqlite3_finalize(metadata_);
  sqlite3_finalize(image_);
  sqlite3_finalize(map_);
  metadata_ = image_ = map_ = nullptr;
  const bool closed = sqlite3_close(db_) == SQLITE_OK;
  if (!closed) error_ = std::string("closing the file: ") + sqlite3_errmsg(db_);
  db_ = nullptr;
  return closed;
}

}  // namespace worldmap

// Writes an MBTiles file in one transaction: the metadata, and each distinct tile image stored
// once (the "images" and "map" tables, read through a "tiles" view), rows counted from the south
// as MBTiles requires.
#pragma once

#include <sqlite3.h>

#include <map>
#include <string>

namespace worldmap {

class MBTilesWriter {
 public:
  MBTilesWriter() = default;
  ~MBTilesWriter();
  MBTilesWriter(const MBTilesWriter&) = delete;
  MBTilesWriter& operator=(const MBTilesWriter&) = delete;

  // Creates the file (removing one already at `path`) and starts the transaction. Each call
  // returns false with Error() set when SQLite fails; the file is then incomplete.
  bool Create(const std::string& path);
  bool Metadata(const std::string& name, const std::string& value);
  // `y` counts from the north, as in tile URLs.
  bool Tile(int zoom, int x, int y, const std::string& png);
  // Adds the view, commits and closes.
  bool Finish();

  const std::string& Error() const { return error_; }
  size_t TileCount() const { return tiles_; }
  size_t ImageCount() const { return images_.size(); }

 private:
  bool Exec(const char* sql);
  bool Fail(const char* what);
  void Close();

  sqlite3* db_ = nullptr;
  sqlite3_stmt* metadata_ = nullptr;
  sqlite3_stmt* image_ = nullptr;
  sqlite3_stmt* map_ = nullptr;
  std::map<std::string, int> images_;  // image bytes -> tile_id
  size_t tiles_ = 0;
  std::string error_;
};

}  // namespace worldmap

// An MBTiles file (version 1.3: SQLite, tiles in TMS rows counted from the south, a metadata
// table of names and values), opened read only. Opening checks that it is one: a sound SQLite
// file (fully checked up to kMaxCheckedBytes), a "tiles" table of the four named columns, and
// metadata whose format is an image format, with readable bounds and zoom levels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/tileserver/SqlitePool.h"
#include "tools/tileserver/TileImageFormat.h"

namespace tileserver {

struct MBTilesInfo {
  std::string name;  // metadata "name"; may be empty
  TileImageFormat format = TileImageFormat::Png;
  bool formatGiven = true;                                        // false: told by the first tile's bytes
  int minZoom = 0, maxZoom = 0;                                   // from the metadata, else from the tiles
  double bounds[4] = {-180.0, -85.05112878, 180.0, 85.05112878};  // west, south, east, north
  bool boundsGiven = false;
  bool checked = false;  // the whole file passed SQLite's quick check
};

enum class TileLookup { Found, Missing, Failed };

class MBTilesReader {
 public:
  // Larger files are not read through at start (that could take minutes); damage found later
  // fails the tiles it touches.
  static constexpr int64_t kMaxCheckedBytes = int64_t{1} << 30;

  struct OpenResult {
    std::unique_ptr<MBTilesReader> reader;
    std::string error;  // one line saying what is wrong, when there is no reader
  };
  static OpenResult Open(const std::string& path);

  // The tile at column x, row y counted from the north (as in tile URLs), level z.
  TileLookup Get(int32_t z, int32_t x, int32_t y, std::string& bytes, std::string& error);

  const MBTilesInfo& Info() const { return info_; }
  const std::string& Path() const { return path_; }

 private:
  MBTilesReader(std::string path);

  const std::string path_;
  SqlitePool pool_;
  MBTilesInfo info_;
};

}  // namespace tileserver

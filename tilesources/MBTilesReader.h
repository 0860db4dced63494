// An MBTiles file (version 1.3: SQLite, tiles in TMS rows counted from the south, a metadata
// table of names and values), opened read only. Opening checks that it is one: a sound SQLite
// file (fully checked up to kMaxCheckedBytes), a "tiles" table of the four named columns, and
// metadata whose format is an image format, with readable bounds and zoom levels.
//
// The file is someone else's: nothing is ever written or made beside it (no journal, no WAL
// index), and every query on it has a time limit, since its "tiles" may be a view that never
// ends. A file with a write-ahead log beside it (FILE-wal or FILE-shm) is refused: reading it
// would mean making or writing those files, and reading past them would give stale pages. A
// WAL-mode file with neither beside it is whole, and is read as an unchanging file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tilesources/SqlitePool.h"
#include "tilesources/TileImageFormat.h"

struct stat;

namespace tilesources {

struct MBTilesInfo {
  std::string name;         // metadata "name"; may be empty
  std::string attribution;  // metadata "attribution", made one line; may be empty
  TileImageFormat format = TileImageFormat::Png;
  bool formatGiven = true;                                        // false: told by the first tile's bytes
  int minZoom = 0, maxZoom = 0;                                   // from the metadata, else from the tiles
  double bounds[4] = {-180.0, -85.05112878, 180.0, 85.05112878};  // west, south, east, north
  bool boundsGiven = false;
  bool checked = false;      // the whole file passed SQLite's quick check
  std::string whyUnchecked;  // when not checked: too large, or the check ran out of time
  bool immutable = false;    // a WAL-mode file read as an unchanging one
};

enum class TileLookup { Found, Missing, NotAnImage, Failed };

struct TileRead {
  TileLookup outcome = TileLookup::Missing;
  std::string bytes;                              // Found: the image as stored
  TileImageFormat format = TileImageFormat::Png;  // Found: told by the bytes
  std::string error;                              // NotAnImage, Failed: why, in one line
};

class MBTilesReader {
 public:
  // Larger files are not read through at start (that could take minutes); damage found later
  // fails the tiles it touches.
  static constexpr int64_t kMaxCheckedBytes = int64_t{1} << 30;
  // Time limits: each query made while opening (the whole-file check that runs out of time only
  // leaves the file unchecked; any other query that does refuses the file), and each tile look-up
  // (one that runs out fails that tile).
  static constexpr int kOpenQueryLimitMs = 5000;
  static constexpr int kTileQueryLimitMs = 1000;

  struct OpenResult {
    std::unique_ptr<MBTilesReader> reader;
    std::string error;  // "FILE: reason", one line, when there is no reader
  };
  // The whole-file check stops after `checkLimitMs`, leaving the file unchecked.
  static OpenResult Open(const std::string& path, int checkLimitMs = kOpenQueryLimitMs);

  // The tile at column x, row y counted from the north (as in tile URLs), level z. Bytes that are
  // no PNG, JPEG or WebP image (an empty or NULL tile_data among them) are NotAnImage.
  TileRead Get(int32_t z, int32_t x, int32_t y);

  const MBTilesInfo& Info() const { return info_; }
  const std::string& Path() const { return path_; }
  // Whether the path still names the file opened, as it was then (same file, size and time of its
  // last change, no write-ahead log beside it): opening it again would read the same.
  bool FileUnchanged() const;

 private:
  struct FileIdentity {
    uint64_t device = 0, inode = 0;
    int64_t size = 0, changedSeconds = 0, changedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
  };
  MBTilesReader(std::string path, bool immutable);
  static FileIdentity IdentityFrom(const struct stat& info);

  const std::string path_;
  FileIdentity opened_;
  SqlitePool pool_;
  MBTilesInfo info_;
};

}  // namespace tilesources

#include "tilesources/MBTilesReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/kernel/DecimalText.h"
#include "tilesources/MBTilesMetadata.h"
#include "tilesources/SourceChoice.h"
#include "tilesources/TileSource.h"

namespace tilesources {
namespace {


enum Statement : size_t { kSelectTile = 0 };

// The files of a write-ahead log, named by these after the database's name.
const char* const kLogSuffixes[] = {"-wal", "-shm"};

const char* const kSelectTileSql =
    "SELECT tile_data FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3";

std::string Column(sqlite3_stmt* statement, int i) {
  const unsigned char* text = sqlite3_column_text(statement, i);
  return text ? reinterpret_cast<const char*>(text) : "";
}

std::string Seconds(int ms) { return std::to_string(ms / 1000) + " s"; }

// Runs a query within `limitMs` and hands each row to `row`; the error text, or empty. Whether it
// ran out of time the connection tells (OutOfTime).
template <typename Row>
std::string EachRow(SqliteConnection& db, int limitMs, const char* sql, Row row) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db.db(), sql, -1, &statement, nullptr) != SQLITE_OK) return sqlite3_errmsg(db.db());
  db.SetTimeLimit(limitMs);
  int code;
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
  std::string error = code == SQLITE_DONE ? "" : sqlite3_errmsg(db.db());
  sqlite3_finalize(statement);
  return error;
}


bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// Whether the file's header says WAL mode (its read and write versions are 2). A file too short to
// tell, or no SQLite file at all, is left for SQLite to judge.
bool InWalMode(const std::string& path) {
  unsigned char header[20] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  ::close(fd);
  return got == ssize_t(sizeof header) && std::memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 2 &&
         header[19] == 2;
}

// The file as an SQLite URI (which the immutable parameter needs): every byte but the unreserved
// ones and '/' percent-encoded, so that '?', '#' and '%' in names stay part of the path.
std::string FileUri(const std::string& path, bool immutable) {
  std::string uri = path.rfind('/', 0) == 0 ? "file://" : "file:";
  static const char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri + "?mode=ro" + (immutable ? "&immutable=1" : "");
}

}  // namespace

MBTilesReader::MBTilesReader(std::string path, bool immutable)
    : path_(std::move(path)),
      pool_(FileUri(path_, immutable), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, {kSelectTileSql}) {
  info_.immutable = immutable;
}

MBTilesReader::OpenResult MBTilesReader::Open(const std::string& path, int checkLimitMs) {
  OpenResult result;
  auto fail = [&](const std::string& what) {
    result.error = path + ": " + what;
    return std::move(result);
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return fail("not a regular file");
  for (const char* suffix : kLogSuffixes) {
    const std::string beside = path + suffix;
    if (Exists(beside))
      return fail("its write-ahead log file " + beside.substr(beside.rfind('/') + 1) +
                  " lies beside it: a program has the file open, or was stopped while it had; serve it once that "
                  "program has closed it");
  }

  const bool immutable = InWalMode(path);
  std::unique_ptr<MBTilesReader> reader(new MBTilesReader(path, immutable));
  reader->opened_ = IdentityFrom(info);
  // A first connection without the tile statement, so that a file of another kind is told apart
  // from a damaged one before anything assumes a table.
  SqlitePool probe(FileUri(path, immutable), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, {});
  std::string error;
  SqlitePool::Lease db = probe.Acquire(&error);
  if (!db) return fail("cannot open: " + error);
  const std::string tooLong = " took longer than " + Seconds(kOpenQueryLimitMs);

  MBTilesInfo& meta = reader->info_;
  if (info.st_size > kMaxCheckedBytes) {
    meta.whyUnchecked = "too large to check at start";
  } else {
    std::string verdict;
    error = EachRow(*db, checkLimitMs, "PRAGMA quick_check(1)", [&](sqlite3_stmt* s) { verdict = Column(s, 0); });
    if (db->OutOfTime()) {
      // As with a file too large to check: damage found later fails the tiles it touches.
      meta.whyUnchecked = "its check at start took longer than " + std::to_string(checkLimitMs) + " ms";
    } else {
      if (!error.empty() && sqlite3_errcode(db->db()) == SQLITE_NOTADB)
        return fail("not an SQLite database (" + error + ")");
      if (!error.empty()) return fail("damaged (" + error + ")");
      if (verdict != "ok") return fail("damaged (" + verdict + ")");
      meta.checked = true;
    }
  }
  std::map<std::string, std::string> metadata;
  error = EachRow(*db, kOpenQueryLimitMs, "SELECT name, value FROM metadata",
                  [&](sqlite3_stmt* s) { metadata.emplace(Column(s, 0), Column(s, 1)); });
  if (db->OutOfTime()) return fail("reading the metadata" + tooLong);
  if (!error.empty()) return fail("not an MBTiles file: no metadata table of names and values (" + error + ")");
  if (!reader->pool_.Acquire(&error))
    return fail("not an MBTiles file: no tiles table of zoom_level, tile_column, tile_row, tile_data (" + error + ")");

  meta.name = metadata.count("name") ? metadata["name"] : "";
  meta.attribution = metadata.count("attribution") ? OneLine(metadata["attribution"]) : "";
  if (metadata.count("format")) {
    const std::string& format = metadata["format"];
    const std::optional<TileImageFormat> named = TileImageFormatNamed(format);
    if (format == "pbf")
      return fail("holds vector tiles (format pbf); only image tiles (png, jpg, webp) can be served");
    if (!named) return fail("unknown tile format \"" + format + "\" (png, jpg or webp)");
    meta.format = *named;
  } else {
    std::string first;
    error = EachRow(*db, kOpenQueryLimitMs, "SELECT tile_data FROM tiles LIMIT 1", [&](sqlite3_stmt* s) {
      const void* blob = sqlite3_column_blob(s, 0);
      if (blob != nullptr) first.assign(static_cast<const char*>(blob), size_t(sqlite3_column_bytes(s, 0)));
    });
    if (db->OutOfTime()) return fail("no format in the metadata, and reading a tile to tell it by" + tooLong);
    const std::optional<TileImageFormat> sniffed = SniffTileImage(first);
    if (!error.empty() || !sniffed) return fail("no format in the metadata, and no image tile to tell it by");
    meta.format = *sniffed;
    meta.formatGiven = false;
  }
  const std::string zoomRange = " (a whole number from 0 to " + std::to_string(kMaxZoom) + ")";
  const bool hasMin = metadata.count("minzoom") != 0, hasMax = metadata.count("maxzoom") != 0;
  if (hasMin && !ParseMetadataZoom(metadata["minzoom"], meta.minZoom))
    return fail("bad minzoom \"" + metadata["minzoom"] + "\"" + zoomRange);
  if (hasMax && !ParseMetadataZoom(metadata["maxzoom"], meta.maxZoom))
    return fail("bad maxzoom \"" + metadata["maxzoom"] + "\"" + zoomRange);
  if (!hasMin || !hasMax) {
    // An empty table gives NULLs: no levels to tell, and the range stays 0-0.
    int64_t low = 0, high = 0;
    bool whole = true;
    error = EachRow(*db, kOpenQueryLimitMs, "SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles", [&](sqlite3_stmt* s) {
      for (int i : {0, 1})
        whole = whole && (sqlite3_column_type(s, i) == SQLITE_INTEGER || sqlite3_column_type(s, i) == SQLITE_NULL);
      low = sqlite3_column_int64(s, 0);
      high = sqlite3_column_int64(s, 1);
    });
    if (db->OutOfTime())
      return fail("reading the zoom levels from the tiles" + tooLong + " (give minzoom and maxzoom in the metadata)");
    if (!error.empty()) return fail("cannot read the zoom levels (" + error + ")");
    if (!whole) return fail("the tiles table holds zoom levels that are not whole numbers");
    if (low < 0 || high > kMaxZoom)
      return fail("the tiles table holds zoom levels " + std::to_string(low) + " to " + std::to_string(high) +
                  ", outside 0 to " + std::to_string(kMaxZoom));
    if (!hasMin) meta.minZoom = int(low);
    if (!hasMax) meta.maxZoom = int(high);
  }
  if (meta.minZoom > meta.maxZoom) return fail("minzoom above maxzoom");
  if (metadata.count("bounds")) {
    if (!ParseMetadataBounds(metadata["bounds"], meta.bounds))
      return fail("bad bounds \"" + metadata["bounds"] + "\" (west,south,east,north in degrees)");
    meta.boundsGiven = true;
  }
  result.reader = std::move(reader);
  return result;
}

TileRead MBTilesReader::Get(int32_t z, int32_t x, int32_t y) {
  TileRead read;
  SqlitePool::Lease db = pool_.Acquire(&read.error);
  if (!db) {
    read.outcome = TileLookup::Failed;
    return read;
  }
  sqlite3_stmt* select = db->Statement(kSelectTile);
  const int64_t tmsRow = (int64_t{1} << z) - 1 - y;
  sqlite3_bind_int(select, 1, z);
  sqlite3_bind_int(select, 2, x);
  sqlite3_bind_int64(select, 3, tmsRow);
  db->SetTimeLimit(kTileQueryLimitMs);
  const int code = sqlite3_step(select);
  if (code == SQLITE_ROW) {
    const void* blob = sqlite3_column_blob(select, 0);
    read.bytes.assign(blob ? static_cast<const char*>(blob) : "", size_t(sqlite3_column_bytes(select, 0)));
    const std::optional<TileImageFormat> format = SniffTileImage(read.bytes);
    if (format) {
      read.outcome = TileLookup::Found;
      read.format = *format;
    } else {
      read.outcome = TileLookup::NotAnImage;
      read.error = read.bytes.empty() ? "the stored tile is empty" : "the stored tile is no PNG, JPEG or WebP image";
      read.bytes.clear();
    }
  } else if (code == SQLITE_DONE) {
    read.outcome = TileLookup::Missing;
  } else {
    read.outcome = TileLookup::Failed;
    read.error = db->OutOfTime() ? "the look-up took longer than " + Seconds(kTileQueryLimitMs)
                                 : std::string(sqlite3_errmsg(db->db()));
  }
  sqlite3_reset(select);
  return read;
}

MBTilesReader::FileIdentity MBTilesReader::IdentityFrom(const struct stat& info) {
  return FileIdentity{uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
                      int64_t(info.st_mtim.tv_sec), int64_t(info.st_mtim.tv_nsec)};
}

bool MBTilesReader::FileUnchanged() const {
  for (const char* suffix : kLogSuffixes)
    if (Exists(path_ + suffix)) return false;
  struct stat info {};
  return ::stat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IdentityFrom(info) == opened_;
}

}  // namespace tilesources

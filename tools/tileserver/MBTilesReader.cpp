#include "tools/tileserver/MBTilesReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "tools/tileserver/MBTilesMetadata.h"

namespace tileserver {
namespace {

enum Statement : size_t { kSelectTile = 0 };

const char* const kSelectTileSql =
    "SELECT tile_data FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3";

std::string Column(sqlite3_stmt* statement, int i) {
  const unsigned char* text = sqlite3_column_text(statement, i);
  return text ? reinterpret_cast<const char*>(text) : "";
}

// Runs a query and hands each row to `row`; the error text, or empty.
template <typename Row>
std::string EachRow(sqlite3* db, const char* sql, Row row) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
  int code;
  while ((code = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
  std::string error = code == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(statement);
  return error;
}

}  // namespace

MBTilesReader::MBTilesReader(std::string path)
    : path_(std::move(path)), pool_(path_, SQLITE_OPEN_READONLY, {kSelectTileSql}) {}

MBTilesReader::OpenResult MBTilesReader::Open(const std::string& path) {
  OpenResult result;
  auto fail = [&](const std::string& what) {
    result.error = path + ": " + what;
    return std::move(result);
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return fail(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return fail("not a regular file");

  std::unique_ptr<MBTilesReader> reader(new MBTilesReader(path));
  // A first connection without the tile statement, so that a file of another kind is told apart
  // from a damaged one before anything assumes a table.
  SqlitePool probe(path, SQLITE_OPEN_READONLY, {});
  std::string error;
  SqlitePool::Lease db = probe.Acquire(&error);
  if (!db) return fail("cannot open: " + error);

  MBTilesInfo& meta = reader->info_;
  if (info.st_size <= kMaxCheckedBytes) {
    std::string verdict;
    error = EachRow(db->db(), "PRAGMA quick_check(1)", [&](sqlite3_stmt* s) { verdict = Column(s, 0); });
    if (!error.empty() && sqlite3_errcode(db->db()) == SQLITE_NOTADB)
      return fail("not an SQLite database (" + error + ")");
    if (!error.empty()) return fail("damaged (" + error + ")");
    if (verdict != "ok") return fail("damaged (" + verdict + ")");
    meta.checked = true;
  }
  std::map<std::string, std::string> metadata;
  error = EachRow(db->db(), "SELECT name, value FROM metadata",
                  [&](sqlite3_stmt* s) { metadata.emplace(Column(s, 0), Column(s, 1)); });
  if (!error.empty()) return fail("not an MBTiles file: no metadata table of names and values (" + error + ")");
  if (!reader->pool_.Acquire(&error))
    return fail("not an MBTiles file: no tiles table of zoom_level, tile_column, tile_row, tile_data (" + error + ")");

  meta.name = metadata.count("name") ? metadata["name"] : "";
  if (metadata.count("format")) {
    const std::string& format = metadata["format"];
    const std::optional<TileImageFormat> named = TileImageFormatNamed(format);
    if (format == "pbf")
      return fail("holds vector tiles (format pbf); only image tiles (png, jpg, webp) can be served");
    if (!named) return fail("unknown tile format \"" + format + "\" (png, jpg or webp)");
    meta.format = *named;
  } else {
    std::string first;
    error = EachRow(db->db(), "SELECT tile_data FROM tiles LIMIT 1", [&](sqlite3_stmt* s) {
      const void* blob = sqlite3_column_blob(s, 0);
      if (blob != nullptr) first.assign(static_cast<const char*>(blob), size_t(sqlite3_column_bytes(s, 0)));
    });
    const std::optional<TileImageFormat> sniffed = SniffTileImage(first);
    if (!error.empty() || !sniffed) return fail("no format in the metadata, and no image tile to tell it by");
    meta.format = *sniffed;
    meta.formatGiven = false;
  }
  const bool hasMin = metadata.count("minzoom") != 0, hasMax = metadata.count("maxzoom") != 0;
  if (hasMin && !ParseMetadataZoom(metadata["minzoom"], meta.minZoom))
    return fail("bad minzoom \"" + metadata["minzoom"] + "\"");
  if (hasMax && !ParseMetadataZoom(metadata["maxzoom"], meta.maxZoom))
    return fail("bad maxzoom \"" + metadata["maxzoom"] + "\"");
  if (!hasMin || !hasMax) {
    int low = 0, high = 0;
    error = EachRow(db->db(), "SELECT MIN(zoom_level), MAX(zoom_level) FROM tiles", [&](sqlite3_stmt* s) {
      low = sqlite3_column_int(s, 0);
      high = sqlite3_column_int(s, 1);
    });
    if (!error.empty()) return fail("cannot read the zoom levels (" + error + ")");
    if (!hasMin) meta.minZoom = low;
    if (!hasMax) meta.maxZoom = high;
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

TileLookup MBTilesReader::Get(int32_t z, int32_t x, int32_t y, std::string& bytes, std::string& error) {
  SqlitePool::Lease db = pool_.Acquire(&error);
  if (!db) return TileLookup::Failed;
  sqlite3_stmt* select = db->Statement(kSelectTile);
  const int64_t tmsRow = (int64_t{1} << z) - 1 - y;
  sqlite3_bind_int(select, 1, z);
  sqlite3_bind_int(select, 2, x);
  sqlite3_bind_int64(select, 3, tmsRow);
  const int code = sqlite3_step(select);
  if (code == SQLITE_ROW) {
    const void* blob = sqlite3_column_blob(select, 0);
    bytes.assign(blob ? static_cast<const char*>(blob) : "", size_t(sqlite3_column_bytes(select, 0)));
    sqlite3_reset(select);
    return TileLookup::Found;
  }
  if (code == SQLITE_DONE) return TileLookup::Missing;
  error = sqlite3_errmsg(db->db());
  sqlite3_reset(select);
  return TileLookup::Failed;
}

}  // namespace tileserver

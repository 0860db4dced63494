#include "tests/tools/MBTilesTestFile.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

MBTilesTestFile::MBTilesTestFile(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw std::runtime_error("cannot make " + path);
  Exec(
      "CREATE TABLE IF NOT EXISTS metadata (name TEXT, value TEXT);"
      "CREATE TABLE IF NOT EXISTS tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);"
      "CREATE UNIQUE INDEX IF NOT EXISTS tile_index ON tiles (zoom_level, tile_column, tile_row);");
}

MBTilesTestFile::~MBTilesTestFile() { Close(); }

void MBTilesTestFile::Close() {
  if (db_ != nullptr) sqlite3_close(db_);
  db_ = nullptr;
}

void MBTilesTestFile::Exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string text = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(sql + ": " + text);
  }
}

void MBTilesTestFile::Metadata(const std::string& name, const std::string& value) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db_, "INSERT INTO metadata VALUES (?1, ?2)", -1, &s, nullptr);
  sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(s, 2, value.c_str(), -1, SQLITE_TRANSIENT);
  const int code = sqlite3_step(s);
  sqlite3_finalize(s);
  if (code != SQLITE_DONE) throw std::runtime_error("metadata insert failed");
}

void MBTilesTestFile::Tile(int z, int x, int tmsRow, const std::string& bytes) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db_, "INSERT INTO tiles VALUES (?1, ?2, ?3, ?4)", -1, &s, nullptr);
  sqlite3_bind_int(s, 1, z);
  sqlite3_bind_int(s, 2, x);
  sqlite3_bind_int(s, 3, tmsRow);
  sqlite3_bind_blob(s, 4, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
  const int code = sqlite3_step(s);
  sqlite3_finalize(s);
  if (code != SQLITE_DONE) throw std::runtime_error("tile insert failed");
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<std::vector<std::string>> QueryRows(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path);
  }
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    const std::string error = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error(sql + ": " + error);
  }
  std::vector<std::vector<std::string>> rows;
  while (sqlite3_step(s) == SQLITE_ROW) {
    std::vector<std::string>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(s); ++i) {
      const void* blob = sqlite3_column_blob(s, i);
      row.emplace_back(blob ? static_cast<const char*>(blob) : "", size_t(sqlite3_column_bytes(s, i)));
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

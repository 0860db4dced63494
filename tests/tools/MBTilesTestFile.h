// MBTiles files made by the tests with SQLite itself.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

// An MBTiles 1.3 file, new or opened again: the metadata and tiles tables with the usual unique index.
class MBTilesTestFile {
 public:
  explicit MBTilesTestFile(const std::string& path);  // throws when it cannot be made
  ~MBTilesTestFile();
  MBTilesTestFile(const MBTilesTestFile&) = delete;
  MBTilesTestFile& operator=(const MBTilesTestFile&) = delete;

  void Metadata(const std::string& name, const std::string& value);
  // `tmsRow` counts from the south, as the file stores it.
  void Tile(int z, int x, int tmsRow, const std::string& bytes);
  void Exec(const std::string& sql);
  void Close();

 private:
  sqlite3* db_ = nullptr;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Runs a query and returns its rows, each column as text (blobs as their bytes).
std::vector<std::vector<std::string>> QueryRows(const std::string& path, const std::string& sql);

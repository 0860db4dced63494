// The upstream disk cache under pressure: past its bound the least recently used tiles go (reads
// alone never write), two writers on one file at once lose nothing, and an upstream whose cache
// cannot be opened, or whose disk fills up, still serves every tile, saying so once.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/TempFolder.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tilesources/HttpFreshness.h"
#include "tilesources/SourceChoice.h"
#include "tilesources/TileDiskCache.h"

namespace {

using tilesources::CachedTile;
using tilesources::TileDiskCache;

constexpr int kTimeoutMs = 20000;
constexpr int32_t kZoom = 12;

// Bytes told apart by position, of a fixed size.
std::string TileBytes(int32_t x, int32_t y, size_t size) {
  std::string bytes = "\x89PNG\r\n\x1a\n";
  uint32_t state = uint32_t(x) * 2654435761u + uint32_t(y) * 40503u + 1;
  while (bytes.size() < size) {
    state = state * 1664525u + 1013904223u;
    bytes += char(state >> 24);
  }
  return bytes;
}

CachedTile Cached(const std::string& bytes) {
  CachedTile tile;
  tile.bytes = std::make_shared<const std::string>(bytes);
  tile.contentType = "image/png";
  tile.freshUntilMs = tilesources::WallClockMs() + 3600 * 1000;
  return tile;
}

std::unique_ptr<TileDiskCache> OpenCache(const std::string& path, int64_t maxBytes) {
  TileDiskCache::OpenResult opened = TileDiskCache::Open(path, "test tiles", maxBytes);
  EXPECT_TRUE(opened.cache) << opened.error;
  return std::move(opened.cache);
}

std::vector<std::string> FolderNames(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
  return names;
}

std::string Single(const std::string& file, const std::string& sql) {
  const auto rows = QueryRows(file, sql);
  return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

// The running total is what the rows add up to, and every row is a whole tile with its freshness.
void ExpectSound(const std::string& file, TileDiskCache& cache) {
  EXPECT_EQ(Single(file, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(Single(file, "SELECT count(*) FROM tiles"), Single(file, "SELECT count(*) FROM tile_freshness"));
  const std::string rowSum = Single(file,
                                    "SELECT sum(length(t.tile_data)) + count(*) * " +
                                        std::to_string(TileDiskCache::kRowOverheadBytes) +
                                        " FROM tiles t JOIN tile_freshness f USING (zoom_level, tile_column, tile_row)");
  EXPECT_EQ(std::to_string(cache.StoredBytes().value_or(-1)), rowSum.empty() ? "0" : rowSum);
}

TEST(UpstreamDiskCache, PastItsBoundTheLeastRecentlyUsedTilesGoAndReadsNeverWrite) {
  constexpr size_t kTileSize = 3000;
  constexpr int64_t kCost = kTileSize + TileDiskCache::kRowOverheadBytes;
  TempFolder folder;
  const std::string file = folder.File("cache.mbtiles");
  auto cache = OpenCache(file, 12 * kCost);
  ASSERT_TRUE(cache);
  for (int32_t x = 0; x < 10; ++x) ASSERT_TRUE(cache->Put(kZoom, x, 7, Cached(TileBytes(x, 7, kTileSize))));
  EXPECT_EQ(Single(file, "SELECT count(*) FROM tiles"), "10") << "below the bound nothing goes";

  // Last used two hours ago, tile 0 first; then tiles 0 to 4 are read.
  QueryRows(file, "UPDATE tile_freshness SET last_used = strftime('%s', 'now') - 7200 + tile_column");
  const std::string aged = Single(file, "SELECT group_concat(last_used) FROM tile_freshness");
  for (int32_t x = 0; x < 5; ++x) {
    const std::optional<CachedTile> read = cache->Get(kZoom, x, 7);
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read->bytes == TileBytes(x, 7, kTileSize));
  }
  EXPECT_EQ(Single(file, "SELECT group_concat(last_used) FROM tile_freshness"), aged) << "a read wrote to the file";

  // Five more tiles: the file passes its bound, and the oldest unread tiles make room.
  for (int32_t x = 10; x < 15; ++x) ASSERT_TRUE(cache->Put(kZoom, x, 7, Cached(TileBytes(x, 7, kTileSize))));
  std::set<int32_t> kept;
  for (int32_t x = 0; x < 15; ++x) {
    const std::optional<CachedTile> read = cache->Get(kZoom, x, 7);
    if (!read) continue;
    EXPECT_TRUE(*read->bytes == TileBytes(x, 7, kTileSize)) << x;
    kept.insert(x);
  }
  for (int32_t x : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14}) EXPECT_TRUE(kept.count(x)) << "tile " << x << " went";
  EXPECT_FALSE(kept.count(5)) << "the least recently used tile stayed";
  for (int32_t x = 6; x < 10; ++x)
    if (kept.count(x)) EXPECT_TRUE(kept.count(x + 1) || x == 9) << "tile " << x << " stayed but a newer one went";
  EXPECT_LE(cache->StoredBytes().value_or(INT64_MAX), 12 * kCost);
  ExpectSound(file, *cache);
}

// Two caches on one file stand for two processes: each has its own connections and its own
// writer lock, so only SQLite's locking keeps them apart. Both also rewrite the same tiles.
TEST(UpstreamDiskCache, TwoWritersOnOneFileAtOnceLoseNothing) {
  constexpr int kTilesEach = 150, kShared = 20;
  constexpr size_t kTileSize = 2000;
  TempFolder folder;
  const std::string file = folder.File("cache.mbtiles");
  auto first = OpenCache(file, tilesources::kDefaultCacheMaxBytes);
  auto second = OpenCache(file, tilesources::kDefaultCacheMaxBytes);
  ASSERT_TRUE(first && second);
  auto writer = [&](TileDiskCache* cache, int parity, int* failures) {
    for (int i = 0; i < kTilesEach; ++i) {
      const int32_t x = 2 * i + parity;
      std::string error;
      if (!cache->Put(kZoom, x, 1, Cached(TileBytes(x, 1, kTileSize)), &error)) ++*failures;
      if (i < kShared && !cache->Put(kZoom, i, 2, Cached(TileBytes(i, 2, kTileSize)), &error)) ++*failures;
      if (!error.empty()) ADD_FAILURE() << error;
    }
  };
  int failedFirst = 0, failedSecond = 0;
  std::thread a(writer, first.get(), 0, &failedFirst), b(writer, second.get(), 1, &failedSecond);
  a.join();
  b.join();
  EXPECT_EQ(failedFirst + failedSecond, 0);
  EXPECT_EQ(Single(file, "SELECT count(*) FROM tiles"), std::to_string(2 * kTilesEach + kShared));
  for (int32_t x = 0; x < 2 * kTilesEach; ++x) {
    const std::optional<CachedTile> read = second->Get(kZoom, x, 1);
    ASSERT_TRUE(read) << "tile " << x << " lost";
    EXPECT_TRUE(*read->bytes == TileBytes(x, 1, kTileSize)) << x;
  }
  ExpectSound(file, *first);
}

// Runs `body` with stderr going to a file, and returns what was written there.
template <typename Body>
std::string CaptureStderr(const TempFolder& folder, Body body) {
  std::fflush(stderr);
  const int saved = ::dup(2);
  const std::string path = folder.File("stderr.txt");
  FILE* sink = std::fopen(path.c_str(), "w");
  ::dup2(::fileno(sink), 2);
  body();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::fclose(sink);
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  std::remove(path.c_str());
  return text.str();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string UpstreamTile(TileServer& upstream, int x, int y, int z) {
  RawHttpConnection connection(upstream.Port());
  connection.Send(TileRequestText(upstream.HostPort(), x, y, z, false));
  RawHttpReply reply;
  EXPECT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  return reply.body;
}

tilesources::OpenedSource OpenUpstream(TileServer& upstream, const std::string& cacheDir) {
  tilesources::SourceSettings settings;
  settings.contact = "maps@orvanmap.test";
  settings.cacheDir = cacheDir;
  return tilesources::OpenSource(
      *tilesources::ParseSourceChoice("upstream:http://" + upstream.HostPort() + "/{z}/{x}/{y}.png", "synthetic").choice, settings);
}

TEST(UpstreamDiskCache, ACacheThatCannotBeOpenedLeavesTheUpstreamServingWithoutIt) {
  TileServer upstream({"--max-age", "3600"});
  TempFolder folder;
  WriteWholeFile(folder.File("plain-file"), "not a folder\n");
  // The cache file's own name taken by a folder.
  const std::string taken = folder.File("taken");
  {
    const tilesources::OpenedSource probe = OpenUpstream(upstream, taken);
    ASSERT_TRUE(probe.source && probe.note.empty()) << probe.error << probe.note;
  }
  for (const std::string& name : std::vector<std::string>(FolderNames(taken))) {
    std::remove((taken + "/" + name).c_str());
    if (name.find("-wal") == std::string::npos && name.find("-shm") == std::string::npos)
      ASSERT_EQ(::mkdir((taken + "/" + name).c_str(), 0755), 0);
  }
  for (const std::string& dir : {folder.File("plain-file/cache"), folder.File("plain-file"), taken}) {
    const tilesources::OpenedSource opened = OpenUpstream(upstream, dir);
    ASSERT_TRUE(opened.source) << dir << ": " << opened.error;
    EXPECT_NE(opened.note.find("without a disk cache"), std::string::npos) << opened.note;
    EXPECT_NE(opened.source->Describe().find("no disk cache ("), std::string::npos) << opened.source->Describe();
    for (int i = 0; i < 2; ++i) {
      const tilesources::SourcedTile tile = opened.source->Fetch({3, 5, 4});
      ASSERT_EQ(tile.status, 200) << dir;
      EXPECT_TRUE(*tile.body == UpstreamTile(upstream, 3, 5, 4));
    }
  }
  // The server too starts and serves with such a folder, where it used to refuse to start.
  TileServer server({"--source", "upstream:http://" + upstream.HostPort() + "/{z}/{x}/{y}", "--contact",
                     "maps@orvanmap.test", "--cache-dir", folder.File("plain-file/cache")});
  RawHttpConnection connection(server.Port());
  connection.Send(TileRequestText(server.HostPort(), 1, 2, 3, false));
  RawHttpReply reply;
  ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(reply.body == UpstreamTile(upstream, 1, 2, 3));
}

// A small memory file system of its own, mounted over a folder and unmounted however the test ends.
class SmallDisk {
 public:
  SmallDisk(const std::string& path, const std::string& size) : path_(path) {
    ::mkdir(path.c_str(), 0755);
    mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    if (!mounted_) why_ = std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }

 private:
  std::string path_, why_;
  bool mounted_ = false;
};

TEST(UpstreamDiskCache, AFullDiskCostsOnlyTheCachingAndIsNotedOnce) {
  constexpr int kTiles = 40;
  TileServer upstream({"--max-age", "3600"});
  TempFolder folder;
  SmallDisk disk(folder.File("disk"), "160k");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs to fill (" << disk.Why() << "); needs root";
  std::vector<tilesources::SourcedTile> tiles;
  std::string description;
  const std::string output = CaptureStderr(folder, [&] {
    tilesources::OpenedSource opened = OpenUpstream(upstream, folder.File("disk/cache"));
    ASSERT_TRUE(opened.source && opened.note.empty()) << opened.error << opened.note;
    for (int x = 0; x < kTiles; ++x) tiles.push_back(opened.source->Fetch({x, 3, 6}));
    description = opened.source->Describe();
  });
  for (int x = 0; x < kTiles; ++x) {
    ASSERT_EQ(tiles[x].status, 200) << x;
    EXPECT_TRUE(*tiles[x].body == UpstreamTile(upstream, x, 3, 6)) << x;
  }
  EXPECT_EQ(Count(output, "writing failed"), 1u) << output;
  EXPECT_NE(description.find("writing it failed"), std::string::npos) << description;

  // What did go in is whole, and the cache still serves it.
  std::string file;
  for (const std::string& name : FolderNames(folder.File("disk/cache")))
    if (name.size() > 8 && name.substr(name.size() - 8) == ".mbtiles") file = folder.File("disk/cache/" + name);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(Single(file, "PRAGMA integrity_check"), "ok");
  const auto rows = QueryRows(file, "SELECT tile_column, tile_data FROM tiles");
  EXPECT_LT(rows.size(), size_t(kTiles)) << "the disk never filled";
  for (const auto& row : rows) EXPECT_TRUE(row[1] == UpstreamTile(upstream, std::stoi(row[0]), 3, 6)) << row[0];
}

}  // namespace

// Tiles per second the tile server answers from each kind of source, over kept-alive loopback
// connections, beside the synthetic source's cached tiles in the same run:
// - synthetic: tiles already drawn, from the server's memory cache (the baseline);
// - MBTiles: the same tiles' bytes stored in an MBTiles file, read through SQLite per request;
// - disk cache: an upstream's tiles, fresh in the disk cache (no upstream request while measured).
// One client on one connection, and four clients at once, each on its own connection.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchRatio.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tools/tileserver/TileAddress.h"

namespace {

constexpr int kZoom = 9;
constexpr int kTilesPerSide = 16;  // 256 tiles in all
constexpr int kTiles = kTilesPerSide * kTilesPerSide;
constexpr int kFirst = 200;  // column and row of the first tile

std::unique_ptr<TempFolder> folder;
std::unique_ptr<TileServer> synthetic, mbtiles, upstream, cached;
std::vector<std::string> requests;

std::string TileRequest(int i, const std::string& host) {
  return TileRequestText(host, kFirst + i % kTilesPerSide, kFirst + i / kTilesPerSide, kZoom, true);
}

RawHttpReply Ask(RawHttpConnection& connection, const std::string& request) {
  connection.Send(request);
  RawHttpReply reply;
  if (connection.ReadOneResponse(20000, reply) != RawReadEnd::Complete) reply.status = -1;
  return reply;
}

void Serve(benchmark::State& state, TileServer& server) {
  RawHttpConnection connection(server.Port());
  int i = state.thread_index() * 37;
  size_t bytes = 0;
  for (auto _ : state) {
    const RawHttpReply reply = Ask(connection, requests[i++ % kTiles]);
    if (reply.status != 200) {
      state.SkipWithError("a tile was not served");
      break;
    }
    bytes += reply.body.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(int64_t(bytes));
}

void BM_SyntheticCached(benchmark::State& state) { Serve(state, *synthetic); }
void BM_MBTiles(benchmark::State& state) { Serve(state, *mbtiles); }
void BM_UpstreamDiskCache(benchmark::State& state) { Serve(state, *cached); }

BENCHMARK(BM_SyntheticCached)->UseRealTime()->Threads(1)->Threads(4);
BENCHMARK(BM_MBTiles)->UseRealTime()->Threads(1)->Threads(4);
BENCHMARK(BM_UpstreamDiskCache)->UseRealTime()->Threads(1)->Threads(4);

// Starts the servers and fills the MBTiles file and the disk cache with the synthetic tiles.
bool Prepare() {
  folder = std::make_unique<TempFolder>();
  synthetic = std::make_unique<TileServer>();
  upstream = std::make_unique<TileServer>(std::vector<std::string>{"--max-age", "86400"});
  const std::string host = "mt0." + tileserver::WorldDomain();
  for (int i = 0; i < kTiles; ++i) requests.push_back(TileRequest(i, host));

  const std::string file = folder->File("bench.mbtiles");
  {
    MBTilesTestFile map(file);
    map.Metadata("name", "bench");
    map.Metadata("format", "png");
    map.Exec("BEGIN");
    RawHttpConnection connection(synthetic->Port());
    for (int i = 0; i < kTiles; ++i) {
      const RawHttpReply tile = Ask(connection, requests[i]);  // also draws it into the memory cache
      if (tile.status != 200) return false;
      map.Tile(kZoom, kFirst + i % kTilesPerSide, (1 << kZoom) - 1 - (kFirst + i / kTilesPerSide), tile.body);
    }
    map.Exec("COMMIT");
  }
  mbtiles = std::make_unique<TileServer>(std::vector<std::string>{"--source", "mbtiles:" + file});
  cached = std::make_unique<TileServer>(
      std::vector<std::string>{"--source", "upstream:http://" + upstream->HostPort() + "/mt?x={x}&y={y}&z={z}",
                               "--contact", "bench@orvanmap.test", "--cache-dir", folder->File("cache")});
  RawHttpConnection connection(cached->Port());
  for (const std::string& request : requests)
    if (Ask(connection, request).status != 200) return false;
  upstream->Reset();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!Prepare()) {
    std::fprintf(stderr, "bench_tile_sources: the servers could not be prepared\n");
    return 1;
  }
  const int result =
      bench::RunAndCompare(argc, argv,
                           {{"BM_MBTiles/real_time/threads:1", "BM_SyntheticCached/real_time/threads:1",
                             "tiles/s, MBTiles file vs synthetic cached tiles, one connection", 0.5, true},
                            {"BM_MBTiles/real_time/threads:4", "BM_SyntheticCached/real_time/threads:4",
                             "tiles/s, MBTiles file vs synthetic cached tiles, 4 connections", 0.5, true},
                            {"BM_UpstreamDiskCache/real_time/threads:1", "BM_SyntheticCached/real_time/threads:1",
                             "tiles/s, upstream disk cache vs synthetic cached tiles, one connection", 0.5, true},
                            {"BM_UpstreamDiskCache/real_time/threads:4", "BM_SyntheticCached/real_time/threads:4",
                             "tiles/s, upstream disk cache vs synthetic cached tiles, 4 connections", 0.5, true}});
  const uint64_t asked = upstream->Counters().requests;
  std::printf("upstream requests while the disk cache was measured: %llu (0 expected)\n",
              static_cast<unsigned long long>(asked));
  cached.reset();
  mbtiles.reset();
  upstream.reset();
  synthetic.reset();
  folder.reset();
  return asked == 0 ? result : 1;
}

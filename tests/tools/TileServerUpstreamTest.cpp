// An upstream tile service as the tile server's source, played by a second tile server: at most
// two kept-alive connections however many tiles are asked for at once, the User-Agent with the
// contact, the disk cache serving fresh tiles without asking and revalidating stale ones, 429
// with Retry-After honoured, failures passed on as error statuses, and a disk cache that a kill
// in the middle of writing leaves sound.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/RawHttpConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tools/tileserver/TileAddress.h"

namespace {

constexpr int kTimeoutMs = 20000;
constexpr const char* kContact = "maps@orvanmap.test";
constexpr const char* kUserAgent = "orvan-tileserver/1.0 (+maps@orvanmap.test)";

std::string World(int n) { return "mt" + std::to_string(n) + "." + tileserver::WorldDomain(); }

std::vector<std::string> ViaUpstream(const TileServer& upstream, const TempFolder& cache) {
  return {"--source",    "upstream:http://" + upstream.HostPort() + "/mt?x={x}&y={y}&z={z}",
          "--contact",   kContact,
          "--cache-dir", cache.Path()};
}

RawHttpReply Get(TileServer& server, int x, int y, int z) {
  RawHttpConnection connection(server.Port());
  connection.Send(TileRequestText(World(x % 4), x, y, z, true));
  RawHttpReply reply;
  EXPECT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  return reply;
}

// The tile as the upstream serves it to anyone asking for it by its address.
std::string UpstreamTile(TileServer& upstream, int x, int y, int z) {
  RawHttpConnection connection(upstream.Port());
  connection.Send(TileRequestText(upstream.HostPort(), x, y, z, false));
  RawHttpReply reply;
  EXPECT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.status, 200);
  return reply.body;
}

std::vector<std::string> Outcomes(TileServer& server) {
  std::vector<std::string> outcomes;
  for (const TileServerLogEntry& e : server.Log()) outcomes.push_back(e.outcome);
  return outcomes;
}

std::string CacheFile(const TempFolder& folder) {
  for (const std::string& name : folder.Names())
    if (name.size() > 8 && name.substr(name.size() - 8) == ".mbtiles") return folder.File(name);
  ADD_FAILURE() << "no cache file in " << folder.Path();
  return "";
}

TEST(UpstreamSource, FortySimultaneousTilesTravelOverAtMostTwoKeptAliveConnectionsNamingTheContact) {
  constexpr int kTiles = 40;
  TileServer upstream({"--latency", "30", "--max-age", "3600"});
  TempFolder cache;
  TileServer proxy(ViaUpstream(upstream, cache));
  std::vector<std::unique_ptr<RawHttpConnection>> clients;
  for (int i = 0; i < kTiles; ++i) {
    clients.push_back(std::make_unique<RawHttpConnection>(proxy.Port()));
    clients.back()->Send(TileRequestText(World(i % 4), i, 1, 6, true));
  }
  std::vector<std::string> bodies;
  for (auto& client : clients) {
    RawHttpReply reply;
    ASSERT_EQ(client->ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
    ASSERT_EQ(reply.status, 200);
    bodies.push_back(reply.body);
  }
  const TileServerCounters counters = upstream.Counters();
  EXPECT_EQ(counters.requests, uint64_t(kTiles));
  EXPECT_EQ(counters.maxInFlight, 2u);
  EXPECT_LE(counters.connections, 2u);
  for (const TileServerLogEntry& entry : upstream.Log()) EXPECT_EQ(entry.userAgent, kUserAgent);
  for (int i = 0; i < kTiles; ++i) EXPECT_TRUE(bodies[i] == UpstreamTile(upstream, i, 1, 6)) << "tile " << i;
}

// A restarted server finds the tile on disk: no memory of the first one helps it.
TEST(UpstreamSource, AFreshTileIsServedFromTheDiskCacheWithoutAskingTheUpstream) {
  TileServer upstream({"--max-age", "3600"});
  TempFolder cache;
  std::string first;
  {
    TileServer proxy(ViaUpstream(upstream, cache));
    const RawHttpReply reply = Get(proxy, 3, 4, 5);
    ASSERT_EQ(reply.status, 200);
    first = reply.body;
  }
  TileServer restarted(ViaUpstream(upstream, cache));
  const RawHttpReply again = Get(restarted, 3, 4, 5);
  ASSERT_EQ(again.status, 200);
  EXPECT_TRUE(again.body == first);
  EXPECT_EQ(Outcomes(restarted), std::vector<std::string>{"200 cached"});
  EXPECT_EQ(upstream.Counters().requests, 1u);
  const std::string maxAge = again.Header("Cache-Control").value_or("");
  EXPECT_EQ(maxAge.substr(0, 8), "max-age=");
  EXPECT_GT(std::atoi(maxAge.c_str() + 8), 3500);
}

TEST(UpstreamSource, AStaleTileIsRevalidatedAndA304KeepsItsBytes) {
  TileServer upstream({"--max-age", "0"});
  TempFolder cache;
  TileServer proxy(ViaUpstream(upstream, cache));
  const RawHttpReply first = Get(proxy, 9, 9, 5);
  const RawHttpReply second = Get(proxy, 9, 9, 5);
  ASSERT_EQ(second.status, 200);
  EXPECT_TRUE(second.body == first.body);
  EXPECT_EQ(Outcomes(upstream), (std::vector<std::string>{"200 tile", "304 not-modified"}));
  EXPECT_EQ(Outcomes(proxy), (std::vector<std::string>{"200 fetched", "200 revalidated"}));
}

// Nothing goes upstream until the time named has passed: tiles in the cache are served (stale or
// not), others get 429 with the time left.
TEST(UpstreamSource, A429WithRetryAfterHoldsEveryRequestBackUntilItsTime) {
  constexpr int kRetryAfterSeconds = 2;
  TileServer upstream({"--max-age", "0"});
  TempFolder cache;
  TileServer proxy(ViaUpstream(upstream, cache));
  const RawHttpReply kept = Get(proxy, 1, 1, 4);
  ASSERT_EQ(kept.status, 200);
  upstream.AddRule("x=2 status=429 retry-after=" + std::to_string(kRetryAfterSeconds) + " times=1");

  const RawHttpReply refused = Get(proxy, 2, 1, 4);
  EXPECT_EQ(refused.status, 429);
  EXPECT_EQ(refused.Header("Retry-After"), std::to_string(kRetryAfterSeconds));
  const RawHttpReply sameAgain = Get(proxy, 2, 1, 4), other = Get(proxy, 3, 1, 4), cached = Get(proxy, 1, 1, 4);
  EXPECT_EQ(sameAgain.status, 429);
  EXPECT_EQ(other.status, 429);
  const int left = std::atoi(other.Header("Retry-After").value_or("0").c_str());
  EXPECT_TRUE(left >= 1 && left <= kRetryAfterSeconds) << left;
  ASSERT_EQ(cached.status, 200);
  EXPECT_TRUE(cached.body == kept.body);
  EXPECT_EQ(upstream.Counters().requests, 2u);

  std::this_thread::sleep_for(std::chrono::milliseconds(kRetryAfterSeconds * 1000 + 300));
  EXPECT_EQ(Get(proxy, 3, 1, 4).status, 200);
  EXPECT_EQ(upstream.Counters().requests, 3u);
}

TEST(UpstreamSource, UpstreamFailuresBecomeErrorStatusesAndNothingOfThemIsCached) {
  TileServer upstream({"--max-age", "0"});
  TempFolder cache;
  TileServer proxy(ViaUpstream(upstream, cache));
  upstream.AddRule("x=1 reset=mid");
  upstream.AddRule("x=2 status=500");
  upstream.AddRule("x=3 garbage");
  upstream.AddRule("x=4 length-delta=+100");  // the connection closes 100 bytes short
  upstream.AddRule("x=5 status=404");
  upstream.AddRule("x=6 reset=head");
  std::vector<int> statuses;
  for (int x = 1; x <= 6; ++x) statuses.push_back(Get(proxy, x, 0, 3).status);
  EXPECT_EQ(statuses, (std::vector<int>{502, 500, 502, 502, 404, 502}));
  EXPECT_EQ(Outcomes(proxy), (std::vector<std::string>{"502 unreachable", "500 upstream", "502 not-an-image",
                                                       "502 unreachable", "404 upstream", "502 unreachable"}));
  EXPECT_EQ(QueryRows(CacheFile(cache), "SELECT count(*) FROM tiles"), (std::vector<std::vector<std::string>>{{"0"}}));

  // A tile the cache holds is still served, stale as it is, when the upstream cannot be reached.
  const RawHttpReply kept = Get(proxy, 7, 0, 3);
  ASSERT_EQ(kept.status, 200);
  upstream.AddRule("x=7 reset=head");
  const RawHttpReply stale = Get(proxy, 7, 0, 3);
  ASSERT_EQ(stale.status, 200);
  EXPECT_TRUE(stale.body == kept.body);
  EXPECT_EQ(Outcomes(proxy).back(), "200 stale");
}

// The server is killed while tiles arrive and are written. Every tile row left in the file is a
// whole tile with its freshness, and a new server serves them from the file.
TEST(UpstreamSource, TheDiskCacheIsSoundAfterAKillInTheMiddleOfWriting) {
  constexpr int kTiles = 40, kReadBeforeKill = 10, kZoom = 8;
  TileServer upstream({"--latency", "5", "--max-age", "3600"});
  TempFolder cache;
  auto proxy = std::make_unique<TileServer>(ViaUpstream(upstream, cache));
  std::vector<std::unique_ptr<RawHttpConnection>> clients;
  for (int i = 0; i < kTiles; ++i) {
    clients.push_back(std::make_unique<RawHttpConnection>(proxy->Port()));
    clients.back()->Send(TileRequestText(World(i % 4), i, i, kZoom, true));
  }
  for (int i = 0; i < kReadBeforeKill; ++i) {
    RawHttpReply reply;
    ASSERT_EQ(clients[i]->ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  }
  proxy->Kill();
  clients.clear();

  const std::string file = CacheFile(cache);
  EXPECT_EQ(QueryRows(file, "PRAGMA integrity_check"), (std::vector<std::vector<std::string>>{{"ok"}}));
  const auto rows = QueryRows(file,
                              "SELECT t.zoom_level, t.tile_column, t.tile_row, t.tile_data, f.fresh_until_ms "
                              "FROM tiles t LEFT JOIN tile_freshness f USING (zoom_level, tile_column, tile_row)");
  EXPECT_EQ(QueryRows(file, "SELECT count(*) FROM tile_freshness")[0][0], std::to_string(rows.size()));
  ASSERT_GE(rows.size(), size_t(kReadBeforeKill));
  std::vector<int> stored;
  for (const auto& row : rows) {
    ASSERT_EQ(row[0], std::to_string(kZoom));
    const int x = std::stoi(row[1]), y = (1 << kZoom) - 1 - std::stoi(row[2]);
    ASSERT_EQ(x, y) << "a tile stored at another row";
    EXPECT_FALSE(row[4].empty()) << "tile " << x << " without its freshness";
    EXPECT_TRUE(row[3] == UpstreamTile(upstream, x, y, kZoom)) << "tile " << x << " is not the upstream's";
    stored.push_back(x);
  }

  upstream.Reset();
  TileServer restarted(ViaUpstream(upstream, cache));
  for (const int x : stored) EXPECT_EQ(Get(restarted, x, x, kZoom).status, 200);
  EXPECT_EQ(upstream.Counters().requests, 0u);
}

}  // namespace

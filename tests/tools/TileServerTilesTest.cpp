// The tile server's normal answers: real PNG tiles over loopback, in origin and proxy form,
// the two servers told apart, keep-alive, and the answers for paths that name no tile.
#include <gtest/gtest.h>

#include <set>

#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/PngTestImage.h"
#include "tools/tileserver/TileAddress.h"
#include "tools/tileserver/TileStyle.h"

namespace {

namespace style = tileserver::style;

constexpr int kTimeoutMs = 10000;

std::string World(int n) { return "mt" + std::to_string(n) + "." + tileserver::WorldDomain(); }
std::string Regional(int n) { return "mt" + std::to_string(n) + "." + tileserver::RegionalDomain(); }

RawHttpReply Fetch(TileServer& server, const std::string& request) {
  RawHttpConnection connection(server.Port());
  connection.Send(request);
  RawHttpReply reply;
  EXPECT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete) << request;
  return reply;
}

class TileServerTiles : public ::testing::Test {
 protected:
  TileServer server_;
};

TEST_F(TileServerTiles, ServesA256x256RgbPngWithTheBackgroundAtTheProbe) {
  const RawHttpReply reply = Fetch(server_, TileRequestText(World(1), 53, 24, 6, false));
  ASSERT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("Content-Type"), "image/png");
  EXPECT_EQ(reply.Header("Content-Length"), std::to_string(reply.body.size()));
  const DecodedPng png = DecodePng(reply.body);
  ASSERT_TRUE(png.ok);
  EXPECT_EQ(png.width, 256);
  EXPECT_EQ(png.height, 256);
  EXPECT_EQ(png.bitDepth, 8);
  EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
  EXPECT_EQ(png.At(style::kProbeX, style::kProbeY), style::kWorldBackground);
  EXPECT_EQ(png.At(0, 200), style::kWorldGrid);  // the tile's left edge is a grid line
}

TEST_F(TileServerTiles, RegionalTilesAreTintedAndDifferFromWorldTiles) {
  const RawHttpReply world = Fetch(server_, TileRequestText(World(2), 109, 49, 7, true));
  const RawHttpReply regional = Fetch(server_, TileRequestText(Regional(2), 109, 49, 7, true));
  const DecodedPng w = DecodePng(world.body);
  const DecodedPng r = DecodePng(regional.body);
  ASSERT_TRUE(w.ok && r.ok);
  EXPECT_EQ(w.At(style::kProbeX, style::kProbeY), style::kWorldBackground);
  EXPECT_EQ(r.At(style::kProbeX, style::kProbeY), style::kRegionalBackground);
  EXPECT_GT(r.At(style::kProbeX, style::kProbeY).b, r.At(style::kProbeX, style::kProbeY).r);  // visibly blue
  // Roads are white and present on every tile.
  size_t white = 0;
  for (int i = 0; i < 256 * 256; ++i) white += r.At(i % 256, i / 256) == style::kRoad;
  EXPECT_GT(white, 256u * 9);
}

TEST_F(TileServerTiles, TilesDifferByPositionAndServerNumberAndRepeatIdentically) {
  std::set<std::string> bodies;
  bodies.insert(Fetch(server_, TileRequestText(World(0), 0, 0, 1, false)).body);
  bodies.insert(Fetch(server_, TileRequestText(World(1), 1, 0, 1, false)).body);
  bodies.insert(Fetch(server_, TileRequestText(World(2), 0, 1, 1, false)).body);
  bodies.insert(Fetch(server_, TileRequestText(World(3), 0, 1, 1, false)).body);  // other server number
  EXPECT_EQ(bodies.size(), 4u);
  EXPECT_EQ(Fetch(server_, TileRequestText(World(1), 1, 0, 1, false)).body,
            Fetch(server_, TileRequestText(World(1), 1, 0, 1, true)).body);
}

TEST_F(TileServerTiles, ProxyAndOriginFormsAreLoggedWithTheirHost) {
  // The proxy form names the host in the target; its Host header says something else on purpose.
  Fetch(server_, "GET http://" + Regional(3) +
                     "/mt?v=kr1.9&hl=ko&x=111&y=48&z=7 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                     "User-Agent: unknown\r\n\r\n");
  Fetch(server_, TileRequestText(World(1), 53, 24, 6, false));
  const std::vector<TileServerLogEntry> log = server_.AnsweredLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].form, "absolute");
  EXPECT_EQ(log[0].host, Regional(3));
  EXPECT_EQ(log[0].path, "/mt?v=kr1.9&hl=ko&x=111&y=48&z=7");
  EXPECT_EQ(log[0].userAgent, "unknown");
  EXPECT_EQ(log[0].outcome, "200 tile");
  EXPECT_EQ(log[1].form, "origin");
  EXPECT_EQ(log[1].host, World(1));
  EXPECT_EQ(log[1].userAgent, "raw-test");
  EXPECT_LE(log[0].timeMs, log[1].timeMs);
}

TEST_F(TileServerTiles, KeepAliveCarriesSeveralRequestsIncludingPipelinedOnes) {
  RawHttpConnection connection(server_.Port());
  connection.Send(TileRequestText(World(0), 0, 0, 2, true));
  RawHttpReply first;
  ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, first), RawReadEnd::Complete);
  connection.Send(TileRequestText(World(1), 1, 0, 2, true) + TileRequestText(World(2), 0, 1, 2, true));
  RawHttpReply second, third;
  ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, second), RawReadEnd::Complete);
  ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, third), RawReadEnd::Complete);
  EXPECT_EQ(first.status, 200);
  EXPECT_TRUE(DecodePng(second.body).ok);
  EXPECT_TRUE(DecodePng(third.body).ok);
  const TileServerCounters counters = server_.Counters();
  EXPECT_EQ(counters.requests, 3u);
  EXPECT_EQ(counters.connections, 1u);
}

TEST_F(TileServerTiles, ConnectionCloseAndHttp10AreHonoured) {
  RawHttpConnection closing(server_.Port());
  closing.Send(TileRequestText(World(0), 0, 0, 1, false, "Connection: close\r\n"));
  EXPECT_EQ(closing.ReadUntilEnd(kTimeoutMs), RawReadEnd::Closed);
  RawHttpReply reply = ParseRawReply(closing.Received());
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_TRUE(DecodePng(reply.body).ok);

  RawHttpConnection old(server_.Port());
  old.Send("GET /mt?x=0&y=0&z=0 HTTP/1.0\r\nHost: " + World(0) + "\r\n\r\n");
  EXPECT_EQ(old.ReadUntilEnd(kTimeoutMs), RawReadEnd::Closed);
  EXPECT_TRUE(DecodePng(ParseRawReply(old.Received()).body).ok);
}

TEST_F(TileServerTiles, PathsAndPositionsThatNameNoTileAre404) {
  struct Case {
    std::string target;
    std::string outcome;
  };
  const std::vector<Case> cases = {
      {"/", "404 not-a-tile"},
      {"/mt?v=w2.92&hl=ko&x=1&y=1", "404 not-a-tile"},        // no level
      {"/mt?v=w2.92&hl=ko&x=1&y=one&z=3", "404 not-a-tile"},  // not a number
      {"/tiles?x=1&y=1&z=3", "404 not-a-tile"},
      {"/mt?v=w2.92&hl=ko&x=8&y=0&z=3", "404 out-of-range"},  // x = 2^3
      {"/mt?v=w2.92&hl=ko&x=-1&y=0&z=3", "404 out-of-range"},
      {"/mt?v=w2.92&hl=ko&x=0&y=0&z=31", "404 out-of-range"},
  };
  for (const Case& c : cases) {
    const RawHttpReply reply = Fetch(server_, "GET " + c.target + " HTTP/1.1\r\nHost: " + World(0) + "\r\n\r\n");
    EXPECT_EQ(reply.status, 404) << c.target;
  }
  const std::vector<TileServerLogEntry> log = server_.AnsweredLog();
  ASSERT_EQ(log.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(log[i].outcome, cases[i].outcome) << cases[i].target;
}

TEST_F(TileServerTiles, MalformedRequestsGet4xxAndTheConnectionCloses) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"GARBAGE\r\n\r\n", 400},
      {"GET /mt HTTP/2.0\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nno colon here\r\n\r\n", 400},
      {"GET /x HTTP/1.1\r\nX-Long: " + std::string(20000, 'a') + "\r\n\r\n", 431},
      {"POST /_control/rules HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n", 413},
      {"POST /_control/rules HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
  };
  for (const auto& [request, status] : cases) {
    RawHttpConnection connection(server_.Port());
    connection.Send(request);
    const RawReadEnd end = connection.ReadUntilEnd(kTimeoutMs);
    EXPECT_NE(end, RawReadEnd::TimedOut) << request.substr(0, 40);
    EXPECT_EQ(ParseRawReply(connection.Received()).status, status) << request.substr(0, 40);
  }
}

}  // namespace

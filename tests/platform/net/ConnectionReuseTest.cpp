// Kept-alive connections, as the server's connection counter sees them: reused for the same server
// or proxy, never after an answer that was not read to its end, never by two live requests at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"

namespace {

using namespace wininet_test;

constexpr char16_t kWorldHost[] = u"mt1.world-tiles.orvanmap.test";
constexpr char16_t kRegionalHost[] = u"mt2.regional-tiles.orvanmap.test";

// Downloads one tile on new root, connection and request handles, reading it to its end.
bool DownloadWhole(TileServer& server, int x) {
  OpenRequest open(server, TilePath(x, 0, 5));
  if (!open.Send()) return false;
  const BodyRead read = ReadBody(open.request, 1024);
  return read.ok && IsPng(read.body);
}

class ConnectionReuse : public testing::Test {
 protected:
  // Connections kept by earlier tests lead to servers that are gone; start from none.
  void SetUp() override { InternetCloseIdleConnections(); }
  void TearDown() override { InternetCloseIdleConnections(); }
};

TEST_F(ConnectionReuse, DownloadsOneAfterTheOtherUseOneConnection) {
  TileServer server;
  for (int x = 0; x < 3; ++x) ASSERT_TRUE(DownloadWhole(server, x)) << x;
  const TileServerCounters counters = server.Counters();
  EXPECT_EQ(counters.requests, 3u);
  EXPECT_EQ(counters.connections, 1u);
  EXPECT_EQ(InternetIdleConnectionCount(), 1u);
}

TEST_F(ConnectionReuse, TwoServersThroughOneProxyUseOneConnectionToTheProxy) {
  TileServer server;
  ProxyEnvironment proxy(server);
  for (const char16_t* host : {kWorldHost, kRegionalHost, kWorldHost}) {
    OpenRequest open(host, INTERNET_DEFAULT_HTTP_PORT, TilePath(3, 1, 5), INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_TRUE(open.Send()) << GetLastError();
    ASSERT_TRUE(ReadBody(open.request, 4096).ok);
  }
  const std::vector<TileServerLogEntry> log = WaitForLog(server, 3);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].host, "mt1.world-tiles.orvanmap.test");
  EXPECT_EQ(log[1].host, "mt2.regional-tiles.orvanmap.test");
  EXPECT_EQ(server.Counters().connections, 1u);
}

// Each answer below leaves its connection unusable or unknown: it must never reach the pool, so the
// honest download after it needs a connection of its own.
TEST_F(ConnectionReuse, AnswersCutShortCancelledResetTimedOutOrClosedLeaveNoConnectionBehind) {
  DeviceTimeoutsScope timeouts(5000, 500);
  TileServer server;
  ASSERT_TRUE(DownloadWhole(server, 0));
  struct Case {
    const char* name;
    const char* rule;
    void (*end)(OpenRequest&);
  };
  const Case cases[] = {
      {"cut short", "",
       [](OpenRequest& open) {
         char some[10];
         DWORD got = 0;
         InternetReadFile(open.request, some, sizeof some, &got);
       }},
      {"cancelled", "stall=100",
       [](OpenRequest& open) {
         std::thread reader([&open] { ReadBody(open.request, 4096); });
         std::this_thread::sleep_for(std::chrono::milliseconds(100));
         InternetCloseHandle(open.request);
         reader.join();
         open.request = nullptr;
       }},
      {"reset", "reset=mid", [](OpenRequest& open) { EXPECT_FALSE(ReadBody(open.request, 1024).ok); }},
      {"timed out", "stall=100 stall-ms=5000",
       [](OpenRequest& open) { EXPECT_EQ(ReadBody(open.request, 1024).error, ERROR_INTERNET_TIMEOUT); }},
      {"Connection: close", "close", [](OpenRequest& open) { EXPECT_TRUE(ReadBody(open.request, 1024).ok); }},
  };
  for (const Case& c : cases) {
    server.Reset();
    if (*c.rule != 0) server.AddRule(std::string("x=1 ") + c.rule);
    {
      OpenRequest open(server, TilePath(1, 0, 5));
      ASSERT_TRUE(open.Send()) << c.name;
      c.end(open);
    }
    EXPECT_EQ(InternetIdleConnectionCount(), 0u) << c.name;
    ASSERT_TRUE(DownloadWhole(server, 2)) << c.name;
    // The download under the rule took the kept connection; the honest one needed a new one.
    EXPECT_EQ(server.Counters().connections, 1u) << c.name << ": one new connection since the reset";
  }
  EXPECT_EQ(InternetIdleConnectionCount(), 1u);
}

TEST_F(ConnectionReuse, AKeptConnectionTheServerClosedIsReplacedByANewOne) {
  uint16_t port = 0;
  {
    TileServer first;
    port = first.Port();
    ASSERT_TRUE(DownloadWhole(first, 0));
    ASSERT_EQ(InternetIdleConnectionCount(), 1u);
  }  // the server ends: the kept connection is closed by its side
  TileServer second({"--port", std::to_string(port)});
  ASSERT_EQ(second.Port(), port);
  EXPECT_TRUE(DownloadWhole(second, 1));
  EXPECT_EQ(second.Counters().connections, 1u);

  // A connection that dies just as the request goes out on it (the server resets it before
  // answering) is retried once on a new connection.
  second.Reset();
  second.AddRule("reset=head times=1");
  EXPECT_TRUE(DownloadWhole(second, 2));
  const std::vector<TileServerLogEntry> log = WaitForLog(second, 2);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].outcome, "reset after 0 bytes");
  EXPECT_EQ(log[1].outcome, "200 tile");
  EXPECT_EQ(second.Counters().connections, 1u) << "the retry's connection";
}

// Two live requests on one connection would mix their answers: every body must be whole and right.
TEST_F(ConnectionReuse, SixtyFourThreadsAtOnceNeverShareAConnection) {
  constexpr int kThreads = 64;
  constexpr int kEach = 4;
  TileServer server({"--latency", "5"});
  EXPECT_EQ(DownloadOnThreads(server, kThreads, kEach, 7), kThreads * kEach);
  const TileServerCounters counters = server.Counters();
  EXPECT_EQ(counters.requests, static_cast<uint64_t>(kThreads * kEach));
  EXPECT_LE(counters.connections, static_cast<uint64_t>(kThreads * kEach));
  EXPECT_LE(InternetIdleConnectionCount(), kInternetMaxIdleConnectionsPerServer);
  EXPECT_EQ(InternetLiveObjectCount(), 0u);
}

}  // namespace

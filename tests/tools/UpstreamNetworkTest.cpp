// Upstream requests on a real network stack over loopback: an HTTP/2 front (nghttpx, TLS with a
// throwaway certificate the test trusts through the CA-file setting) before a tile server, and an
// HTTP proxy (tinyproxy) that tunnels https with CONNECT. A screen of tiles asked at once travels
// as streams of one connection with one TLS handshake, and over HTTP/1.1 on two connections that
// share one TLS session; a certificate that does not verify is
// refused with one line naming the host, and nothing is sent in the clear instead; the proxy of
// the environment carries https through CONNECT; a tile cancelled while on its way has its stream
// reset without harm to the connection.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <thread>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "tests/support/NetworkFronts.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"
#include "tilesources/SourceChoice.h"
#include "tilesources/TileImageFormat.h"
#include "tilesources/UpstreamNetwork.h"

namespace {

constexpr int kTimeoutMs = 20000;

// A screen's worth of tile positions (5 x 4 at level 5).
std::vector<tilesources::TilePosition> Screen() {
  std::vector<tilesources::TilePosition> screen;
  for (int32_t y = 10; y < 14; ++y)
    for (int32_t x = 10; x < 15; ++x) screen.push_back({x, y, 5});
  return screen;
}

std::shared_ptr<tilesources::TileSource> OpenUpstream(const std::string& origin, const std::string& caFile,
                                                      const TempFolder& cache, bool useProxyEnvironment) {
  tilesources::SourceSettings settings;
  settings.contact = "maps@orvanmap.test";
  settings.cacheDir = cache.Path();
  settings.caFile = caFile;
  settings.useProxyEnvironment = useProxyEnvironment;
  tilesources::OpenedSource opened = tilesources::OpenSource(
      *tilesources::ParseSourceChoice("upstream:" + origin + "/{z}/{x}/{y}.png", "synthetic").choice, settings);
  if (!opened.source) ADD_FAILURE() << opened.error;
  return std::shared_ptr<tilesources::TileSource>(std::move(opened.source));
}

// Asks for every position at once the way the control does (nothing waits on the network) and
// returns the answers in the order of `positions`.
std::vector<tilesources::SourcedTile> FetchAllAtOnce(tilesources::TileSource& source,
                                                     const std::vector<tilesources::TilePosition>& positions) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::optional<tilesources::SourcedTile>> answers(positions.size());
  size_t left = positions.size();
  // Settling runs on a thread of its own, as on a worker of the control's read queue.
  auto post = [](std::function<void()> job) {
    std::thread(std::move(job)).detach();
    return true;
  };
  std::vector<std::shared_ptr<tilesources::PendingFetch>> pending;
  for (size_t i = 0; i < positions.size(); ++i)
    pending.push_back(source.FetchLater(positions[i], post, [&, i](tilesources::SourcedTile tile) {
      std::lock_guard<std::mutex> lock(mutex);
      answers[i] = std::move(tile);
      if (--left == 0) arrived.notify_all();
    }));
  std::unique_lock<std::mutex> lock(mutex);
  EXPECT_TRUE(arrived.wait_for(lock, std::chrono::milliseconds(kTimeoutMs), [&] { return left == 0; }));
  // Answers still missing are cancelled before the callbacks' frame goes.
  for (const auto& p : pending)
    if (p && left != 0) p->Cancel();
  std::vector<tilesources::SourcedTile> tiles;
  for (auto& a : answers) tiles.push_back(a ? std::move(*a) : tilesources::SourcedTile::Text(0, "none", ""));
  return tiles;
}

class RealNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = Http2Front::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    front_.emplace(backend_.Port());
  }

  TileServer backend_{{"--latency", "20"}};
  std::optional<Http2Front> front_;
  TempFolder cache_{"upstream-network-cache"};
};

TEST_F(RealNetwork, AScreenOverHttp2TravelsOnOneConnectionWithOneHandshake) {
  std::shared_ptr<tilesources::TileSource> source = OpenUpstream(front_->Origin(), front_->CaFile(), cache_, false);
  ASSERT_TRUE(source);
  const int64_t connectionsBefore = tilesources::UpstreamNetwork::Shared(2)->ConnectionsOpened();
  const std::vector<tilesources::SourcedTile> tiles = FetchAllAtOnce(*source, Screen());
  for (const tilesources::SourcedTile& tile : tiles) {
    ASSERT_EQ(tile.status, 200) << tile.what << ": " << (tile.body ? *tile.body : "");
    EXPECT_EQ(tile.what, "fetched");
    EXPECT_EQ(tilesources::SniffTileImage(*tile.body), tilesources::TileImageFormat::Png);
  }
  // The client opened one connection; the front saw every request on one connection, over h2,
  // with one full handshake (not a resumed session: there was none before).
  EXPECT_EQ(tilesources::UpstreamNetwork::Shared(2)->ConnectionsOpened() - connectionsBefore, 1);
  const std::vector<Http2Front::Request> log = front_->AccessLog();
  ASSERT_EQ(log.size(), Screen().size());
  EXPECT_EQ(front_->Connections(), 1u);
  for (const Http2Front::Request& r : log) {
    EXPECT_EQ(r.alpn, "h2") << r.request;
    EXPECT_FALSE(r.sessionReused);
    EXPECT_EQ(r.status, 200);
  }
  // Several travelled at once (the backend saw them together), none waited for another's answer.
  EXPECT_GE(backend_.Counters().maxInFlight, 4u);
}

// A service without HTTP/2: the screen travels over two kept-alive connections, the second
// resuming the first's TLS session instead of a full handshake.
TEST_F(RealNetwork, OverHttp1TheScreenTravelsOnTwoConnectionsSharingOneTlsSession) {
  Http2Front http1(backend_.Port(), false);
  std::shared_ptr<tilesources::TileSource> source = OpenUpstream(http1.Origin(), http1.CaFile(), cache_, false);
  ASSERT_TRUE(source);
  // One tile first (its connection has the session by then), then the rest of the screen at once.
  std::vector<tilesources::TilePosition> rest = Screen();
  const std::vector<tilesources::TilePosition> first(rest.begin(), rest.begin() + 1);
  rest.erase(rest.begin());
  for (const auto& part : {first, rest})
    for (const tilesources::SourcedTile& tile : FetchAllAtOnce(*source, part)) EXPECT_EQ(tile.status, 200);
  const std::vector<Http2Front::Request> log = http1.AccessLog();
  ASSERT_EQ(log.size(), Screen().size());
  EXPECT_EQ(http1.Connections(), 2u);
  std::map<int, bool> reusedByConnection;
  for (const Http2Front::Request& r : log) {
    EXPECT_EQ(r.alpn, "http/1.1");
    reusedByConnection[r.clientPort] = r.sessionReused;
  }
  int resumed = 0;
  for (const auto& [port, reused] : reusedByConnection) resumed += reused ? 1 : 0;
  EXPECT_EQ(resumed, 1) << "the second connection made a full TLS handshake";
  EXPECT_LE(backend_.Counters().maxInFlight, 2u);
}

TEST_F(RealNetwork, ACertificateThatDoesNotVerifyIsRefusedWithOneLineNamingTheHost) {
  std::shared_ptr<tilesources::TileSource> source = OpenUpstream(front_->Origin(), front_->OtherCaFile(), cache_, false);
  ASSERT_TRUE(source);
  ::testing::internal::CaptureStderr();
  const tilesources::SourcedTile tile = source->Fetch({3, 4, 5});
  const tilesources::SourcedTile again = source->Fetch({4, 4, 5});
  const std::string stderrText = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(tile.status, 502);
  EXPECT_EQ(again.status, 502);
  const std::string host = "127.0.0.1:" + std::to_string(front_->Port());
  // One line, once, naming the host and the reason.
  EXPECT_EQ(stderrText.rfind("upstream " + host + ": TLS certificate refused: ", 0), 0u) << stderrText;
  EXPECT_EQ(stderrText.find('\n'), stderrText.size() - 1) << stderrText;
  EXPECT_NE(source->Describe().find(host + ": TLS certificate refused"), std::string::npos) << source->Describe();
  // Nothing reached the tile server, neither through the front nor in the clear.
  EXPECT_EQ(front_->AccessLog().size(), 0u);
  EXPECT_EQ(backend_.Counters().requests, 0u);
}

TEST_F(RealNetwork, HttpsGoesThroughTheProxyOfTheEnvironmentWithConnect) {
  if (const std::string why = ConnectProxy::Unavailable(); !why.empty()) GTEST_SKIP() << why;
  ConnectProxy proxy(front_->Port());
  // Set before the network thread starts (it reads them), undone after it ends.
  struct ProxySettings {
    explicit ProxySettings(const std::string& url) {
      ::setenv("https_proxy", url.c_str(), 1);
      ::unsetenv("no_proxy");
      ::unsetenv("NO_PROXY");
    }
    ~ProxySettings() { ::unsetenv("https_proxy"); }
  } settings(proxy.Url());
  {
    std::shared_ptr<tilesources::TileSource> source = OpenUpstream(front_->Origin(), front_->CaFile(), cache_, true);
    ASSERT_TRUE(source);
    for (const tilesources::SourcedTile& tile : FetchAllAtOnce(*source, Screen())) EXPECT_EQ(tile.status, 200);
  }
  const std::vector<std::string> connects = proxy.Connects();
  ASSERT_GE(connects.size(), 1u) << "nothing went through the proxy";
  for (const std::string& c : connects) EXPECT_EQ(c, "CONNECT 127.0.0.1:" + std::to_string(front_->Port()));
  EXPECT_EQ(front_->AccessLog().size(), Screen().size());
  EXPECT_EQ(front_->Connections(), 1u);
}

TEST_F(RealNetwork, ACancelledTileResetsItsStreamAndTheConnectionCarriesOn) {
  backend_.AddRule("x=7 delay=1500");
  std::shared_ptr<tilesources::TileSource> source = OpenUpstream(front_->Origin(), front_->CaFile(), cache_, false);
  ASSERT_TRUE(source);
  auto post = [](std::function<void()> job) {
    job();
    return true;
  };
  std::atomic<bool> cancelledAnswered{false};
  std::shared_ptr<tilesources::PendingFetch> slow =
      source->FetchLater({7, 7, 5}, post, [&](tilesources::SourcedTile) { cancelledAnswered = true; });
  ASSERT_TRUE(slow);
  ASSERT_TRUE(backend_.WaitForRequests(1, kTimeoutMs));
  slow->Cancel();
  const std::vector<tilesources::SourcedTile> others = FetchAllAtOnce(*source, {{8, 7, 5}, {9, 7, 5}});
  for (const tilesources::SourcedTile& tile : others) EXPECT_EQ(tile.status, 200);
  // The front passed the reset on: the backend's answer to the cancelled tile found its client gone.
  std::string slowOutcome;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  while ((slowOutcome.empty() || slowOutcome == "pending") && std::chrono::steady_clock::now() < deadline) {
    for (const TileServerLogEntry& entry : backend_.Log())
      if (entry.path == "/5/7/7.png") slowOutcome = entry.outcome;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(slowOutcome.find("client-closed"), std::string::npos) << slowOutcome;
  EXPECT_FALSE(cancelledAnswered) << "a cancelled tile was answered";
  // The stream was reset, not the connection: the other tiles came on the same one.
  EXPECT_EQ(front_->AccessLog().size(), 2u);
  EXPECT_EQ(front_->Connections(), 1u);
}

}  // namespace

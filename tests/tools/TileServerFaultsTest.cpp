// Each fault rule does on the wire what it says: status codes, delays, lying and absent
// lengths, exact large bodies, chunked coding, stalls, resets, garbage and redirects.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/PngTestImage.h"
#include "tools/tileserver/TileAddress.h"

namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kQuietMs = 150;  // "nothing arrives" is checked over this long, against much longer server delays

std::string World(int n) { return "mt" + std::to_string(n) + "." + tileserver::WorldDomain(); }

class TileServerFaults : public ::testing::Test {
 protected:
  // Sends the request for tile (x, 0, 5) and reads one framed answer.
  RawHttpReply FetchOne(int x) {
    RawHttpConnection c(server_.Port());
    c.Send(TileRequestText(World(x % 4), x, 0, 5, true));
    RawHttpReply reply;
    EXPECT_EQ(c.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
    return reply;
  }

  // Sends the request for tile (x, 0, 5) and reads until the server ends the connection.
  RawReadEnd FetchToEnd(int x, RawHttpReply& reply, std::string* raw = nullptr) {
    RawHttpConnection c(server_.Port());
    c.Send(TileRequestText(World(x % 4), x, 0, 5, true));
    const RawReadEnd end = c.ReadUntilEnd(kTimeoutMs);
    reply = ParseRawReply(c.Received());
    if (raw) *raw = c.Received();
    return end;
  }

  std::string LastOutcome() {
    const std::vector<TileServerLogEntry> log = server_.Log();
    return log.empty() ? "" : log.back().outcome;
  }

  TileServer server_;
};

TEST_F(TileServerFaults, StatusRulesMatchColumnRowLevelAndServerAndTheNewestWins) {
  server_.AddRule("z=5 status=500");
  server_.AddRule("z=5 x=3 status=404");
  server_.AddRule("server=regional status=503");
  struct Case {
    std::string host;
    int x, y, z;
    int status;
  };
  const std::vector<Case> cases = {
      {World(3), 3, 0, 5, 404},  // both z=5 rules match; the newer one wins
      {World(0), 4, 0, 5, 500},
      {World(0), 4, 0, 6, 200},
      {"mt1." + tileserver::RegionalDomain(), 4, 0, 6, 503},
  };
  for (const Case& c : cases) {
    RawHttpConnection connection(server_.Port());
    connection.Send(TileRequestText(c.host, c.x, c.y, c.z, true));
    RawHttpReply reply;
    ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
    EXPECT_EQ(reply.status, c.status) << c.host << " " << c.x << "," << c.y << "," << c.z;
    if (c.status != 200) {
      EXPECT_EQ(reply.body, std::to_string(c.status) + " rule\n");
    }
  }
  const std::vector<TileServerLogEntry> log = server_.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].outcome, "404 rule");
  EXPECT_EQ(log[2].outcome, "200 tile");
}

TEST_F(TileServerFaults, StatusesWithoutBodySendNoneAndKeepTheConnectionUsable) {
  server_.AddRule("x=2 status=204");
  server_.AddRule("x=3 status=304");
  RawHttpConnection c(server_.Port());
  c.Send(TileRequestText(World(2), 2, 0, 5, true) + TileRequestText(World(3), 3, 0, 5, true) +
         TileRequestText(World(0), 4, 0, 5, true));
  RawHttpReply noContent, notModified, tile;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, noContent), RawReadEnd::Complete);
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, notModified), RawReadEnd::Complete);
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, tile), RawReadEnd::Complete);
  EXPECT_EQ(noContent.status, 204);
  EXPECT_FALSE(noContent.Header("Content-Length"));
  EXPECT_EQ(notModified.status, 304);
  EXPECT_EQ(notModified.Header("Content-Length"), "0");
  EXPECT_EQ(tile.status, 200);  // no stray body bytes came in between
  EXPECT_TRUE(DecodePng(tile.body).ok);
}

TEST_F(TileServerFaults, TimesLimitsARuleAndResetRemovesRunTimeRules) {
  server_.AddRule("x=7 times=2 status=500");
  std::vector<int> statuses;
  for (int i = 0; i < 3; ++i) statuses.push_back(FetchOne(7).status);
  EXPECT_EQ(statuses, (std::vector<int>{500, 500, 200}));
  server_.AddRule("x=7 status=404");
  server_.Reset();
  EXPECT_EQ(FetchOne(7).status, 200);
}

TEST_F(TileServerFaults, DelayHoldsTheHeadAndChunkDelayPacesTheBody) {
  server_.AddRule("x=1 delay=1500");
  RawHttpConnection delayed(server_.Port());
  delayed.Send(TileRequestText(World(1), 1, 0, 5, true));
  EXPECT_EQ(delayed.ReadAtLeast(1, kQuietMs), RawReadEnd::TimedOut);
  RawHttpReply reply;
  ASSERT_EQ(delayed.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_TRUE(DecodePng(reply.body).ok);

  server_.AddRule("x=2 chunk-size=100 chunk-delay=3000");
  RawHttpConnection paced(server_.Port());
  paced.Send(TileRequestText(World(2), 2, 0, 5, true));
  ASSERT_EQ(paced.ReadAtLeast(1, kTimeoutMs), RawReadEnd::Complete);
  ASSERT_TRUE(ParseRawReply(paced.Received()).headComplete);
  const size_t headSize = paced.Received().size() - ParseRawReply(paced.Received()).body.size();
  ASSERT_EQ(paced.ReadAtLeast(headSize + 100, kTimeoutMs), RawReadEnd::Complete);
  EXPECT_EQ(paced.ReadAtLeast(headSize + 101, kQuietMs), RawReadEnd::TimedOut);  // the next piece waits
  EXPECT_EQ(paced.Received().size(), headSize + 100);
}

TEST_F(TileServerFaults, ConnectDelayHoldsOnlyTheFirstAnswerOfAConnection) {
  constexpr int kConnectDelayMs = 3000;
  server_.AddRule("connect-delay=" + std::to_string(kConnectDelayMs));
  RawHttpConnection c(server_.Port());
  c.Send(TileRequestText(World(1), 1, 0, 5, true));
  EXPECT_EQ(c.ReadAtLeast(1, kQuietMs), RawReadEnd::TimedOut);
  RawHttpReply first;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, first), RawReadEnd::Complete);
  // The same connection answers its next request without the delay: well within half of it.
  c.Send(TileRequestText(World(2), 2, 0, 5, true));
  RawHttpReply second;
  ASSERT_EQ(c.ReadOneResponse(kConnectDelayMs / 2, second), RawReadEnd::Complete);
  EXPECT_EQ(second.status, 200);
  EXPECT_EQ(server_.Counters().connections, 1u);
}

TEST_F(TileServerFaults, LyingAndAbsentLengthsSendTheWholeTileThenClose) {
  const std::string honest = FetchOne(3).body;
  const size_t size = honest.size();
  struct Case {
    std::string rule;
    std::optional<std::string> declared;  // nullopt: no Content-Length at all
  };
  const std::vector<Case> cases = {
      {"length-delta=+100", std::to_string(size + 100)},
      {"length-delta=-100", std::to_string(size - 100)},
      {"length=-5", "-5"},
      {"length=99999999999", "99999999999"},
      {"length=none", std::nullopt},
  };
  for (const Case& c : cases) {
    server_.Reset();
    server_.AddRule("x=3 " + c.rule);
    RawHttpReply reply;
    EXPECT_EQ(FetchToEnd(3, reply), RawReadEnd::Closed) << c.rule;
    EXPECT_EQ(reply.status, 200) << c.rule;
    EXPECT_EQ(reply.Header("Content-Length"), c.declared) << c.rule;
    EXPECT_FALSE(reply.Header("Transfer-Encoding")) << c.rule;
    EXPECT_EQ(reply.Header("Connection"), "close") << c.rule;
    EXPECT_EQ(reply.body, honest) << c.rule;
  }
}

TEST_F(TileServerFaults, BodySizeSendsExactlyThatManyBytesAroundTheLargestAcceptedLength) {
  for (size_t size : {size_t{10485760}, size_t{10485761}}) {
    server_.Reset();
    server_.AddRule("x=4 body-size=" + std::to_string(size));
    RawHttpConnection c(server_.Port());
    c.Send(TileRequestText(World(0), 4, 0, 5, true));
    RawHttpReply reply;
    ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
    EXPECT_EQ(reply.Header("Content-Length"), std::to_string(size));
    ASSERT_EQ(reply.body.size(), size);
    EXPECT_EQ(reply.body.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);  // the tile, padded
    EXPECT_EQ(reply.body.back(), '\0');
  }
  server_.AddRule("x=4 body-size=10");
  RawHttpConnection cut(server_.Port());
  cut.Send(TileRequestText(World(0), 4, 0, 5, true));
  RawHttpReply reply;
  ASSERT_EQ(cut.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.body, FetchOne(4).body.substr(0, 10));
}

TEST_F(TileServerFaults, ChunkedBodiesDecodeToTheTileAndKeepTheConnection) {
  const std::string honest = FetchOne(5).body;
  server_.AddRule("x=5 chunked chunk-size=500");
  RawHttpConnection c(server_.Port());
  c.Send(TileRequestText(World(1), 5, 0, 5, true));
  RawHttpReply reply;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.Header("Transfer-Encoding"), "chunked");
  EXPECT_FALSE(reply.Header("Content-Length"));
  EXPECT_EQ(reply.body.rfind("1f4\r\n", 0), 0u);  // first chunk: 500 bytes
  EXPECT_EQ(DecodeChunked(reply.body), honest);
  c.Send(TileRequestText(World(1), 5, 0, 5, true));  // the same connection carries the next request
  RawHttpReply again;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, again), RawReadEnd::Complete);
  EXPECT_EQ(DecodeChunked(again.body), honest);
}

TEST_F(TileServerFaults, StallSendsPartOfTheBodyThenHoldsUntilTheClientOrItsLimitEnds) {
  server_.AddRule("x=6 stall=100");
  {
    RawHttpConnection c(server_.Port());
    c.Send(TileRequestText(World(2), 6, 0, 5, true));
    ASSERT_EQ(c.ReadAtLeast(1, kTimeoutMs), RawReadEnd::Complete);
    const size_t headSize = c.Received().find("\r\n\r\n") + 4;
    ASSERT_EQ(c.ReadAtLeast(headSize + 100, kTimeoutMs), RawReadEnd::Complete);
    EXPECT_EQ(c.ReadUntilEnd(kQuietMs), RawReadEnd::TimedOut);  // held open, silent
    EXPECT_EQ(c.Received().size(), headSize + 100);
    EXPECT_GT(std::stoul(ParseRawReply(c.Received()).Header("Content-Length").value_or("0")), 100u);
    EXPECT_EQ(LastOutcome(), "stall after 100 bytes");
  }
  // The client has gone; the server notices and ends the stall.
  for (int i = 0; i < 100 && LastOutcome() != "stall after 100 bytes client-closed"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(LastOutcome(), "stall after 100 bytes client-closed");
  EXPECT_EQ(server_.Counters().inFlight, 0u);

  server_.AddRule("x=6 stall=0 stall-ms=100");
  RawHttpReply reply;
  EXPECT_EQ(FetchToEnd(6, reply), RawReadEnd::Closed);  // the server closes after its limit
  EXPECT_TRUE(reply.headComplete);
  EXPECT_TRUE(reply.body.empty());
}

TEST_F(TileServerFaults, ResetsComeBeforeTheHeadAfterItOrInsideTheBody) {
  const std::string honest = FetchOne(7).body;
  struct Case {
    std::string rule;
    bool head;
    size_t bodyBytes;
  };
  const std::vector<Case> cases = {
      {"reset=head", false, 0},
      {"reset=body", true, 0},
      {"reset=500", true, 500},
      {"reset=mid", true, honest.size() / 2},
  };
  for (const Case& c : cases) {
    server_.Reset();
    server_.AddRule("x=7 " + c.rule);
    RawHttpReply reply;
    std::string raw;
    EXPECT_EQ(FetchToEnd(7, reply, &raw), RawReadEnd::Reset) << c.rule;
    EXPECT_EQ(reply.headComplete, c.head) << c.rule;
    if (!c.head) {
      EXPECT_TRUE(raw.empty()) << c.rule;
    }
    EXPECT_EQ(reply.body, honest.substr(0, c.bodyBytes)) << c.rule;
    EXPECT_EQ(LastOutcome(), "reset after " + std::to_string(c.bodyBytes) + " bytes") << c.rule;
  }
}

TEST_F(TileServerFaults, GarbageIsAnOkAnswerThatIsNoImage) {
  server_.AddRule("x=8 garbage");
  server_.AddRule("x=9 garbage=10");
  RawHttpConnection c(server_.Port());
  c.Send(TileRequestText(World(0), 8, 0, 5, true) + TileRequestText(World(1), 9, 0, 5, true));
  RawHttpReply big, small;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, big), RawReadEnd::Complete);
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, small), RawReadEnd::Complete);
  EXPECT_EQ(big.status, 200);
  EXPECT_EQ(big.Header("Content-Type"), "image/png");
  EXPECT_EQ(big.body.size(), 2000u);
  EXPECT_FALSE(DecodePng(big.body).ok);
  EXPECT_EQ(small.body, "This is no");
  EXPECT_EQ(LastOutcome(), "200 garbage");
}

TEST_F(TileServerFaults, RedirectsPointBackToTheTileWhichThenAnswersNormally) {
  server_.AddRule("x=10 redirect=301");
  server_.AddRule("x=11 location=http://elsewhere.test/tile.png");
  RawHttpConnection c(server_.Port());
  c.Send(TileRequestText(World(2), 10, 0, 5, true));
  RawHttpReply moved;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, moved), RawReadEnd::Complete);
  EXPECT_EQ(moved.status, 301);
  const std::string location = "http://" + World(2) + "/mt?v=w2.92&hl=ko&x=10&y=0&z=5&redirected=1";
  EXPECT_EQ(moved.Header("Location"), location);

  c.Send("GET " + location + " HTTP/1.1\r\nHost: " + World(2) + "\r\n\r\n");
  RawHttpReply followed;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, followed), RawReadEnd::Complete);
  EXPECT_EQ(followed.status, 200);
  EXPECT_TRUE(DecodePng(followed.body).ok);

  c.Send(TileRequestText(World(3), 11, 0, 5, true));
  RawHttpReply found;
  ASSERT_EQ(c.ReadOneResponse(kTimeoutMs, found), RawReadEnd::Complete);
  EXPECT_EQ(found.status, 302);
  EXPECT_EQ(found.Header("Location"), "http://elsewhere.test/tile.png");

  const std::vector<TileServerLogEntry> log = server_.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].outcome, "301 redirect");
  EXPECT_EQ(log[1].outcome, "200 tile");
}

TEST_F(TileServerFaults, CloseAnswersNormallyThenEndsTheConnection) {
  server_.AddRule("x=12 close");
  RawHttpReply reply;
  EXPECT_EQ(FetchToEnd(12, reply), RawReadEnd::Closed);
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_TRUE(DecodePng(reply.body).ok);
}

}  // namespace

// Whole downloads from the local tile server: the head before the body, exact bodies at any read
// size and framing, the end of the body, large bodies read slowly, error answers with bodies.
#include <gtest/gtest.h>

#include <thread>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"

namespace {

using namespace wininet_test;

const std::u16string kTile = TilePath(53, 24, 6);

std::vector<uint8_t> FetchBody(const TileServer& server, const std::u16string& path, DWORD chunk) {
  OpenRequest open(server, path);
  EXPECT_TRUE(open.Send()) << GetLastError();
  BodyRead read = ReadBody(open.request, chunk);
  EXPECT_TRUE(read.ok) << read.error;
  return read.body;
}

TEST(WinInetDownload, HeadIsReadableBeforeTheBodyAndTheBodyIsExactAtEveryReadSize) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Opened());
  ASSERT_TRUE(open.Send()) << GetLastError();
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_STATUS_CODE), "200");
  const std::optional<std::string> length = QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH);
  ASSERT_TRUE(length.has_value());
  const BodyRead reference = ReadBody(open.request, 4096);
  ASSERT_TRUE(reference.ok) << reference.error;
  EXPECT_EQ(std::to_string(reference.body.size()), *length);
  EXPECT_TRUE(IsPng(reference.body));

  for (DWORD chunk : {1u, 7u, 1024u, 100000u}) {
    OpenRequest again(server, kTile);
    ASSERT_TRUE(again.Send()) << GetLastError();
    const BodyRead read = ReadBody(again.request, chunk);
    ASSERT_TRUE(read.ok) << "chunk " << chunk << " error " << read.error;
    EXPECT_LE(read.largestRead, chunk);
    EXPECT_EQ(read.body, reference.body) << "chunk " << chunk;
  }
}

TEST(WinInetDownload, EndOfBodyIsSuccessWithZeroBytesEveryTime) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  ASSERT_TRUE(ReadBody(open.request, 65536).ok);
  for (int i = 0; i < 3; ++i) {
    char byte = 0;
    DWORD got = 99;
    EXPECT_TRUE(InternetReadFile(open.request, &byte, 1, &got));
    EXPECT_EQ(got, 0u);
    DWORD available = 99;
    EXPECT_TRUE(InternetQueryDataAvailable(open.request, &available, 0, 0));
    EXPECT_EQ(available, 0u);
  }
}

TEST(WinInetDownload, SameBodyWhetherDeclaredUndeclaredChunkedOrPaced) {
  TileServer server;
  const std::vector<uint8_t> reference = FetchBody(server, kTile, 4096);
  ASSERT_TRUE(IsPng(reference));
  for (const char* rule : {"length=none times=1", "chunked chunk-size=100 times=1",
                           "chunk-size=300 chunk-delay=2 times=1", "close times=1"}) {
    server.AddRule(rule);
    EXPECT_EQ(FetchBody(server, kTile, 500), reference) << rule;
  }
}

TEST(WinInetDownload, QueryDataAvailableWaitsForBytesAndCountsWhatAReadReturns) {
  TileServer server;
  server.AddRule("chunk-size=500 chunk-delay=20");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  size_t total = 0;
  for (;;) {
    DWORD available = 0;
    ASSERT_TRUE(InternetQueryDataAvailable(open.request, &available, 0, 0)) << GetLastError();
    std::vector<uint8_t> buffer(available + 100);
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(open.request, buffer.data(), static_cast<DWORD>(buffer.size()), &got));
    if (available == 0) {
      EXPECT_EQ(got, 0u) << "0 available must mean the end here";
      break;
    }
    EXPECT_EQ(got, available) << "the bytes reported are all readable at once";
    total += got;
  }
  EXPECT_EQ(std::to_string(total), QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH));
}

// A body much larger than the client's overflow, read slowly: the transfer pauses while nobody reads
// and resumes without losing or repeating bytes; time spent outside the calls is no receive time-out.
TEST(WinInetDownload, LargeBodyReadSlowlyArrivesIntact) {
  constexpr size_t kBodySize = 1000000;
  DeviceTimeoutsScope timeouts(5000, 300);
  TileServer server;
  const std::vector<uint8_t> tile = FetchBody(server, kTile, 4096);
  server.AddRule("body-size=" + std::to_string(kBodySize));
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH), std::to_string(kBodySize));

  std::vector<uint8_t> body(100);
  DWORD got = 0;
  ASSERT_TRUE(InternetReadFile(open.request, body.data(), 100, &got));
  body.resize(got);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  DWORD available = 0;
  ASSERT_TRUE(InternetQueryDataAvailable(open.request, &available, 0, 0));
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, 64u * 1024u) << "early bytes are held in a bounded buffer";
  const BodyRead rest = ReadBody(open.request, 3000);
  ASSERT_TRUE(rest.ok) << rest.error;
  body.insert(body.end(), rest.body.begin(), rest.body.end());

  ASSERT_EQ(body.size(), kBodySize);
  EXPECT_TRUE(std::equal(tile.begin(), tile.end(), body.begin()));
  EXPECT_TRUE(
      std::all_of(body.begin() + static_cast<ptrdiff_t>(tile.size()), body.end(), [](uint8_t b) { return b == 0; }));
}

TEST(WinInetDownload, ErrorAnswerHasItsStatusAndBody) {
  TileServer server;
  server.AddRule("status=404");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send()) << "an error answer is still a response";
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_STATUS_CODE), "404");
  const BodyRead read = ReadBody(open.request, 1024);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(std::string(read.body.begin(), read.body.end()), "404 rule\n");
}

}  // namespace

// Responses that break: a broken or cut body is a failed read, never an end of body; silence and
// stalls end by the receive time-out; declared lengths that lie still reach the caller as text.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"
#include "tests/support/LoopbackListen.h"

namespace {

using namespace wininet_test;

const std::u16string kTile = TilePath(53, 24, 6);
constexpr DWORD kShortReceiveMs = 300;
constexpr DWORD kConnectMs = 5000;

size_t TileSize(TileServer& server) {
  OpenRequest open(server, kTile);
  EXPECT_TRUE(open.Send());
  const BodyRead read = ReadBody(open.request, 4096);
  EXPECT_TRUE(read.ok);
  return read.body.size();
}

TEST(WinInetBrokenResponse, ResetInTheBodyFailsTheReadAfterTheBytesBeforeIt) {
  TileServer server;
  const size_t tileSize = TileSize(server);
  server.AddRule("reset=1000");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  const BodyRead read = ReadBody(open.request, 256);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, ERROR_INTERNET_CONNECTION_RESET);
  EXPECT_EQ(read.body.size(), 1000u);
  EXPECT_LT(read.body.size(), tileSize);
  // The failure is final: the next read fails too instead of pretending the body ended.
  char byte = 0;
  DWORD got = 7;
  EXPECT_FALSE(InternetReadFile(open.request, &byte, 1, &got));
  EXPECT_EQ(got, 0u);
}

TEST(WinInetBrokenResponse, ResetBeforeTheHeadFailsTheSend) {
  TileServer server;
  server.AddRule("reset=head");
  OpenRequest open(server, kTile);
  EXPECT_FALSE(open.Send());
  const DWORD error = GetLastError();
  EXPECT_TRUE(error == ERROR_INTERNET_CONNECTION_RESET || error == ERROR_INTERNET_CONNECTION_ABORTED) << error;
  EXPECT_FALSE(QueryText(open.request, HTTP_QUERY_STATUS_CODE).has_value());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
}

TEST(WinInetBrokenResponse, BodyShorterThanDeclaredFailsTheRead) {
  TileServer server;
  const size_t tileSize = TileSize(server);
  server.AddRule("length-delta=+100");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH), std::to_string(tileSize + 100));
  const BodyRead read = ReadBody(open.request, 1024);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, ERROR_INTERNET_CONNECTION_ABORTED);
  EXPECT_EQ(read.body.size(), tileSize);
}

TEST(WinInetBrokenResponse, BytesPastTheDeclaredLengthAreNotPartOfTheBody) {
  TileServer server;
  const size_t tileSize = TileSize(server);
  server.AddRule("length-delta=-100");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  const BodyRead read = ReadBody(open.request, 1024);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.body.size(), tileSize - 100);
}

TEST(WinInetBrokenResponse, StalledBodyFailsByTheReceiveTimeout) {
  DeviceTimeoutsScope timeouts(kConnectMs, kShortReceiveMs);
  TileServer server;
  server.AddRule("stall=1000");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  const BodyRead read = ReadBody(open.request, 512);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(read.body.size(), 1000u);
}

TEST(WinInetBrokenResponse, SilentServerFailsTheSendByTheReceiveTimeout) {
  DeviceTimeoutsScope timeouts(kConnectMs, kShortReceiveMs);
  TileServer server;
  server.AddRule("delay=20000");
  OpenRequest open(server, kTile);
  EXPECT_FALSE(open.Send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
}

TEST(WinInetBrokenResponse, ClosedPortFailsTheSendWithCannotConnect) {
  INTERNET_PORT closedPort = 0;
  {
    TileServer gone;
    closedPort = gone.Port();
  }
  OpenRequest open(kLoopback, closedPort, kTile);
  EXPECT_FALSE(open.Send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
}

// A host that never answers the connection (down, or behind a firewall that drops): no refusal
// comes, and the send fails by the connect time-out instead of waiting for the system's own. A
// listener that never accepts, its queue already full, makes the kernel drop further attempts.
TEST(WinInetBrokenResponse, AHostThatNeverAnswersFailsTheSendByTheConnectTimeout) {
  constexpr DWORD kShortConnectMs = 400;
  DeviceTimeoutsScope timeouts(kShortConnectMs, kInternetDefaultReceiveTimeoutMs);
  uint16_t port = 0;
  const int listener = loopback::Listen(0, &port);
  const int queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = loopback::Address(port);
  ASSERT_EQ(::connect(queued, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
  OpenRequest open(kLoopback, port, kTile);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(open.Send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  // Bounded far below the default 60 s: the short time-out is what ended it.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ::close(queued);
  ::close(listener);
}

// Declared lengths that are no valid number: the caller reads the text as sent (and can refuse the
// answer), but the body cannot be framed, so reading it fails rather than guessing its end.
TEST(WinInetBrokenResponse, MalformedDeclaredLengthIsReadableTextAndTheBodyFails) {
  TileServer server;
  for (const char* length : {"-5", "12abc", "99999999999999999999999"}) {
    // Not limited by "times": a length that is no number at all is asked for twice (see WinInet.h).
    server.Reset();
    server.AddRule(std::string("length=") + length);
    OpenRequest open(server, kTile);
    ASSERT_TRUE(open.Send()) << length << ": " << GetLastError();
    EXPECT_EQ(QueryText(open.request, HTTP_QUERY_STATUS_CODE), "200");
    EXPECT_EQ(QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH), length);
    DWORD number = 0;
    DWORD size = sizeof number;
    EXPECT_FALSE(
        HttpQueryInfoW(open.request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_INVALID_HEADER);
    DWORD available = 99;
    EXPECT_TRUE(InternetQueryDataAvailable(open.request, &available, 0, 0));
    EXPECT_EQ(available, 0u);
    const BodyRead read = ReadBody(open.request, 1024);
    EXPECT_FALSE(read.ok) << length;
    EXPECT_EQ(read.error, ERROR_HTTP_INVALID_SERVER_RESPONSE) << length;
    EXPECT_TRUE(read.body.empty());
  }
}

TEST(WinInetBrokenResponse, HugeDeclaredLengthIsReadableAndTheCutBodyFails) {
  TileServer server;
  const size_t tileSize = TileSize(server);
  server.AddRule("length=99999999999");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH), "99999999999");
  const BodyRead read = ReadBody(open.request, 1024);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, ERROR_INTERNET_CONNECTION_ABORTED);
  EXPECT_EQ(read.body.size(), tileSize);
}

}  // namespace

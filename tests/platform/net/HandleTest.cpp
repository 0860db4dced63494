// Handles: closing in any order, stale, made-up and wrong-kind handles, calls in the wrong state,
// header queries with their byte sizes, and arguments the client refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"

namespace {

using namespace wininet_test;

const std::u16string kTile = TilePath(53, 24, 6);

TEST(WinInetHandles, ClosingInEveryOrderMidBodyLeavesNothingAlive) {
  TileServer server;
  const size_t before = InternetLiveObjectCount();
  std::array<int, 3> order = {0, 1, 2};
  do {
    OpenRequest open(server, kTile);
    ASSERT_TRUE(open.Send());
    char some[10];
    DWORD got = 0;
    ASSERT_TRUE(InternetReadFile(open.request, some, sizeof some, &got));
    HINTERNET handles[3] = {open.root, open.connection, open.request};
    for (int which : order) {
      EXPECT_TRUE(InternetCloseHandle(handles[which])) << "order " << order[0] << order[1] << order[2];
    }
    open.root = open.connection = open.request = nullptr;
    EXPECT_EQ(InternetLiveObjectCount(), before);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(WinInetHandles, RequestKeepsWorkingAfterItsParentsAreClosed) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(InternetCloseHandle(open.root));
  // A connection whose root is closed still opens requests.
  HINTERNET second =
      HttpOpenRequestW(open.connection, nullptr, kTile.c_str(), nullptr, nullptr, nullptr, kFetchFlags, 0);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(InternetCloseHandle(open.connection));
  open.root = open.connection = nullptr;
  for (HINTERNET request : {open.request, second}) {
    ASSERT_TRUE(HttpSendRequestW(request, nullptr, 0, nullptr, 0)) << GetLastError();
    const BodyRead read = ReadBody(request, 2048);
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(IsPng(read.body));
  }
  EXPECT_TRUE(InternetCloseHandle(second));
}

TEST(WinInetHandles, ClosedAndMadeUpHandlesAreRefused) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  HINTERNET request = open.request;
  HINTERNET connection = open.connection;
  HINTERNET root = open.root;
  ASSERT_TRUE(InternetCloseHandle(request));
  ASSERT_TRUE(InternetCloseHandle(connection));
  ASSERT_TRUE(InternetCloseHandle(root));
  open.root = open.connection = open.request = nullptr;

  const HINTERNET madeUp = reinterpret_cast<HINTERNET>(uintptr_t{0x1234});
  for (HINTERNET stale : {request, connection, root, madeUp, static_cast<HINTERNET>(nullptr)}) {
    char buffer[16];
    DWORD count = 0;
    DWORD size = sizeof buffer;
    EXPECT_FALSE(InternetCloseHandle(stale));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetReadFile(stale, buffer, sizeof buffer, &count));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetQueryDataAvailable(stale, &count, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(HttpQueryInfoW(stale, HTTP_QUERY_STATUS_CODE, buffer, &size, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(HttpSendRequestW(stale, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(HttpOpenRequestW(stale, nullptr, kTile.c_str(), nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(InternetConnectW(stale, kLoopback, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
}

TEST(WinInetHandles, HandleOfTheWrongKindIsRefused) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Opened());
  char buffer[16];
  DWORD count = 0;
  for (HINTERNET notRequest : {open.root, open.connection}) {
    EXPECT_FALSE(InternetReadFile(notRequest, buffer, sizeof buffer, &count));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_FALSE(HttpSendRequestW(notRequest, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  }
  EXPECT_EQ(InternetConnectW(open.request, kLoopback, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(HttpOpenRequestW(open.root, nullptr, kTile.c_str(), nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  // The request is unharmed by the refused calls.
  EXPECT_TRUE(open.Send());
}

TEST(WinInetHandles, RequestRefusesHeadAndBodyCallsBeforeItIsSentAndASecondSend) {
  TileServer server;
  OpenRequest open(server, kTile);
  char16_t text[16];
  DWORD size = sizeof text;
  EXPECT_FALSE(HttpQueryInfoW(open.request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  DWORD count = 0;
  EXPECT_FALSE(InternetReadFile(open.request, text, sizeof text, &count));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
  ASSERT_TRUE(open.Send());
  EXPECT_FALSE(open.Send());
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
}

TEST(WinInetQueryInfo, SizesAreInBytesAndTooSmallABufferAsksForTheRightSize) {
  TileServer server;
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  char16_t text[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
  DWORD size = 6;  // "200" needs 3 units and the terminator: 8 bytes
  EXPECT_FALSE(HttpQueryInfoW(open.request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(text[0], u'x') << "nothing written into too small a buffer";
  size = 0;
  EXPECT_FALSE(HttpQueryInfoW(open.request, HTTP_QUERY_STATUS_CODE, nullptr, &size, nullptr));
  EXPECT_EQ(size, 8u);
  ASSERT_TRUE(HttpQueryInfoW(open.request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr));
  EXPECT_EQ(size, 6u) << "success reports the bytes without the terminator";
  EXPECT_EQ(std::u16string(text), u"200");

  DWORD number = 0;
  size = sizeof number;
  ASSERT_TRUE(HttpQueryInfoW(open.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr));
  EXPECT_EQ(number, 200u);
  EXPECT_EQ(size, sizeof number);

  DWORD index = 0;
  size = sizeof text;
  ASSERT_TRUE(HttpQueryInfoW(open.request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index));
  EXPECT_EQ(index, 1u);
  size = sizeof text;
  EXPECT_FALSE(HttpQueryInfoW(open.request, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index));
  EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND) << "there is one Content-Length, not two";
}

TEST(WinInetQueryInfo, AbsentHeaderIsNotFound) {
  TileServer server;
  server.AddRule("length=none");
  OpenRequest open(server, kTile);
  ASSERT_TRUE(open.Send());
  char16_t text[16];
  DWORD size = sizeof text;
  EXPECT_FALSE(HttpQueryInfoW(open.request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
  EXPECT_TRUE(IsPng(ReadBody(open.request, 1024).body)) << "the body is still there";
}

TEST(WinInetArguments, UnsupportedOrUnsafeArgumentsAreRefused) {
  EXPECT_EQ(InternetOpenW(kAgent, 3, u"proxy:80", nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  HINTERNET root = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_NE(root, nullptr);
  // A host may not smuggle user information, a port or a path into the URL.
  for (const char16_t* host : {u"evil.test@127.0.0.1", u"127.0.0.1:8080", u"a.test/x", u"", u"a b"}) {
    EXPECT_EQ(InternetConnectW(root, host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_URL);
  }
  HINTERNET connection = InternetConnectW(root, kLoopback, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(HttpOpenRequestW(connection, u"POST", u"/", nullptr, nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(InternetCloseHandle(connection));
  EXPECT_TRUE(InternetCloseHandle(root));
}

// A path with spaces and non-ASCII text reaches the server percent-encoded, in one request line.
TEST(WinInetArguments, PathIsSentPercentEncoded) {
  TileServer server;
  OpenRequest open(server, u"/no tile/\u00e9#x");
  ASSERT_TRUE(open.Send()) << GetLastError();
  EXPECT_EQ(QueryText(open.request, HTTP_QUERY_STATUS_CODE), "404");
  const std::vector<TileServerLogEntry> log = WaitForLog(server, 1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].path, "/no%20tile/%C3%A9%23x");
}

}  // namespace

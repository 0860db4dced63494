// The device's proxy setting (http_proxy / no_proxy) and redirects, as the server's log sees them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"

namespace {

using namespace wininet_test;

const std::u16string kTile = TilePath(53, 24, 6);
const std::string kTileText = "/mt?v=w2.92&hl=ko&x=53&y=24&z=6";
constexpr char16_t kWorldHost[] = u"mt1.world-tiles.orvanmap.test";

// Sets one environment variable for a scope (after ProxyEnvironment, which restores its own).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    had_ = old != nullptr;
    setenv(name, value, 1);
  }
  ~ScopedVariable() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

bool FetchOk(OpenRequest& open) {
  if (!open.Send()) return false;
  return QueryText(open.request, HTTP_QUERY_STATUS_CODE) == "200" && IsPng(ReadBody(open.request, 4096).body);
}

TEST(WinInetProxy, PreconfiguredAccessSendsTheAbsoluteFormToTheProxy) {
  TileServer server;
  ProxyEnvironment proxy(server);
  // The host does not resolve: only a proxied request can succeed.
  OpenRequest open(kWorldHost, INTERNET_DEFAULT_HTTP_PORT, kTile, INTERNET_OPEN_TYPE_PRECONFIG);
  ASSERT_TRUE(FetchOk(open)) << GetLastError();
  const std::vector<TileServerLogEntry> log = WaitForLog(server, 1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].form, "absolute");
  EXPECT_EQ(log[0].host, "mt1.world-tiles.orvanmap.test");
  EXPECT_EQ(log[0].path, kTileText);
  EXPECT_EQ(log[0].userAgent, "wininet-test/1");
}

TEST(WinInetProxy, NoProxyListBypassesTheProxy) {
  TileServer server;
  ProxyEnvironment proxy(server);
  ScopedVariable bypass("no_proxy", "127.0.0.1");
  OpenRequest open(kLoopback, server.Port(), kTile, INTERNET_OPEN_TYPE_PRECONFIG);
  ASSERT_TRUE(FetchOk(open)) << GetLastError();
  const std::vector<TileServerLogEntry> log = WaitForLog(server, 1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].form, "origin");
  EXPECT_EQ(log[0].host, server.HostPort());
}

TEST(WinInetProxy, DirectAccessNeverUsesTheProxy) {
  TileServer server;
  ProxyEnvironment proxy(server);
  OpenRequest open(kLoopback, server.Port(), kTile, INTERNET_OPEN_TYPE_DIRECT);
  ASSERT_TRUE(FetchOk(open)) << GetLastError();
  const std::vector<TileServerLogEntry> log = WaitForLog(server, 1);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].form, "origin");
}

TEST(WinInetRedirect, RedirectIsFollowedAndTheFinalAnswerIsReported) {
  TileServer server;
  for (const char* rule : {"redirect times=1", "redirect=301 times=1", "redirect=307 times=1"}) {
    server.Reset();
    server.AddRule(rule);
    OpenRequest open(server, kTile);
    ASSERT_TRUE(FetchOk(open)) << rule << ": " << GetLastError();
    const std::vector<TileServerLogEntry> log = WaitForLog(server, 2);
    ASSERT_EQ(log.size(), 2u) << rule;
    EXPECT_EQ(log[0].outcome.substr(4), "redirect");
    EXPECT_EQ(log[1].outcome, "200 tile");
    EXPECT_NE(log[1].path.find("redirected=1"), std::string::npos);
  }
}

TEST(WinInetRedirect, EndlessRedirectsFailAfterTheLimit) {
  TileServer server;
  server.AddRule("redirect location=http://" + server.HostPort() + kTileText);
  OpenRequest open(server, kTile);
  EXPECT_FALSE(open.Send());
  EXPECT_EQ(GetLastError(), ERROR_HTTP_REDIRECT_FAILED);
  EXPECT_EQ(WaitForLog(server, kInternetMaxRedirects + 1).size(), kInternetMaxRedirects + 1);
}

}  // namespace

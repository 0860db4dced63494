// The device's proxy setting (http_proxy / no_proxy, nothing else) and redirects, as the server's
// log sees them; a proxy's answer to CONNECT is never taken for the server's.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"
#include "tests/support/ScriptedServer.h"

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

TEST(WinInetProxy, OnlyTheLowerCaseHttpProxyAndNoProxyAreTheDeviceSetting) {
  TileServer proxyServer;
  TileServer target;
  ProxyEnvironment proxy(proxyServer);
  {
    // Upper-case NO_PROXY is not the device's bypass list: the request still goes to the proxy.
    ScopedVariable bypass("NO_PROXY", "127.0.0.1");
    OpenRequest open(kLoopback, target.Port(), kTile, INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_TRUE(FetchOk(open)) << GetLastError();
  }
  const std::vector<TileServerLogEntry> proxied = WaitForLog(proxyServer, 1);
  ASSERT_EQ(proxied.size(), 1u);
  EXPECT_EQ(proxied[0].form, "absolute");
  {
    // Without http_proxy no other variable names a proxy: the request goes straight to its server.
    ScopedVariable none("http_proxy", "");
    ScopedVariable all("ALL_PROXY", ("http://" + proxyServer.HostPort()).c_str());
    ScopedVariable upper("HTTP_PROXY", ("http://" + proxyServer.HostPort()).c_str());
    ScopedVariable https("https_proxy", ("http://" + proxyServer.HostPort()).c_str());
    OpenRequest open(kLoopback, target.Port(), kTile, INTERNET_OPEN_TYPE_PRECONFIG);
    ASSERT_TRUE(FetchOk(open)) << GetLastError();
  }
  EXPECT_EQ(WaitForLog(target, 1).size(), 1u);
  EXPECT_EQ(target.Log()[0].form, "origin");
  EXPECT_EQ(proxyServer.Log().size(), 1u);
}

// The https URL a redirect names goes through the device's one proxy, in a CONNECT tunnel. The
// proxy's own answer to CONNECT is not the server's: a refused tunnel, or one that never carries
// the server's answer, fails the send instead of reading as the proxy's status.
TEST(WinInetProxy, AProxysAnswerToConnectIsNeverTakenForTheServersAnswer) {
  DeviceTimeoutsScope timeouts(1500, 1500);
  TileServer target;
  const std::string secure = "location=https://mt1.world-tiles.orvanmap.test" + kTileText;
  target.AddRule("redirect " + secure);
  for (const char* answer : {"HTTP/1.1 200 Connection established\r\n\r\n",
                             "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n"}) {
    ScriptedServer proxyServer(answer, /*holdAfterAnswer=*/true);
    ScopedVariable proxyVariable("http_proxy", ("127.0.0.1:" + std::to_string(proxyServer.Port())).c_str());
    ScopedVariable bypass("no_proxy", "127.0.0.1");  // the first request goes straight to the target
    OpenRequest open(kLoopback, target.Port(), kTile, INTERNET_OPEN_TYPE_PRECONFIG);
    EXPECT_FALSE(open.Send()) << answer;
    EXPECT_FALSE(QueryText(open.request, HTTP_QUERY_STATUS_CODE).has_value()) << answer;
    const std::vector<std::string> requests = proxyServer.Requests();
    ASSERT_EQ(requests.size(), 1u) << answer;
    EXPECT_EQ(requests[0].rfind("CONNECT mt1.world-tiles.orvanmap.test:443 ", 0), 0u) << requests[0];
  }
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

// Many requests on many threads at once, and a handle closed while another thread waits on it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/net/WinInet.h"
#include "tests/platform/net/WinInetTestSupport.h"

namespace {

using namespace wininet_test;

constexpr int kThreads = 16;
constexpr int kDownloadsPerThread = 6;

TEST(WinInetConcurrency, SixteenThreadsEachDownloadTheirOwnTilesAtOnce) {
  TileServer server({"--latency", "30"});
  EXPECT_EQ(DownloadOnThreads(server, kThreads, kDownloadsPerThread, 5), kThreads * kDownloadsPerThread);
  const TileServerCounters counters = server.Counters();
  EXPECT_EQ(counters.requests, static_cast<uint64_t>(kThreads * kDownloadsPerThread));
  EXPECT_GT(counters.maxInFlight, 1u) << "requests on different threads must not wait for each other";
  EXPECT_EQ(InternetLiveObjectCount(), 0u);
}

// The blocked call returns at once with "cancelled", not after the (default, 30 s) receive time-out.
TEST(WinInetConcurrency, ClosingARequestFromAnotherThreadEndsABlockedReadAndSend) {
  TileServer server;
  for (const char* rule : {"stall=100", "delay=60000"}) {
    server.Reset();
    server.AddRule(rule);
    OpenRequest open(server, TilePath(1, 1, 3));
    const bool stallInBody = std::string(rule).starts_with("stall");
    if (stallInBody) {
      ASSERT_TRUE(open.Send());
    }
    std::atomic<bool> ok{true};
    std::atomic<DWORD> error{0};
    std::thread blocked([&] {
      if (stallInBody) {
        const BodyRead read = ReadBody(open.request, 4096);
        ok = read.ok;
        error = read.error;
      } else {
        ok = open.Send();
        error = GetLastError();
      }
    });
    ASSERT_TRUE(server.WaitForRequests(1, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(InternetCloseHandle(open.request));
    blocked.join();
    open.request = nullptr;
    EXPECT_FALSE(ok.load()) << rule;
    EXPECT_EQ(error.load(), ERROR_INTERNET_OPERATION_CANCELLED) << rule;
  }
}

}  // namespace

// A tile against the real local tile server: downloading, keeping and reporting its image.
#include <gtest/gtest.h>

#include "platform/kernel/VirtualMemory.h"
#include "platform/net/WinInet.h"
#include "projection/MercatorProjection.h"
#include "tests/net/FetchRecorder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tiles/TileReports.h"
#include "tiles/Tile.h"

namespace {

class TileTest : public testing::Test {
 protected:
  // Starts the tile and waits until its download, if any, has ended.
  int32_t StartAndWait(Tile& tile, TileReports& to) {
    const int32_t started = tile.Start(TileReports::Callback, &to);
    EXPECT_TRUE(WaitUntilIdle(tile.fetcher));
    return started;
  }
  size_t RequestsFor(int32_t x) {
    size_t n = 0;
    for (const auto& e : server.Log()) n += e.path.find("&x=" + std::to_string(x) + "&") != std::string::npos;
    return n;
  }

  TileServer server;
  ProxyEnvironment proxy{server};
  MercatorProjection projection;
  TileReports reports;
};

TEST_F(TileTest, ReportsItsPixelRectangleFromTheProjection) {
  Tile tile(3, 5, 12.0, &projection);
  tile.callback = TileReports::Callback;
  tile.callbackContext = &reports;
  const uint8_t byte = 7;
  tile.Report(&byte, 1);
  const auto all = reports.All();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].info.x, 768);
  EXPECT_EQ(all[0].info.y, 1280);
  EXPECT_EQ(all[0].info.width, 256);
  EXPECT_EQ(all[0].info.height, 256);
  EXPECT_EQ(all[0].info.tileX, 3);
  EXPECT_EQ(all[0].info.tileY, 5);
  EXPECT_EQ(all[0].info.zoom, 12.0);
  EXPECT_EQ(all[0].bytes, std::vector<uint8_t>{7});

  Tile lost(3, 5, 12.0, nullptr);  // no projection: no rectangle, no download
  lost.callback = TileReports::Callback;
  lost.callbackContext = &reports;
  lost.Report(nullptr, 0);
  EXPECT_EQ(reports.All()[1].info.x, 0);
  EXPECT_EQ(reports.All()[1].info.width, 0);
  EXPECT_EQ(lost.Start(TileReports::Callback, &reports), 0);
  EXPECT_EQ(lost.callback, &TileReports::Callback);  // stored even though Start failed
}

TEST_F(TileTest, DownloadsOnceReportsOnItsWorkerThenAnswersFromMemoryOnTheCaller) {
  Tile tile(21, 9, 8.0, &projection);
  EXPECT_EQ(StartAndWait(tile, reports), 1);
  auto all = reports.All();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_TRUE(all[0].hadData);
  EXPECT_NE(all[0].threadId, GetCurrentThreadId());
  EXPECT_EQ(tile.IsLoaded(), 1);
  EXPECT_EQ(RequestsFor(21), 1u);

  // Loaded: the report reaches this Start's callback at once, on this thread, with the same bytes.
  TileReports second;
  EXPECT_EQ(tile.Start(TileReports::Callback, &second), 1);
  ASSERT_EQ(second.Count(), 1u);
  EXPECT_EQ(second.All()[0].threadId, GetCurrentThreadId());
  EXPECT_EQ(second.All()[0].bytes, all[0].bytes);
  EXPECT_EQ(reports.Count(), 1u);  // the earlier callback hears nothing more
  EXPECT_EQ(RequestsFor(21), 1u);  // no network activity
}

TEST_F(TileTest, AFailedOrRefusedDownloadLeavesTheTileEmptyAndTheNextStartDownloadsAgain) {
  struct Case {
    const char* rule;
    size_t reports;  // a failure report with null data, or no report at all
  };
  // A reset in mid-body can also discard the head before the client reads it; then the send fails
  // and nothing is reported. Both end with an empty tile.
  int32_t x = 30;
  for (const Case& c : {Case{"status=404", 0}, Case{"reset=head", 0}, Case{"length-delta=+300", 1},
                        Case{"body-size=20000 chunk-size=1000 chunk-delay=10 reset=5000", 1}}) {
    // A reset before the head on a kept-alive connection is retried on a new one; each case starts
    // on a new connection, so that the rule's one answer is the one the tile gets.
    InternetCloseIdleConnections();
    server.AddRule("x=" + std::to_string(x) + " times=1 " + c.rule);
    Tile tile(x, 2, 8.0, &projection);
    reports.Clear();
    StartAndWait(tile, reports);
    ASSERT_EQ(reports.Count(), c.reports) << c.rule;
    if (c.reports == 1) {
      EXPECT_FALSE(reports.All()[0].hadData) << c.rule;
    }
    EXPECT_EQ(tile.IsLoaded(), 0) << c.rule;
    EXPECT_EQ(tile.buffer.base, nullptr) << c.rule;  // a failure gives the bytes back
    // The rule is spent: the next Start downloads again and succeeds.
    reports.Clear();
    StartAndWait(tile, reports);
    ASSERT_EQ(reports.Count(), 1u) << c.rule;
    EXPECT_TRUE(reports.All()[0].hadData) << c.rule;
    EXPECT_EQ(tile.IsLoaded(), 1) << c.rule;
    EXPECT_EQ(RequestsFor(x), 2u) << c.rule;
    ++x;
  }
}

TEST_F(TileTest, ASuccessWithNoBytesIsReportedButTheTileStaysEmpty) {
  server.AddRule("x=40 times=1 body-size=0");
  Tile tile(40, 2, 8.0, &projection);
  StartAndWait(tile, reports);
  ASSERT_EQ(reports.Count(), 1u);
  EXPECT_TRUE(reports.All()[0].hadData);
  EXPECT_EQ(reports.All()[0].info.dataSize, 0u);
  EXPECT_EQ(tile.IsLoaded(), 0);
  StartAndWait(tile, reports);
  EXPECT_EQ(RequestsFor(40), 2u);
}

TEST_F(TileTest, DestroyingADownloadingTileWaitsForItsWorkerAndNothingReportsAfterwards) {
  const size_t committed = VirtualCommittedBytes();
  server.AddRule("x=41 body-size=40000 chunk-size=1000 chunk-delay=20");
  {
    Tile tile(41, 2, 8.0, &projection);
    ASSERT_EQ(tile.Start(TileReports::Callback, &reports), 1);
    ASSERT_TRUE(WaitForFirstBodyBytes(committed));
  }  // destroy: cancel, wait, release
  reports.closed = true;
  const auto all = reports.All();
  ASSERT_EQ(all.size(), 1u);  // the cancelled download's failure report came before destroy returned
  EXPECT_FALSE(all[0].hadData);
  Sleep(100);
  EXPECT_EQ(reports.lateReports.load(), 0);
  EXPECT_EQ(VirtualCommittedBytes(), committed);
}

TEST_F(TileTest, DestroyingALoadedTileGivesItsMemoryBack) {
  const size_t committed = VirtualCommittedBytes();
  {
    Tile tile(42, 2, 8.0, &projection);
    StartAndWait(tile, reports);
    ASSERT_EQ(tile.IsLoaded(), 1);
    EXPECT_GT(VirtualCommittedBytes(), committed);
  }
  EXPECT_EQ(VirtualCommittedBytes(), committed);
}

}  // namespace

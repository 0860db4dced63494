// The tile layer against the real local tile server: which tiles a rectangle requests, in which
// order, on which threads they report, and how requests, cancels and destruction interleave.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/kernel/VirtualMemory.h"
#include "projection/MercatorProjection.h"
#include "tests/net/FetchRecorder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tiles/TileReports.h"
#include "tiles/ExternalTileSource.h"
#include "tiles/TileLayer.h"

namespace {

// Mercator, except that the download of one chosen tile cannot get a thread: naming that tile's URL
// lowers the device's thread limit to none, naming any other tile lifts it again.
class ThreadStarvedTileProjection : public MercatorProjection {
 public:
  ThreadStarvedTileProjection(int32_t x, int32_t y) : x_(x), y_(y) {}
  ~ThreadStarvedTileProjection() override { SetThreadLimit(SIZE_MAX); }
  char16_t* BuildTileUrl(int32_t x, int32_t y, double zoom, char16_t* buffer, size_t capacity) override {
    SetThreadLimit(x == x_ && y == y_ ? 0 : SIZE_MAX);
    return MercatorProjection::BuildTileUrl(x, y, zoom, buffer, capacity);
  }

 private:
  int32_t x_, y_;
};

class Layer : public testing::Test {
 protected:
  Layer() { layer->projection = &projection; }
  bool WaitIdle() {
    for (Tile* t : layer->cache.order) {
      if (!WaitUntilIdle(t->fetcher)) return false;
    }
    return true;
  }
  size_t RequestsFor(int32_t x, int32_t y) {
    size_t n = 0;
    const std::string key = "&x=" + std::to_string(x) + "&y=" + std::to_string(y) + "&";
    for (const auto& e : server.Log()) n += e.path.find(key) != std::string::npos;
    return n;
  }

  TileServer server;
  ProxyEnvironment proxy{server};
  MercatorProjection projection;
  TileReports reports;
  std::unique_ptr<TileLayer> layer = std::make_unique<TileLayer>();
};

// A source that notes the positions read, in order, and has no tiles.
class RecordingSource : public tilesources::TileSource {
 public:
  tilesources::SourcedTile Fetch(const tilesources::TilePosition& position) override {
    std::lock_guard<std::mutex> held(mutex);
    read.push_back(position);
    return tilesources::SourcedTile::Text(404, "missing", "none\n");
  }
  std::string Describe() const override { return "recording"; }
  std::mutex mutex;
  std::vector<tilesources::TilePosition> read;
};

// From a source, a screen's tiles are read from its middle outwards (one worker: in the order
// asked), each once.
TEST_F(Layer, ReadsFromASourceStartAtTheMiddleOfTheRectangle) {
  auto source = std::make_shared<RecordingSource>();
  layer->cache.external = std::make_shared<ExternalTileSource>(source, tilesources::SourceLevels{}, 1, "");
  // Tiles 3..7 x 7..9 at level 5: the middle one is (5, 8).
  EXPECT_EQ(layer->RequestTiles(3 * 256, 7 * 256, 7 * 256 + 10, 9 * 256 + 10, 5.0, TileReports::Callback, &reports), 1);
  auto busy = [&] {
    for (Tile* t : layer->cache.order)
      if (t->Downloading()) return true;
    return false;
  };
  for (int i = 0; i < 2000 && busy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_FALSE(busy());
  std::lock_guard<std::mutex> held(source->mutex);
  ASSERT_EQ(source->read.size(), 15u);
  EXPECT_EQ(source->read[0], (tilesources::TilePosition{5, 8, 5}));
  auto distance = [](const tilesources::TilePosition& p) { return (p.x - 5) * (p.x - 5) + (p.y - 8) * (p.y - 8); };
  for (size_t i = 1; i < source->read.size(); ++i)
    EXPECT_LE(distance(source->read[i - 1]), distance(source->read[i])) << "read " << i;
}

TEST_F(Layer, RangesAndAlignedRectanglesTakeRightAndBottomAsPixelsOfTheRectangle) {
  EXPECT_EQ(layer->TileRangeForRect(10, 10, 20, 20), (TileRange{0, 0, 0, 0}));
  EXPECT_EQ(layer->TileRangeForRect(0, 0, 512, 100), (TileRange{0, 0, 2, 0}));
  EXPECT_EQ(layer->TileRangeForRect(-300, -1, 255, 256), (TileRange{-1, 0, 0, 1}));  // truncating division
  EXPECT_EQ(layer->TileAlignedRect(10, 10, 300, 20), (PixelRect{0, 0, 512, 256}));
  EXPECT_EQ(layer->TileAlignedRect(480, 466, 720, 734), (PixelRect{256, 256, 768, 768}));
  TileLayer bare;
  EXPECT_EQ(bare.TileRangeForRect(600, 600, 900, 900), (TileRange{0, 0, 0, 0}));
  EXPECT_EQ(bare.TileAlignedRect(600, 600, 900, 900), (PixelRect{0, 0, 0, 0}));
}

TEST_F(Layer, RequestsColumnByColumnEachFromTheTopAndEveryTileReportsOnItsWorker) {
  // Tiles 3..5 x 7..8 at level 5: a 3 x 2 range.
  EXPECT_EQ(layer->RequestTiles(3 * 256, 7 * 256, 5 * 256 + 10, 8 * 256 + 10, 5.0, TileReports::Callback, &reports), 1);
  std::vector<std::pair<int32_t, int32_t>> order;
  for (Tile* t : layer->cache.order) order.emplace_back(t->tileX, t->tileY);
  EXPECT_EQ(order, (std::vector<std::pair<int32_t, int32_t>>{{3, 7}, {3, 8}, {4, 7}, {4, 8}, {5, 7}, {5, 8}}));
  ASSERT_TRUE(WaitIdle());
  const auto all = reports.All();
  ASSERT_EQ(all.size(), 6u);
  std::set<std::pair<int32_t, int32_t>> reported;
  for (const auto& r : all) {
    EXPECT_TRUE(r.hadData);
    EXPECT_NE(r.threadId, GetCurrentThreadId());
    EXPECT_EQ(r.info.x, r.info.tileX * 256);
    reported.emplace(r.info.tileX, r.info.tileY);
  }
  EXPECT_EQ(reported.size(), 6u);
  // A rectangle inside one tile asks for exactly that tile.
  EXPECT_EQ(
      layer->RequestTiles(3 * 256 + 1, 7 * 256 + 1, 3 * 256 + 2, 7 * 256 + 2, 5.0, TileReports::Callback, &reports), 1);
  EXPECT_EQ(reports.Count(), 7u);
}

TEST_F(Layer, LoadedTilesReportOnTheCallingThreadBeforeRequestTilesReturnsAndDownloadNothing) {
  layer->RequestTiles(0, 0, 300, 300, 4.0, TileReports::Callback, &reports);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(reports.Count(), 4u);
  const uint64_t requests = server.Counters().requests;
  TileReports again;
  EXPECT_EQ(layer->RequestTiles(0, 0, 300, 300, 4.0, TileReports::Callback, &again), 1);
  ASSERT_EQ(again.Count(), 4u);  // all four before RequestTiles returned
  for (const auto& r : again.All()) {
    EXPECT_EQ(r.threadId, GetCurrentThreadId());
    EXPECT_TRUE(r.hadData);
  }
  EXPECT_EQ(server.Counters().requests, requests);
  EXPECT_EQ(reports.Count(), 4u);  // the latest request's callback got the reports
}

TEST_F(Layer, ReRequestingWhileDownloadsRunCancelsAndRestartsEachOne) {
  // Slow bodies: every first download is still running when the second request cancels it.
  server.AddRule("z=6 times=6 body-size=40000 chunk-size=1000 chunk-delay=25");
  layer->RequestTiles(0, 0, 600, 300, 6.0, TileReports::Callback, &reports);  // 3 x 2 tiles
  ASSERT_TRUE(server.WaitForRequests(6, 10000));
  TileReports second;
  EXPECT_EQ(layer->RequestTiles(0, 0, 600, 300, 6.0, TileReports::Callback, &second), 1);
  ASSERT_TRUE(WaitIdle());
  for (int32_t x = 0; x < 3; ++x) {
    for (int32_t y = 0; y < 2; ++y) EXPECT_EQ(RequestsFor(x, y), 2u) << x << "," << y;
  }
  // Each first download ended with a failure report to the first callback (cancelled); the
  // restarted ones report their images to the second.
  EXPECT_EQ(second.Count(), 6u);
  for (const auto& r : second.All()) EXPECT_TRUE(r.hadData);
  EXPECT_EQ(reports.Count(), 6u);
  for (const auto& r : reports.All()) EXPECT_FALSE(r.hadData);
}

TEST_F(Layer, ANewZoomReplacesEveryCachedTileOfTheRange) {
  layer->RequestTiles(0, 0, 300, 300, 4.0, TileReports::Callback, &reports);
  ASSERT_TRUE(WaitIdle());
  layer->RequestTiles(0, 0, 300, 300, 5.0, TileReports::Callback, &reports);
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(layer->cache.Count(), 4u);
  for (Tile* t : layer->cache.order) EXPECT_EQ(t->zoom, 5.0);
}

TEST_F(Layer, AFailingStartDoesNotStopTheRange) {
  ThreadStarvedTileProjection starved(1, 0);
  layer->projection = &starved;
  EXPECT_EQ(layer->RequestTiles(0, 0, 600, 300, 5.0, TileReports::Callback, &reports), 0);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(layer->cache.Count(), 6u);
  EXPECT_EQ(reports.Count(), 5u);  // every tile but (1, 0)
  EXPECT_EQ(RequestsFor(1, 0), 0u);
  EXPECT_EQ(RequestsFor(2, 1), 1u);  // the last tile of the range was still requested
  layer->projection = &projection;
  layer.reset();
}

TEST_F(Layer, DestroyingTheLayerWaitsForEveryDownloadAndNoReportArrivesAfterwards) {
  const size_t threads = LiveThreadObjectCount();
  const size_t committed = VirtualCommittedBytes();
  server.AddRule("z=7 delay=400");
  // 5 x 4 = 20 tiles, every download held back by the server.
  layer->RequestTiles(0, 0, 4 * 256, 3 * 256, 7.0, TileReports::Callback, &reports);
  ASSERT_TRUE(server.WaitForRequests(20, 10000));
  layer.reset();
  reports.closed = true;
  // Every download reported (a cancelled one without data) before destruction returned.
  EXPECT_EQ(reports.Count(), 20u);
  Sleep(600);  // longer than the server's delay: a worker left behind would report by now
  EXPECT_EQ(reports.lateReports.load(), 0);
  for (int i = 0; i < 500 && LiveThreadObjectCount() != threads; ++i) Sleep(2);
  EXPECT_EQ(LiveThreadObjectCount(), threads);
  EXPECT_EQ(VirtualCommittedBytes(), committed);
}

}  // namespace

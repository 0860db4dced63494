// The cache's bookkeeping and eviction rule. Tiles are created but never started here, so no
// download runs.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "projection/MercatorProjection.h"
#include "tiles/TileCache.h"

namespace {

constexpr PixelRect kFarAway{100000, 100000, 100100, 100100};  // touches none of the tiles below
constexpr PixelRect kEverything{-10000, -10000, 10000, 10000};

class Cache : public testing::Test {
 protected:
  void Create(int32_t column, int32_t row, double zoom = 12.0, PixelRect r = kFarAway) {
    ASSERT_EQ(cache.GetOrCreate(r.left, r.top, r.right, r.bottom, column, row, zoom, &projection), 1);
  }
  std::vector<std::pair<int32_t, int32_t>> Keys() {
    std::vector<std::pair<int32_t, int32_t>> keys;
    for (Tile* t : cache.order) keys.emplace_back(t->tileX, t->tileY);
    return keys;
  }
  ~Cache() override { cache.Clear(); }

  MercatorProjection projection;
  TileCache cache;
};

TEST_F(Cache, EvictsOnlyOnceItHoldsFiveAndThenTheOldestOutsideTheRectangle) {
  for (int c = 0; c < 4; ++c) Create(c, 0);
  Create(4, 0);  // 4 held: nothing is evicted
  EXPECT_EQ(cache.Count(), 5u);
  Create(5, 0);  // 5 held: the oldest goes
  EXPECT_EQ(Keys(), (std::vector<std::pair<int32_t, int32_t>>{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}));
  EXPECT_EQ(cache.Find(0, 0), nullptr);
  EXPECT_EQ(cache.index.count(0), 0u);  // its column entry went with its last row
}

TEST_F(Cache, GrowsPastFiveWhenEveryTileTouchesTheRectangle) {
  for (int c = 0; c < 5; ++c) Create(c, 0, 12.0, kEverything);
  Create(5, 0, 12.0, kEverything);
  EXPECT_EQ(cache.Count(), 6u);
  // Later creations shrink it again by one tile each, oldest first.
  Create(6, 0);
  EXPECT_EQ(cache.Count(), 6u);
  EXPECT_EQ(Keys().front(), (std::pair<int32_t, int32_t>{1, 0}));
}

TEST_F(Cache, ReRequestingTheOldestTileDoesNotProtectIt) {
  for (int c = 0; c < 5; ++c) Create(c, 0);
  Tile* oldest = cache.Find(0, 0);
  Create(0, 0);  // already there at this zoom: nothing changes, not even its place
  EXPECT_EQ(cache.Find(0, 0), oldest);
  Create(5, 0);
  EXPECT_EQ(cache.Find(0, 0), nullptr);
}

TEST_F(Cache, ATileWhoseEdgeMeetsTheRectangleTouchesItButACrossingOneDoesNot) {
  Create(0, 0, 12.0, kEverything);  // pixels 0..256 on both axes
  Create(1, 1, 12.0, kEverything);  // pixels 256..512
  for (int c = 10; c < 13; ++c) Create(c, 10, 12.0, kEverything);
  // (256, 0, 400, 100) meets tile (0, 0) on its right edge: it stays; tile (1, 1) lies outside.
  Create(20, 20, 12.0, PixelRect{256, 0, 400, 100});
  EXPECT_NE(cache.Find(0, 0), nullptr);
  EXPECT_EQ(cache.Find(1, 1), nullptr);

  // (300, 100, 400, 600) runs through tile (1, 1) from top to bottom, yet no corner of either lies
  // inside the other: by the corner rule they do not touch, so the tile is evicted.
  cache.Clear();
  Create(1, 1, 12.0, kEverything);
  for (int c = 10; c < 14; ++c) Create(c, 10, 12.0, kEverything);
  Create(21, 21, 12.0, PixelRect{300, 100, 400, 600});
  EXPECT_EQ(cache.Find(1, 1), nullptr);
  EXPECT_FALSE(RectsTouch(PixelRect{256, 256, 512, 512}, PixelRect{300, 100, 400, 600}));
  EXPECT_TRUE(RectsTouch(PixelRect{0, 0, 256, 256}, PixelRect{256, 0, 400, 100}));
  EXPECT_TRUE(RectsTouch(PixelRect{0, 0, 256, 256}, PixelRect{100, 100, 120, 120}));  // b inside a
  EXPECT_FALSE(RectsTouch(PixelRect{0, 0, 256, 256}, PixelRect{257, 0, 400, 100}));
}

TEST_F(Cache, AZoomChangeReplacesTheTileAndMayDropTheCountByOne) {
  Create(3, 5, 11.0, kEverything);
  for (int c = 0; c < 5; ++c) Create(c, 0, 11.0, kEverything);
  ASSERT_EQ(cache.Count(), 6u);
  EXPECT_EQ(cache.FindAtZoom(3, 5, 12.0), nullptr);  // reads as absent ...
  EXPECT_NE(cache.Find(3, 5), nullptr);              // ... but is still held
  Create(3, 5, 12.0);  // the zoom-11 tile goes, then one more outside the rectangle, then the new one
  EXPECT_EQ(cache.Count(), 5u);
  ASSERT_NE(cache.FindAtZoom(3, 5, 12.0), nullptr);
  EXPECT_EQ(cache.Find(3, 5)->zoom, 12.0);
  EXPECT_EQ(cache.Find(0, 0), nullptr);  // the oldest remaining tile was evicted
  EXPECT_EQ(Keys().back(), (std::pair<int32_t, int32_t>{3, 5}));
}

TEST_F(Cache, RemoveAndFindOfAbsentKeysChangeNothing) {
  Create(-3, -7);
  Create(-3, 2);
  EXPECT_EQ(cache.Remove(-3, 5), 0);
  EXPECT_EQ(cache.Remove(9, 9), 0);
  EXPECT_EQ(cache.Find(9, 9), nullptr);
  EXPECT_EQ(cache.FindAtZoom(-3, -7, 12.5), nullptr);
  EXPECT_EQ(cache.Count(), 2u);
  // Signed keys in ascending order.
  EXPECT_EQ(cache.index.at(-3).begin()->first, -7);
  EXPECT_EQ(cache.Remove(-3, -7), 1);
  EXPECT_EQ(cache.index.count(-3), 1u);
  EXPECT_EQ(cache.Remove(-3, 2), 1);
  EXPECT_TRUE(cache.index.empty());
  EXPECT_TRUE(cache.order.empty());
  EXPECT_EQ(cache.EvictOneOutside(0, 0, 1, 1), 0);
}

TEST(TileWithoutProjection, IsNeverVisibleSoItIsEvictedFirst) {
  MercatorProjection projection;
  TileCache cache;
  ASSERT_EQ(cache.GetOrCreate(0, 0, 1, 1, 0, 0, 12.0, nullptr), 1);
  for (int c = 1; c < 5; ++c) ASSERT_EQ(cache.GetOrCreate(-1e4, -1e4, 1e4, 1e4, c, 0, 12.0, &projection), 1);
  EXPECT_EQ(cache.Find(0, 0)->IsVisibleIn(-1e4, -1e4, 1e4, 1e4), 0);
  ASSERT_EQ(cache.GetOrCreate(-1e4, -1e4, 1e4, 1e4, 9, 9, 12.0, &projection), 1);
  EXPECT_EQ(cache.Find(0, 0), nullptr);
  cache.Clear();
}

}  // namespace

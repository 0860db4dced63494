#include <gtest/gtest.h>

#include <string>

#include "projection/MercatorProjection.h"
#include "projection/TileServers.h"

namespace {

std::u16string Url(int32_t x, int32_t y, double zoom) {
  MercatorProjection p;
  char16_t buffer[1024];
  char16_t* result = p.BuildTileUrl(x, y, zoom, buffer, 1024);
  EXPECT_EQ(result, buffer);
  return result;
}

std::u16string World(int n, const std::u16string& query) {
  return u"http://mt" + std::u16string(1, char16_t(u'0' + n)) + u"." + kWorldTileDomain + u"/mt?v=w2.92&hl=ko&" + query;
}
std::u16string Regional(int n, const std::u16string& query) {
  return u"http://mt" + std::u16string(1, char16_t(u'0' + n)) + u"." + kRegionalTileDomain + u"/mt?v=kr1.9&hl=ko&" +
         query;
}

bool IsRegional(int32_t x, int32_t y, double zoom) {
  return Url(x, y, zoom).find(kRegionalTileDomain) != std::u16string::npos;
}

TEST(TileUrl, WorldServerBelowLevelSeven) {
  EXPECT_EQ(Url(53, 24, 6.0), World(1, u"x=53&y=24&z=6"));
  EXPECT_EQ(Url(109, 49, 6.99), World(3, u"x=109&y=49&z=6"));  // would be regional at level 7
}

TEST(TileUrl, RegionalBoxAtLevelSevenIncludesBothEnds) {
  EXPECT_EQ(Url(108, 48, 7.0), Regional(0, u"x=108&y=48&z=7"));
  for (auto [x, y] : {std::pair{108, 48}, {111, 51}, {108, 51}, {111, 48}})
    EXPECT_TRUE(IsRegional(x, y, 7)) << x << "," << y;
  for (auto [x, y] : {std::pair{107, 48}, {112, 48}, {108, 47}, {108, 52}})
    EXPECT_FALSE(IsRegional(x, y, 7)) << x << "," << y;
  EXPECT_EQ(Url(111, 51, 7.9), Regional(1, u"x=111&y=51&z=7"));  // zoom printed as its level
}

TEST(TileUrl, RegionalBoxScalesWithUpperBoundsOf111And51TimesS) {
  for (int x = 216; x <= 222; ++x) {
    for (int y = 96; y <= 102; ++y) EXPECT_TRUE(IsRegional(x, y, 8)) << x << "," << y;
  }
  EXPECT_FALSE(IsRegional(223, 96, 8));
  EXPECT_FALSE(IsRegional(216, 103, 8));
  EXPECT_FALSE(IsRegional(215, 96, 8));
  // The home position at level 17 lies in the box (s = 1024).
  MercatorProjection p;
  const PixelPoint home = p.LatLonToPixel(37.433446, 127.173493, 17.0);
  const TilePoint tile = p.PixelToTile(home.x, home.y);
  EXPECT_TRUE(IsRegional(tile.tx, tile.ty, 17.0));
  EXPECT_FALSE(IsRegional(111 * 1024 + 1, 48 * 1024, 17.0));
  EXPECT_TRUE(IsRegional(111 * 1024, 51 * 1024, 17.0));
}

TEST(TileUrl, ServerNumberFollowsColumnPlusTwiceRow) {
  EXPECT_EQ(Url(0, 0, 3), World(0, u"x=0&y=0&z=3"));
  EXPECT_EQ(Url(1, 0, 3), World(1, u"x=1&y=0&z=3"));
  EXPECT_EQ(Url(0, 1, 3), World(2, u"x=0&y=1&z=3"));
  EXPECT_EQ(Url(1, 1, 3), World(3, u"x=1&y=1&z=3"));
  EXPECT_EQ(Url(2, 1, 3), World(0, u"x=2&y=1&z=3"));
  // The remainder keeps the dividend's sign: (-1 + 0) % 4 is -1.
  EXPECT_NE(Url(-1, 0, 3).find(u"http://mt-1."), std::u16string::npos);
}

TEST(TileUrl, ACapacityTooSmallCutsTheUrlTerminatedAndWritesNothingPastIt) {
  MercatorProjection p;
  char16_t buffer[64];
  for (char16_t& c : buffer) c = u'#';
  p.BuildTileUrl(53, 24, 6.0, buffer, 20);
  EXPECT_EQ(std::u16string(buffer), World(1, u"x=53&y=24&z=6").substr(0, 19));
  for (int i = 20; i < 64; ++i) EXPECT_EQ(buffer[i], u'#') << i;
  // Even levels beyond 31, where the box bounds would overflow, give a world URL.
  EXPECT_EQ(Url(5, 5, 40.0), World(3, u"x=5&y=5&z=40"));
}

}  // namespace

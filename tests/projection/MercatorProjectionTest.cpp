#include <gtest/gtest.h>

#include <cmath>

#include "projection/MercatorProjection.h"

namespace {

class Mercator : public testing::Test {
 protected:
  MercatorProjection p;
  MapProjection& iface = p;  // the rest of the library calls through the interface
};

TEST_F(Mercator, TablesHoldEighteenLevelsFilledByMultiplication) {
  ASSERT_EQ(p.PixelsPerDegree().size(), 18u);
  ASSERT_EQ(p.PixelsPerRadian().size(), 18u);
  ASSERT_EQ(p.CenterPixel().size(), 18u);
  EXPECT_EQ(p.PixelsPerDegree()[0], 0.7111111111111111);
  EXPECT_EQ(p.PixelsPerDegree()[1], 1.4222222222222223);
  EXPECT_EQ(p.PixelsPerRadian()[0], 40.74366543152521);
  EXPECT_EQ(p.PixelsPerRadian()[1], 81.48733086305042);
  EXPECT_EQ(p.CenterPixel()[0], 128.0);
  EXPECT_EQ(p.CenterPixel()[1], 256.0);
  EXPECT_EQ(p.CenterPixel()[17], 16777216.0);
  // Every later level is the level-0 entry times an exact power of two.
  for (int z = 0; z < 18; ++z) {
    EXPECT_EQ(p.PixelsPerDegree()[z], p.PixelsPerDegree()[0] * std::ldexp(1.0, z)) << z;
    EXPECT_EQ(p.PixelsPerRadian()[z], p.PixelsPerRadian()[0] * std::ldexp(1.0, z)) << z;
  }
}

TEST_F(Mercator, ZoomBoundsAndValidLevels) {
  EXPECT_EQ(iface.DefaultZoom(), 13.0);
  EXPECT_EQ(iface.MaxZoom(), 17.0);
  EXPECT_EQ(iface.MinZoom(), 1.0);
  EXPECT_FALSE(p.IsValidZoomLevel(0));
  EXPECT_TRUE(p.IsValidZoomLevel(1));
  EXPECT_TRUE(p.IsValidZoomLevel(17));
  EXPECT_FALSE(p.IsValidZoomLevel(18));
  EXPECT_FALSE(p.IsValidZoomLevel(-1));
  EXPECT_EQ(ZoomLevelOf(16.9), 16);
  EXPECT_EQ(ZoomLevelOf(0.5), 0);
  EXPECT_EQ(ZoomLevelOf(-0.5), 0);
  EXPECT_EQ(ZoomLevelOf(NAN), 0);
  EXPECT_EQ(ZoomLevelOf(1e300), INT32_MAX);
}

TEST_F(Mercator, LatLonToPixelRoundsHalfUpAndClampsTheSine) {
  EXPECT_EQ(iface.LatLonToPixel(0, 0, 1.0), (PixelPoint{256, 256}));
  EXPECT_EQ(iface.LatLonToPixel(0, 180, 1.0).x, 512);
  EXPECT_EQ(iface.LatLonToPixel(0, -180, 1.0).x, 0);
  EXPECT_EQ(iface.LatLonToPixel(90, 0, 1.0).y, -148);
  EXPECT_EQ(iface.LatLonToPixel(-90, 0, 1.0).y, 660);
  // No wrapping of longitude: 540 degrees lies a whole world further east.
  EXPECT_EQ(iface.LatLonToPixel(0, 540, 1.0).x, 1024);
  // Zoom 17.9 is level 17; invalid levels give (0, 0).
  EXPECT_EQ(iface.LatLonToPixel(37.433446, 127.173493, 17.9), iface.LatLonToPixel(37.433446, 127.173493, 17.0));
  for (double z : {0.5, 0.0, -0.5, 18.0}) EXPECT_EQ(iface.LatLonToPixel(37.4, 127.1, z), (PixelPoint{0, 0})) << z;
}

TEST_F(Mercator, PixelToLatLonGivesTheNorthWestCorner) {
  const GeoPoint corner = iface.PixelToLatLon(0, 0, 1.0);
  EXPECT_DOUBLE_EQ(corner.latitude, 85.0511287798066);
  EXPECT_EQ(corner.longitude, -180.0);
  EXPECT_EQ(iface.PixelToLatLon(256, 256, 1.0), (GeoPoint{0.0, 0.0}));
  for (double z : {0.5, 0.0, -0.5, 18.0}) EXPECT_EQ(iface.PixelToLatLon(100, 100, z), (GeoPoint{0.0, 0.0})) << z;
}

TEST_F(Mercator, PositionsSurviveARoundTripToTheSamePixel) {
  for (int level = 1; level <= 17; ++level) {
    for (auto [lat, lon] : {std::pair{37.433446, 127.173493}, {-33.86, 151.21}, {51.5, -0.12}, {0.0, 0.0}}) {
      const PixelPoint px = iface.LatLonToPixel(lat, lon, level);
      const GeoPoint back = iface.PixelToLatLon(px.x, px.y, level);
      EXPECT_EQ(iface.LatLonToPixel(back.latitude, back.longitude, level), px) << level << " " << lat;
    }
  }
}

TEST_F(Mercator, TileArithmeticTruncatesTowardZero) {
  EXPECT_EQ(iface.PixelToTile(-1, -256), (TilePoint{0, -1}));
  EXPECT_EQ(iface.PixelToTile(511, 512), (TilePoint{1, 2}));
  EXPECT_EQ(iface.PixelToTile(-255, 255), (TilePoint{0, 0}));
  EXPECT_EQ(iface.TileToPixel(-1, 3), (PixelPoint{-256, 768}));
  EXPECT_EQ(iface.TilesPerSide(1.0), (SizeCounts{2, 2}));
  EXPECT_EQ(iface.TilesPerSide(17.0), (SizeCounts{131072, 131072}));
  EXPECT_EQ(iface.TilesPerSide(0.0), (SizeCounts{1, 1}));
  EXPECT_EQ(iface.TilesPerSide(31.0), (SizeCounts{INT32_MAX, INT32_MAX}));  // capped, not overflowed
  EXPECT_EQ(iface.TileSize(), (SizeCounts{256, 256}));
}

}  // namespace

// Asking the control where it looks and what it shows, fitting a box into the window, and the
// callback after the view changed: answers checked against the painted screen, against an
// independent projection and at the window's pixel edges.
#include <cmath>
#include <limits>

#include "tests/mapview/MapViewHarness.h"

namespace {

constexpr uint32_t kPlainChild = 0x50000000;  // WS_CHILD | WS_VISIBLE: client size == window size
constexpr int32_t kWidth = 239, kHeight = 221;  // odd on both axes: half sizes truncate

class Queries : public MapViewTest {
 protected:
  OMMapView* OddView() {
    OMMapView* view = MakeView(5, 5, kWidth, kHeight, kPlainChild);
    RECT client{};
    GetClientRect(view->window, &client);
    EXPECT_EQ(client.right, kWidth);
    EXPECT_EQ(client.bottom, kHeight);
    return view;
  }

  // Every client point of a grid plus the four corners and the centre goes to a position and back
  // to the same point (within a pixel).
  void ExpectRoundTrips(OMMapView* view) {
    std::vector<std::pair<int32_t, int32_t>> points{{0, 0},           {kWidth - 1, 0},          {0, kHeight - 1},
                                                    {kWidth - 1, kHeight - 1}, {kWidth / 2, kHeight / 2}};
    for (int32_t y = 3; y < kHeight; y += 31)
      for (int32_t x = 2; x < kWidth; x += 29) points.push_back({x, y});
    for (auto [x, y] : points) {
      double lat = NAN, lon = NAN;
      int32_t bx = -1000, by = -1000;
      ASSERT_EQ(OMMapViewPointToLatLon(view, x, y, &lat, &lon), 1);
      ASSERT_EQ(OMMapViewLatLonToPoint(view, lat, lon, &bx, &by), 1);
      EXPECT_LE(std::abs(bx - x), 1) << "zoom " << view->zoom << " point " << x << "," << y;
      EXPECT_LE(std::abs(by - y), 1) << "zoom " << view->zoom << " point " << x << "," << y;
    }
  }

  // Where the tile under a point is not white, the screen shows the tile pixel of the world pixel
  // that the position PointToLatLon reports lies in: the answer is what is painted, offsets included.
  void ExpectPositionsMatchTheScreen(OMMapView* view) {
    MercatorProjection projection;
    const int32_t z = ZoomLevelOf(view->zoom);
    int compared = 0, mismatches = 0;
    for (int32_t y = 0; y < kHeight; y += 4) {
      for (int32_t x = 0; x < kWidth; x += 4) {
        double lat = 0, lon = 0;
        ASSERT_EQ(OMMapViewPointToLatLon(view, x, y, &lat, &lon), 1);
        const PixelPoint world = projection.LatLonToPixel(lat, lon, z);
        const uint32_t tile = TilePixel(world.x, world.y, z);
        if (tile == kWhiteRgb) continue;
        ++compared;
        if (ClientPixel(view, x, y) != tile && ++mismatches <= 5)
          ADD_FAILURE() << "zoom " << z << " client " << x << "," << y << " world " << world.x << "," << world.y;
      }
    }
    EXPECT_GT(compared, 500);
    EXPECT_EQ(mismatches, 0);
  }

  // The centre reported is world pixel (x, y)'s position and the one shown at the client centre.
  void ExpectCentreShows(OMMapView* view, int32_t x, int32_t y) {
    double lat = 0, lon = 0, clat = 0, clon = 0;
    ASSERT_EQ(OMMapViewGetCenter(view, &lat, &lon), 1);
    ExpectPosition(lat, lon, x, y, view->zoom);
    ASSERT_EQ(OMMapViewPointToLatLon(view, kWidth / 2, kHeight / 2, &clat, &clon), 1);
    EXPECT_EQ(clat, lat);
    EXPECT_EQ(clon, lon);
  }

  // Fits boxes at and just beyond the window's size into a view of that client size.
  void ExpectFitsToThePixel(OMMapView* view, int32_t width, int32_t height);

  // The position of world pixel (x, y) equals the answer within a hundredth of a pixel.
  static void ExpectPosition(double lat, double lon, int32_t x, int32_t y, double zoom) {
    MercatorProjection projection;
    const GeoPoint at = projection.PixelToLatLon(x, y, zoom);
    const double degreesPerPixel = 360.0 / (256.0 * std::pow(2.0, ZoomLevelOf(zoom)));
    EXPECT_NEAR(lat, at.latitude, degreesPerPixel * 0.01);
    EXPECT_NEAR(lon, at.longitude, degreesPerPixel * 0.01);
  }
};

TEST_F(Queries, PointsAndPositionsAreInversesAtTheCornersAndAnswerWhatTheScreenShowsAtLevels1To17) {
  OMMapView* view = OddView();
  const struct {
    double zoom;
    int32_t x, y;
  } cases[] = {{1.0, 256, 250}, {9.0, 40000, 51234}, {17.0, 16777216 + 4321, 16777216 - 9876}};
  for (const auto& c : cases) {
    ShowAt(view, c.x, c.y, c.zoom);
    ASSERT_TRUE(WaitForTiles(view));
    ExpectRoundTrips(view);
    // A drag that stays within the layers leaves a pending pan: the window shows it as an offset.
    Drag(view, 120, 110, 107, 101);
    ASSERT_NE(view->pendingX, 0);
    ASSERT_TRUE(WaitForTiles(view));
    Pump();
    ExpectRoundTrips(view);
    ExpectPositionsMatchTheScreen(view);
    // A live drag adds its own offset on top.
    StylusDown(view, 100, 100);
    StylusMove(view, 109, 104);
    ASSERT_EQ(view->dragX, -9);
    ExpectRoundTrips(view);
    StylusUp(view, 100, 100);
  }
}

TEST_F(Queries, TheCentreFollowsALiveDragAndStaysWhereTheDragLeftIt) {
  OMMapView* view = OddView();
  ShowAt(view, 40000, 51234, 9.0);
  ASSERT_TRUE(WaitForTiles(view));
  double lat = 0, lon = 0, zoom = 0, clat = 0, clon = 0;
  ASSERT_EQ(OMMapViewGetCenter(view, &lat, &lon), 1);
  ExpectPosition(lat, lon, 40000, 51234, 9.0);
  ASSERT_EQ(OMMapViewGetZoom(view, &zoom), 1);
  EXPECT_EQ(zoom, 9.0);

  // The stylus moves 30 left and 20 up: the window shows the world 30 right and 20 down.
  StylusDown(view, 150, 140);
  StylusMove(view, 135, 130);
  StylusMove(view, 120, 120);
  ExpectCentreShows(view, 40030, 51254);
  StylusUp(view, 120, 120);
  ExpectCentreShows(view, 40030, 51254);

  // A second drag long enough to scroll the layers folds the pan into the centre: same answer.
  Drag(view, 200, 200, 10, 10);
  ASSERT_EQ(OMMapViewGetCenter(view, &lat, &lon), 1);
  ExpectPosition(lat, lon, 40220, 51444, 9.0);

  // Without a tile level the stored centre is kept and reported; pixel questions are refused.
  ASSERT_EQ(OMMapViewSetZoom(view, 19.0), 1);
  ASSERT_EQ(OMMapViewGetCenter(view, &clat, &clon), 1);
  EXPECT_EQ(clat, lat);
  EXPECT_EQ(clon, lon);
  int32_t x = 0, y = 0;
  EXPECT_EQ(OMMapViewPointToLatLon(view, 10, 10, &clat, &clon), 0);
  EXPECT_EQ(OMMapViewLatLonToPoint(view, lat, lon, &x, &y), 0);
  ASSERT_EQ(OMMapViewSetZoom(view, 9.0), 1);
  ASSERT_EQ(OMMapViewLatLonToPoint(view, lat, lon, &x, &y), 1);
  EXPECT_EQ(x, kWidth / 2);
  EXPECT_EQ(y, kHeight / 2);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Queries, QueriesRefuseNullResultsNonNumbersAndAViewWithoutAMap) {
  OMMapView* view = OddView();
  double a = 7, b = 7;
  int32_t x = 7, y = 7;
  EXPECT_EQ(OMMapViewGetCenter(view, &a, &b), 0);
  EXPECT_EQ(OMMapViewGetZoom(view, &a), 0);
  EXPECT_EQ(OMMapViewPointToLatLon(view, 1, 1, &a, &b), 0);
  EXPECT_EQ(OMMapViewLatLonToPoint(view, 1.0, 1.0, &x, &y), 0);
  EXPECT_EQ(OMMapViewFitBounds(view, 1.0, 1.0, 2.0, 2.0), 0);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(x, 7);
  ShowAt(view, 600, 600, 3.0);
  EXPECT_EQ(OMMapViewGetCenter(view, nullptr, &b), 0);
  EXPECT_EQ(OMMapViewGetZoom(view, nullptr), 0);
  EXPECT_EQ(OMMapViewPointToLatLon(view, 1, 1, &a, nullptr), 0);
  EXPECT_EQ(OMMapViewLatLonToPoint(view, 1.0, 1.0, nullptr, &y), 0);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(OMMapViewLatLonToPoint(view, NAN, 1.0, &x, &y), 0);
  EXPECT_EQ(OMMapViewLatLonToPoint(view, 1.0, -inf, &x, &y), 0);
  // Far beyond the world the pixel does not fit 32 bits: refused rather than a wrapped point.
  EXPECT_EQ(OMMapViewLatLonToPoint(view, 1.0, 1e300, &x, &y), 0);
  EXPECT_EQ(OMMapViewPointToLatLon(view, INT32_MAX, INT32_MIN, &a, &b), 0);
  EXPECT_EQ(x, 7);
  EXPECT_EQ(a, 7);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Queries, FitBoundsPicksTheDeepestLevelWhoseCornersLandInsideTheWindowToThePixel) {
  // An odd and an even client size: the middle's rounding must keep the far corner inside for both.
  for (const SizeCounts size : {SizeCounts{kWidth, kHeight}, SizeCounts{240, 220}}) {
    ExpectFitsToThePixel(MakeView(5, 5, size.width, size.height, kPlainChild), size.width, size.height);
  }
}

void Queries::ExpectFitsToThePixel(OMMapView* view, const int32_t width, const int32_t height) {
  ShowAt(view, 600, 600, 3.0);
  MercatorProjection projection;
  struct Box {
    double south, west, north, east;
  };
  // Boxes built from world pixels at a level: spanning the window's width or height minus one
  // pixel they fit at that level; one pixel more and they do not.
  auto boxOf = [&](int32_t x0, int32_t y0, int32_t spanX, int32_t spanY, int32_t level) {
    const GeoPoint nw = projection.PixelToLatLon(x0, y0, level);
    const GeoPoint se = projection.PixelToLatLon(x0 + spanX, y0 + spanY, level);
    return Box{se.latitude, nw.longitude, nw.latitude, se.longitude};
  };
  const struct {
    Box box;
    double level;
  } cases[] = {
      {boxOf(70001, 50003, width - 1, 10, 10), 10.0},
      {boxOf(70001, 50003, width, 10, 10), 9.0},
      {boxOf(3000, 4001, 20, height - 1, 5), 5.0},
      {boxOf(3000, 4001, 20, height, 5), 4.0},
      {boxOf(500000, 700000, 0, 0, 17), 17.0},          // a point: the deepest limit
      {Box{-80.0, -179.0, 80.0, 179.0}, 1.0},          // fits at no level: the shallowest limit
      {Box{47.37, 8.53, 47.38, 8.56}, 0.0},             // real coordinates; level checked generally
  };
  for (const auto& c : cases) {
    ASSERT_EQ(OMMapViewFitBounds(view, c.box.south, c.box.west, c.box.north, c.box.east), 1);
    double zoom = 0;
    ASSERT_EQ(OMMapViewGetZoom(view, &zoom), 1);
    if (c.level != 0.0) {
      EXPECT_EQ(zoom, c.level);
    }
    int32_t nx = 0, ny = 0, sx = 0, sy = 0;
    ASSERT_EQ(OMMapViewLatLonToPoint(view, c.box.north, c.box.west, &nx, &ny), 1);
    ASSERT_EQ(OMMapViewLatLonToPoint(view, c.box.south, c.box.east, &sx, &sy), 1);
    if (zoom > 1.0) {
      EXPECT_TRUE(nx >= 0 && ny >= 0 && sx < width && sy < height)
          << "zoom " << zoom << ": " << nx << "," << ny << " " << sx << "," << sy;
    }
    // Centred: the box's middle is at the window's centre within a pixel.
    EXPECT_LE(std::abs((nx + sx) - 2 * (width / 2)), 2) << nx << " " << sx;
    EXPECT_LE(std::abs((ny + sy) - 2 * (height / 2)), 2) << ny << " " << sy;
    if (zoom < 17.0) {
      const PixelPoint nw = projection.LatLonToPixel(c.box.north, c.box.west, zoom + 1.0);
      const PixelPoint se = projection.LatLonToPixel(c.box.south, c.box.east, zoom + 1.0);
      EXPECT_TRUE(se.x - nw.x >= width || se.y - nw.y >= height) << "fits one level deeper than " << zoom;
    }
  }
  ASSERT_TRUE(WaitForTiles(view));

  // Not a box: nothing changes.
  double zoom = 0;
  OMMapViewGetZoom(view, &zoom);
  EXPECT_EQ(OMMapViewFitBounds(view, 10.0, 1.0, 9.0, 2.0), 0);
  EXPECT_EQ(OMMapViewFitBounds(view, 1.0, 3.0, 2.0, 2.0), 0);
  EXPECT_EQ(OMMapViewFitBounds(view, NAN, 1.0, 2.0, 2.0), 0);
  EXPECT_EQ(OMMapViewFitBounds(view, 1.0, 1.0, 2.0, std::numeric_limits<double>::infinity()), 0);
  double after = 0;
  OMMapViewGetZoom(view, &after);
  EXPECT_EQ(after, zoom);
}

struct ChangeLog {
  OMMapView* view = nullptr;
  int calls = 0;
  double lastZoom = 0;
  int wrongView = 0;
  int wrongThread = 0;
  DWORD thread = 0;
};

void RecordChange(OMMapView* view, void* userData) {
  auto* log = static_cast<ChangeLog*>(userData);
  ++log->calls;
  log->wrongView += view != log->view;
  log->wrongThread += GetCurrentThreadId() != log->thread;
  OMMapViewGetZoom(view, &log->lastZoom);  // the handler sees the new state
}

TEST_F(Queries, TheViewChangedHandlerRunsOncePerCommittedChangeAndNeverForMovesOrRefusals) {
  OMMapView* view = OddView();
  ChangeLog log;
  log.view = view;
  log.thread = guiThread;
  ASSERT_EQ(OMMapViewSetViewChangedHandler(view, RecordChange, &log), 1);
  EXPECT_EQ(OMMapViewSetViewChangedHandler(nullptr, RecordChange, &log), 0);
  EXPECT_EQ(OMMapViewSetZoom(view, 3.0), 0);  // no map yet
  EXPECT_EQ(log.calls, 0);

  ShowAt(view, 600, 600, 3.0);
  EXPECT_EQ(log.calls, 1);
  const GeoPoint there = PositionOf(700, 650, 3.0);
  ASSERT_EQ(OMMapViewSetCenter(view, there.latitude, there.longitude), 1);
  ASSERT_EQ(OMMapViewSetZoom(view, 4.0), 1);
  EXPECT_EQ(log.lastZoom, 4.0);
  ASSERT_EQ(OMMapViewZoomIn(view), 1);
  EXPECT_EQ(log.lastZoom, 5.0);
  ASSERT_EQ(OMMapViewZoomOut(view), 1);
  EXPECT_EQ(log.calls, 5);

  // Refused: no call.
  EXPECT_EQ(OMMapViewSetZoom(view, NAN), 0);
  EXPECT_EQ(OMMapViewSetCenter(view, NAN, 1.0), 0);
  EXPECT_EQ(OMMapViewFitBounds(view, 2.0, 1.0, 1.0, 2.0), 0);
  ASSERT_EQ(OMMapViewSetZoom(view, 1.0), 1);
  EXPECT_EQ(OMMapViewZoomOut(view), 0);
  ASSERT_EQ(OMMapViewSetZoom(view, 17.0), 1);
  EXPECT_EQ(OMMapViewZoomIn(view), 0);
  EXPECT_EQ(log.calls, 7);
  ASSERT_TRUE(WaitForTiles(view));

  // A drag: nothing while the stylus moves, one call when it is lifted.
  StylusDown(view, 100, 100);
  StylusMove(view, 90, 95);
  StylusMove(view, 80, 90);
  EXPECT_EQ(log.calls, 7);
  StylusUp(view, 80, 90);
  EXPECT_EQ(log.calls, 8);
  // A tap moves nothing.
  StylusDown(view, 50, 50);
  StylusUp(view, 50, 50);
  EXPECT_EQ(log.calls, 8);
  // A double tap zooms (at the upper limit it does not).
  ASSERT_EQ(OMMapViewSetZoom(view, 12.0), 1);
  StylusDown(view, 60, 60, 100);
  EXPECT_EQ(log.calls, 10);
  EXPECT_EQ(log.lastZoom, 13.0);
  StylusUp(view, 60, 60);
  EXPECT_EQ(log.calls, 10);
  ASSERT_EQ(OMMapViewFitBounds(view, 1.0, 1.0, 2.0, 2.0), 1);
  EXPECT_EQ(log.calls, 11);
  EXPECT_EQ(log.wrongView, 0);
  EXPECT_EQ(log.wrongThread, 0);

  // Null handler: none.
  ASSERT_EQ(OMMapViewSetViewChangedHandler(view, nullptr, &log), 1);
  ASSERT_EQ(OMMapViewSetZoom(view, 6.0), 1);
  Drag(view, 100, 100, 60, 60);
  EXPECT_EQ(log.calls, 11);
  ASSERT_TRUE(WaitForTiles(view));
}

}  // namespace

// Stylus input through the device's own input path: live drags and their clamps at the world's
// edges, the pending pan folded before a zoom, and the double tap.
#include "tests/mapview/MapViewHarness.h"

#include "platform/kernel/Time.h"

namespace {

class Stylus : public MapViewTest {
 protected:
  OMMapView* Show(int32_t x, int32_t y, double zoom) {
    OMMapView* view = MakeView(10, 10, 242, 270);  // client 240 x 268
    ShowAt(view, x, y, zoom);
    EXPECT_TRUE(WaitForTiles(view));
    return view;
  }
  // A tap `later` milliseconds after the previous stylus-down.
  void Tap(OMMapView* view, int32_t x, int32_t y, DWORD later) {
    fakeTicks += later - tapGapMs;
    StylusDown(view, x, y);
    StylusUp(view, x, y);
  }
};

TEST_F(Stylus, LiveDragFollowsTheStylusAndStopsAtTheWorldsLeftEdge) {
  OMMapView* view = Show(130, 600, 2.0);  // viewport.left = 10
  ASSERT_EQ(view->viewport.left, 10);
  StylusDown(view, 100, 100);
  StylusMove(view, 105, 100);
  EXPECT_EQ(view->dragX, -5);
  EXPECT_EQ(MismatchesOnScreen(view, -5, 0, 5), 0);
  StylusMove(view, 150, 100);
  EXPECT_EQ(view->dragX, -10);  // 50 to the right stops at the edge
  EXPECT_EQ(MismatchesOnScreen(view, -10, 0, 5), 0);
  StylusUp(view, 100 + 5, 100);  // released 5 to the right of where it went down
  EXPECT_EQ(view->dragX, 0);
  EXPECT_EQ(view->pendingX, -5);
  // The live clamp ignores the pending pan: the picture may pass the edge by up to it...
  StylusDown(view, 100, 100);
  StylusMove(view, 150, 100);
  EXPECT_EQ(view->dragX, -10);
  EXPECT_EQ(MismatchesOnScreen(view, -15, 0, 5), 0);
  // ...and the release clamps the sum: the map settles at the edge.
  StylusUp(view, 150, 100);
  EXPECT_EQ(view->pendingX, -10);
  EXPECT_EQ(MismatchesOnScreen(view, -10, 0, 5), 0);
}

TEST_F(Stylus, LiveDragStopsAtTheWorldsRightAndTopEdges) {
  OMMapView* view = Show(1024 - 5 - 120, 134 + 10, 2.0);  // viewport.right = worldWidth - 5, top = 10
  ASSERT_EQ(view->viewport.right, 1019);
  ASSERT_EQ(view->viewport.top, 10);
  StylusDown(view, 100, 100);
  StylusMove(view, 80, 150);  // 20 left, 50 down
  EXPECT_EQ(view->dragX, 5);
  EXPECT_EQ(view->dragY, -10);
  EXPECT_EQ(MismatchesOnScreen(view, 5, -10, 5), 0);
  StylusUp(view, 80, 150);
  EXPECT_EQ(view->pendingX, 5);
  EXPECT_EQ(view->pendingY, -10);
}

TEST_F(Stylus, UnpairedStylusUpAndMovesChangeNothing) {
  OMMapView* view = Show(600, 600, 2.0);
  StylusMove(view, 50, 50);
  StylusUp(view, 10, 10);
  EXPECT_EQ(view->dragX, 0);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->centerX, 600);
}

TEST_F(Stylus, ZoomFoldsThePendingPanSoTheCentrePointStaysAtTheCentre) {
  OMMapView* view = Show(600, 600, 2.0);
  Drag(view, 100, 100, 130, 80);  // pending (-30, 20), inside the layers
  ASSERT_EQ(view->pendingX, -30);
  ASSERT_EQ(view->pendingY, 20);
  ASSERT_EQ(OMMapViewZoomIn(view), 1);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  // The point shown at the centre was (570, 620) at level 2: (1140, 1240) at level 3.
  EXPECT_NEAR(view->centerX, 1140, 1);
  EXPECT_NEAR(view->centerY, 1240, 1);
  Drag(view, 100, 100, 90, 110);  // pending (10, -10)
  ASSERT_EQ(OMMapViewSetZoom(view, 2.0), 1);
  EXPECT_NEAR(view->centerX, 575, 1);
  EXPECT_NEAR(view->centerY, 615, 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
}

TEST_F(Stylus, DoubleTapZoomsInOneLevelKeepingTheTappedPointUnderTheStylus) {
  OMMapView* view = Show(600, 600, 2.0);
  Drag(view, 100, 100, 120, 90);  // a pending pan (-20, 10) is part of what the stylus sees
  const int32_t worldX = view->viewport.left + view->pendingX + 60;
  const int32_t worldY = view->viewport.top + view->pendingY + 200;
  EventRecord::Clear();
  Tap(view, 60, 200, 1000);
  EXPECT_EQ(view->zoom, 2.0);
  Tap(view, 65, 190, 300);  // 300 ms later, 5 and 10 pixels away
  EXPECT_EQ(view->zoom, 3.0);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_NEAR(view->viewport.left + 65, 2 * (worldX + 5), 1);
  EXPECT_NEAR(view->viewport.top + 190, 2 * (worldY - 10), 1);
  // The same tiles and events as a zoom call: the new viewport's tiles, one pair per tile.
  ASSERT_TRUE(WaitForTiles(view));
  const PixelRect v = view->viewport;
  std::set<TileId> level3;
  for (const TileId& t : RequestedSet()) {
    if (t.z == 3) level3.insert(t);
  }
  std::set<TileId> expected;
  for (int32_t x = v.left / 256; x <= v.right / 256; ++x)
    for (int32_t y = v.top / 256; y <= v.bottom / 256; ++y) expected.insert({x, y, 3});
  EXPECT_EQ(level3, expected);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapWillLoad), expected.size());
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded), expected.size());
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
  // A third quick tap starts afresh instead of zooming again.
  Tap(view, 65, 190, 100);
  EXPECT_EQ(view->zoom, 3.0);
}

TEST_F(Stylus, SlowOrDistantSecondTapsDoNotZoomAndNothingHappensAtTheTopLevel) {
  OMMapView* view = Show(600, 600, 2.0);
  Tap(view, 60, 200, 1000);
  Tap(view, 60, 200, 500);  // too late
  EXPECT_EQ(view->zoom, 2.0);
  Tap(view, 75, 200, 100);  // 15 pixels away
  EXPECT_EQ(view->zoom, 2.0);
  Tap(view, 75, 214, 100);  // 14 pixels away: a double tap
  EXPECT_EQ(view->zoom, 3.0);

  const GeoPoint home = PositionOf(40000, 40000, 17.0);
  ASSERT_EQ(OMMapViewSetMap(view, 1, home.latitude, home.longitude, 17.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  const size_t requests = Requested().size();
  Tap(view, 60, 200, 1000);
  Tap(view, 60, 200, 100);
  EXPECT_EQ(view->zoom, 17.0);
  EXPECT_EQ(view->centerX, 40000);
  EXPECT_EQ(Requested().size(), requests);
}

}  // namespace

// Stylus input through the device's own input path: live drags and their clamps at the world's
// edges, the pending pan folded before a zoom, and the double tap.
#include <algorithm>

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
    StylusDown(view, x, y, later);
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
  Tap(view, 75, 214, 1000);
  Tap(view, 75, 214, 499);  // the last moment that still counts
  EXPECT_EQ(view->zoom, 4.0);

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

// The control holds the stylus from down to up: a drag released over the task bar (or anywhere
// else off the control) still ends in the control, as a pan from the release point.
TEST_F(Stylus, ADragReleasedOffTheControlBecomesAPanAndTheNextDragContinuesFromIt) {
  OMMapView* view = Show(600, 600, 2.0);
  ASSERT_EQ(Requested().size(), 4u);
  StylusDown(view, 100, 200);
  StylusMove(view, 100, 120);
  POINT down{100, 200};
  ClientToScreen(view->window, &down);
  POINT outside{down.x, 5};  // the task bar, on the screen
  ScreenToClient(view->window, &outside);
  ASSERT_LT(outside.y, 0);
  InjectStylusMove(down.x, 5);
  InjectStylusUp(down.x, 5);
  Pump();
  EXPECT_EQ(view->dragging, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  // 200 - y pixels north-to-south: past the layers, so the pan was committed and the centre moved.
  const int32_t dy = 200 - outside.y;
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->centerX, 600);
  EXPECT_EQ(view->centerY, 600 + dy);
  ASSERT_TRUE(WaitForTiles(view));
  std::set<TileId> rows;
  for (const TileId& t : RequestedSet()) rows.insert(TileId{0, t.y, t.z});
  EXPECT_TRUE(rows.count(TileId{0, (view->viewport.bottom - 1) / 256, 2})) << "the uncovered row was asked for";
  // The next short drag starts from the released view, not from the one before it.
  Drag(view, 60, 150, 70, 160);
  EXPECT_EQ(view->centerY, 600 + dy);
  EXPECT_EQ(view->pendingX, -10);
  EXPECT_EQ(view->pendingY, -10);
  EXPECT_EQ(MismatchesOnScreen(view, -10, -10, 5), 0);
}

TEST_F(Stylus, LosingTheStylusMidDragEndsTheDragWhereItWasLastSeen) {
  OMMapView* view = Show(600, 600, 2.0);
  StylusDown(view, 100, 100);
  StylusMove(view, 130, 120);
  EnableWindow(parent, FALSE);  // what a modal dialog does to its owner
  EXPECT_EQ(view->dragging, 0);
  EXPECT_EQ(view->pendingX, -30);
  EXPECT_EQ(view->pendingY, -20);
  EnableWindow(parent, TRUE);
  StylusUp(view, 200, 200);  // the stylus-up that follows changes nothing more
  EXPECT_EQ(view->pendingX, -30);
  EXPECT_EQ(MismatchesOnScreen(view, -30, -20, 5), 0);

  StylusDown(view, 100, 100);
  ASSERT_EQ(GetCapture(), view->window);
  StylusMove(view, 90, 95);
  SetCapture(parent);  // another window takes the stylus
  EXPECT_EQ(view->dragging, 0);
  EXPECT_EQ(view->pendingX, -20);
  EXPECT_EQ(view->pendingY, -15);
  ReleaseCapture();
}

// East and south pans and their clamps at the far edges: at level 1 with a window wider and higher
// than the world (pinned to the far edges), and at level 17 near the world's south-east corner.
TEST_F(Stylus, EastAndSouthPansStopAtTheWorldsFarEdgesAtTheTopAndBottomLevels) {
  OMMapView* big = MakeView(0, 0, 602, 602);  // client 600 x 600 against a world of 512 at level 1
  ShowAt(big, 256, 256, 1.0);
  ASSERT_TRUE(WaitForTiles(big));
  for (const TileId& t : RequestedSet()) {
    EXPECT_TRUE(t.x >= 0 && t.x <= 1 && t.y >= 0 && t.y <= 1) << "tile (" << t.x << ", " << t.y << ") is outside";
  }
  Drag(big, 300, 300, 250, 260);  // east and south
  EXPECT_EQ(big->pendingX, 512 - big->viewport.right);
  EXPECT_EQ(big->pendingY, 512 - big->viewport.bottom);
  OMMapViewDestroy(big);
  views.erase(std::find(views.begin(), views.end(), big));

  constexpr int32_t kWorld17 = 256 << 17;
  OMMapView* view = Show(kWorld17 - 130, kWorld17 - 150, 17.0);  // 10 and 16 pixels from the far edges
  ASSERT_EQ(view->viewport.right, kWorld17 - 10);
  ASSERT_EQ(view->viewport.bottom, kWorld17 - 16);
  StylusDown(view, 200, 200);
  StylusMove(view, 150, 100);
  EXPECT_EQ(view->dragX, 10);
  EXPECT_EQ(view->dragY, 16);
  StylusUp(view, 150, 100);
  EXPECT_EQ(view->pendingX, 10);
  EXPECT_EQ(view->pendingY, 16);
  ASSERT_TRUE(WaitForTiles(view));
  for (const TileId& t : RequestedSet()) {
    EXPECT_LT(t.x, 1 << 17);
    EXPECT_LT(t.y, 1 << 17);
  }
  EXPECT_EQ(MismatchesOnScreen(view, 10, 16, 5), 0);
}

// A zoom refused at a limit changes nothing: the pending pan and the picture stay as they were.
TEST_F(Stylus, ARefusedZoomAtALimitKeepsThePendingPanAndTheOffsetPicture) {
  OMMapView* view = Show(40000, 40000, 17.0);
  Drag(view, 100, 100, 120, 110);
  ASSERT_EQ(view->pendingX, -20);
  EXPECT_EQ(OMMapViewZoomIn(view), 0);
  EXPECT_EQ(view->pendingX, -20);
  EXPECT_EQ(view->pendingY, -10);
  Pump();
  EXPECT_EQ(MismatchesOnScreen(view, -20, -10, 5), 0);
  ASSERT_EQ(OMMapViewSetMap(view, 1, PositionOf(300, 300, 1.0).latitude, PositionOf(300, 300, 1.0).longitude, 1.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Drag(view, 100, 100, 90, 95);
  ASSERT_EQ(view->pendingX, 10);
  EXPECT_EQ(OMMapViewZoomOut(view), 0);
  EXPECT_EQ(view->pendingX, 10);
  EXPECT_EQ(view->pendingY, 5);
  Pump();
  EXPECT_EQ(MismatchesOnScreen(view, 10, 5, 5), 0);
}

// A flick (flick panning on): a drag released while moving glides on the same way, further than the
// drag, and stops by itself within a second of the stylus clock, its timer gone; a stylus-down
// during a glide stops it where it is.
TEST_F(Stylus, AFlickGlidesOnAndStopsByItselfAndATouchStopsTheGlideAtOnce) {
  OMMapView* view = Show(4000, 4000, 6.0);
  ASSERT_EQ(OMMapViewSetFlickPanning(view, 1), 1);
  auto flick = [&] {
    StylusDown(view, 200, 100);
    for (int i = 1; i <= 5; ++i) {
      fakeTicks += 10;
      StylusMove(view, 200 - 20 * i, 100);  // 2 pixels a millisecond to the left
    }
    StylusUp(view, 100, 100);
  };
  // The clock moves by `ms`; the glide's timer then steps it (messages pumped until it moved).
  auto run = [&](DWORD ms) {
    const int32_t before = view->pendingX + view->centerX;
    fakeTicks += ms;
    return PumpUntil([&] { return view->pendingX + view->centerX != before || view->gliding == 0; });
  };
  const int32_t start = view->centerX + view->pendingX;
  flick();
  EXPECT_EQ(view->centerX + view->pendingX - start, 100);
  ASSERT_EQ(view->gliding, 1);
  ASSERT_TRUE(run(100));
  EXPECT_GT(view->centerX + view->pendingX - start, 100);
  ASSERT_TRUE(run(1000));
  EXPECT_EQ(view->gliding, 0);
  // 2 pixels a millisecond, slowing as exp(-t / 200 ms) until 0.03: about 394 pixels more.
  EXPECT_NEAR(view->centerX + view->pendingX - start, 100 + 394, 3);
  EXPECT_EQ(KillTimer(view->window, 0x474C), FALSE);  // no timer left running

  flick();
  ASSERT_TRUE(run(50));
  ASSERT_EQ(view->gliding, 1);
  StylusDown(view, 50, 50);
  EXPECT_EQ(view->gliding, 0);
  const int32_t stopped = view->centerX + view->pendingX;
  fakeTicks += 500;
  Sleep(100);
  Pump();
  EXPECT_EQ(view->centerX + view->pendingX, stopped);
  StylusUp(view, 50, 50);
  EXPECT_TRUE(WaitForTiles(view));
}

}  // namespace

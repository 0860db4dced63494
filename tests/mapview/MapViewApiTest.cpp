// The public functions as an application calls them: results, zoom limits, events and their
// threads, and two controls side by side.
#include <cmath>

#include "tests/mapview/MapViewHarness.h"

extern "C" int CallEveryFunctionFromC(void);

namespace {

class Api : public MapViewTest {};

TEST_F(Api, EveryFunctionRefusesANullHandle) {
  EXPECT_EQ(OMMapViewDestroy(nullptr), 0);
  EXPECT_EQ(OMMapViewSetMap(nullptr, 1, 37.4, 127.1, 17.0), 0);
  EXPECT_EQ(OMMapViewSetCenter(nullptr, 37.4, 127.1), 0);
  EXPECT_EQ(OMMapViewSetZoom(nullptr, 3.0), 0);
  EXPECT_EQ(OMMapViewZoomIn(nullptr), 0);
  EXPECT_EQ(OMMapViewZoomOut(nullptr), 0);
  EXPECT_EQ(OMMapViewSetEventHandler(nullptr, EventRecord::Handler, 10), 0);
  EXPECT_EQ(OMMapViewCreate(kBorderedChild, 0, 0, 100, 100, reinterpret_cast<HWND>(0x7777), nullptr), nullptr);
  EXPECT_EQ(CallEveryFunctionFromC(), 0);  // the same through the header compiled as C
}

TEST_F(Api, FunctionsThatNeedAMapRefuseBeforeOneIsSetAndAnOtherMapTypeChangesNothing) {
  OMMapView* view = MakeView(10, 10, 242, 270);
  EXPECT_EQ(OMMapViewSetCenter(view, 37.4, 127.1), 0);
  EXPECT_EQ(OMMapViewSetZoom(view, 3.0), 0);
  EXPECT_EQ(OMMapViewZoomIn(view), 0);
  EXPECT_EQ(OMMapViewZoomOut(view), 0);
  EXPECT_EQ(OMMapViewSetMap(view, 2, 37.4, 127.1, 3.0), 0);
  EXPECT_EQ(view->projection, nullptr);
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(OMMapViewSetMap(view, 2, 10.0, 10.0, 5.0), 0);
  EXPECT_EQ(OMMapViewSetMap(view, 0, 10.0, 10.0, 5.0), 0);
  EXPECT_EQ(view->zoom, 2.0);
  EXPECT_EQ(view->centerX, 600);
  EXPECT_EQ(Requested().size(), 4u);
  Pump();
  EXPECT_EQ(MismatchesOnScreen(view), 0);
  // The background is never erased: each paint covers the window.
  HDC dc = GetDC(view->window);
  EXPECT_EQ(SendMessageW(view->window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
  ReleaseDC(view->window, dc);
  EXPECT_EQ(MismatchesOnScreen(view), 0);
}

TEST_F(Api, ZoomStepsByOneAndRefusesAtTheLimitsComparedAsDoubles) {
  OMMapView* view = MakeView(10, 10, 122, 122);  // a small window keeps the tile count low
  ShowAt(view, 600, 600, 2.0);
  EXPECT_EQ(OMMapViewZoomOut(view), 1);
  EXPECT_EQ(view->zoom, 1.0);
  EXPECT_EQ(view->minZoom, 1.0);
  EXPECT_EQ(view->maxZoom, 17.0);
  EXPECT_EQ(OMMapViewZoomOut(view), 0);
  EXPECT_EQ(view->zoom, 1.0);
  ASSERT_EQ(OMMapViewSetZoom(view, 16.0), 1);
  EXPECT_EQ(OMMapViewZoomIn(view), 1);
  EXPECT_EQ(view->zoom, 17.0);
  EXPECT_EQ(OMMapViewZoomIn(view), 0);
  EXPECT_EQ(view->zoom, 17.0);
  ASSERT_EQ(OMMapViewSetZoom(view, 16.5), 1);
  EXPECT_EQ(OMMapViewZoomIn(view), 1);
  EXPECT_EQ(view->zoom, 17.5);
  EXPECT_EQ(OMMapViewZoomIn(view), 0);
  EXPECT_EQ(view->zoom, 17.5);
  // Zooms beyond the limits are accepted by SetZoom and SetMap; the projection has no pixels there.
  EXPECT_EQ(OMMapViewSetZoom(view, 20.0), 1);
  EXPECT_EQ(view->zoom, 20.0);
  const GeoPoint at = PositionOf(600, 600, 2.0);
  EXPECT_EQ(OMMapViewSetMap(view, 1, at.latitude, at.longitude, 20.0), 1);
  EXPECT_EQ(view->zoom, 20.0);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Api, EventsComeInPairsOnTheirThreadsWithTheUserDataAndHeldTilesReportBeforeTheCallReturns) {
  OMMapView* view = MakeView(10, 10, 242, 270);
  ShowAt(view, 600, 600, 2.0);  // user data 10
  ASSERT_TRUE(WaitForTiles(view));
  auto all = EventRecord::All();
  size_t willLoad = 0, loaded = 0, willDraw = 0, drawn = 0;
  for (const RecordedEvent& e : all) {
    EXPECT_EQ(e.view, view);
    EXPECT_EQ(e.reserved1, 0);
    EXPECT_EQ(e.reserved2, 0);
    EXPECT_EQ(e.userData, 10u);
    if (e.type == OMEventTypeMapWillLoad || e.type == OMEventTypeMapLoaded) {
      EXPECT_NE(e.threadId, guiThread);  // downloaded tiles report on their download threads
    } else {
      EXPECT_EQ(e.threadId, guiThread);
    }
    willLoad += e.type == OMEventTypeMapWillLoad;
    loaded += e.type == OMEventTypeMapLoaded;
    willDraw += e.type == OMEventTypeMapWillDraw;
    drawn += e.type == OMEventTypeMapDrawn;
  }
  EXPECT_EQ(willLoad, 4u);
  EXPECT_EQ(loaded, 4u);
  EXPECT_GE(willDraw, 1u);
  EXPECT_EQ(willDraw, drawn);
  // On each thread a tile's 0 comes right before its 1 (no other event of that thread between).
  std::map<DWORD, int32_t> lastOnThread;
  for (const RecordedEvent& e : all) {
    if (e.type == OMEventTypeMapLoaded) {
      EXPECT_EQ(lastOnThread[e.threadId], OMEventTypeMapWillLoad);
    }
    lastOnThread[e.threadId] = e.type;
  }

  // Every tile of a position a few pixels away is held: all four pairs fire on this thread before
  // the call returns, in order.
  EventRecord::Clear();
  OMMapViewSetEventHandler(view, EventRecord::Handler, 77);
  const GeoPoint near = PositionOf(610, 590, 2.0);
  ASSERT_EQ(OMMapViewSetMap(view, 1, near.latitude, near.longitude, 2.0), 1);
  all = EventRecord::All();
  ASSERT_EQ(all.size(), 8u);
  for (size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].type, i % 2 == 0 ? OMEventTypeMapWillLoad : OMEventTypeMapLoaded);
    EXPECT_EQ(all[i].threadId, guiThread);
    EXPECT_EQ(all[i].userData, 77u);
  }
  EXPECT_EQ(Requested().size(), 4u);

  // Without a handler nothing is delivered.
  EventRecord::Clear();
  OMMapViewSetEventHandler(view, nullptr, 5);
  ASSERT_EQ(OMMapViewSetCenter(view, PositionOf(600, 600, 2.0).latitude, PositionOf(600, 600, 2.0).longitude), 1);
  InvalidateRect(view->window, nullptr, FALSE);
  Pump();
  EXPECT_TRUE(EventRecord::All().empty());
}

TEST_F(Api, ANewCentreIsShownAtTheWindowsCentreEvenAfterAPendingPan) {
  OMMapView* view = MakeView(10, 10, 242, 270);
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(WaitForTiles(view));
  Drag(view, 100, 100, 130, 120);
  ASSERT_EQ(view->pendingX, -30);
  const GeoPoint p = PositionOf(620, 580, 2.0);
  ASSERT_EQ(OMMapViewSetCenter(view, p.latitude, p.longitude), 1);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  Drag(view, 100, 100, 90, 95);
  ASSERT_EQ(OMMapViewSetMap(view, 1, p.latitude, p.longitude, 2.0), 1);
  EXPECT_EQ(view->pendingX, 0);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
  EXPECT_EQ(ClientPixel(view, 120, 134), ExpectedPixel(620, 580, 2, 620 - 256, 580 - 256));
}

TEST_F(Api, TwoControlsInOneParentShowTheirOwnTiles) {
  OMMapView* left = MakeView(10, 10, 202, 202);
  OMMapView* right = MakeView(250, 10, 202, 202);
  ASSERT_NE(left, nullptr);
  ASSERT_NE(right, nullptr);
  EXPECT_NE(left->window, right->window);
  EXPECT_EQ(FindViewOfWindow(left->window), left);
  EXPECT_EQ(FindViewOfWindow(right->window), right);
  ShowAt(left, 600, 600, 2.0);
  ShowAt(right, 1500, 1300, 3.0);
  ASSERT_TRUE(WaitForTiles(left));
  ASSERT_TRUE(WaitForTiles(right));
  EXPECT_EQ(left->tileLayer.cache.Count(), 4u);
  for (Tile* t : left->tileLayer.cache.order) EXPECT_EQ(t->zoom, 2.0);
  for (Tile* t : right->tileLayer.cache.order) EXPECT_EQ(t->zoom, 3.0);
  EXPECT_EQ(MismatchesOnScreen(left, 0, 0, 4), 0);
  EXPECT_EQ(MismatchesOnScreen(right, 0, 0, 4), 0);
  EXPECT_EQ(EventRecord::Count(left, OMEventTypeMapLoaded), left->tileLayer.cache.Count());
  EXPECT_EQ(EventRecord::Count(right, OMEventTypeMapLoaded), right->tileLayer.cache.Count());
  // A drag in one moves that one only.
  Drag(right, 100, 100, 140, 100);
  EXPECT_EQ(right->pendingX, -40);
  EXPECT_EQ(left->pendingX, 0);
  EXPECT_EQ(MismatchesOnScreen(left, 0, 0, 4), 0);
  EXPECT_EQ(MismatchesOnScreen(right, -40, 0, 4), 0);
}

// A zoom without a tile level (below 1, from 18 up) keeps the centre: the view shows the
// placeholder grid, takes no drag and asks for nothing, and the next zoom with a level shows the
// same centre again. NaN and infinity are refused.
TEST_F(Api, AZoomWithoutALevelKeepsTheCentreForTheNextZoomThatHasOne) {
  OMMapView* view = MakeView(10, 10, 242, 270);
  OMMapViewSetEventHandler(view, EventRecord::Handler, 10);
  ASSERT_EQ(OMMapViewSetMap(view, 1, 37.433446, 127.173493, 9.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  const double lat = view->latitude, lon = view->longitude;
  const size_t before = Requested().size();

  ASSERT_EQ(OMMapViewSetZoom(view, 0.5), 1);
  EXPECT_EQ(view->zoom, 0.5);
  Drag(view, 100, 100, 140, 130);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  ASSERT_EQ(OMMapViewSetZoom(view, 30.0), 1);
  ASSERT_EQ(OMMapViewSetZoom(view, -3.0), 1);
  ASSERT_EQ(OMMapViewZoomIn(view), 1);  // -2: still none
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Requested().size(), before) << "no tile is asked for at a zoom without a level";
  EXPECT_EQ(view->latitude, lat);
  EXPECT_EQ(view->longitude, lon);
  // The placeholder grid, nothing else.
  int notPlaceholder = 0;
  for (int32_t y = 0; y < 268; y += 9)
    for (int32_t x = 0; x < 240; x += 9)
      notPlaceholder += ClientPixel(view, x, y) != PlaceholderPixel(view->viewport.left - view->bufferRect.left + x,
                                                                    view->viewport.top - view->bufferRect.top + y);
  EXPECT_EQ(notPlaceholder, 0);

  for (double bad : {std::nan(""), double(INFINITY), -double(INFINITY)}) {
    EXPECT_EQ(OMMapViewSetZoom(view, bad), 0);
    EXPECT_EQ(OMMapViewSetMap(view, 1, 37.4, 127.1, bad), 0);
    EXPECT_EQ(OMMapViewSetCenter(view, bad, 127.1), 0);
    EXPECT_EQ(OMMapViewSetMap(view, 1, 37.4, bad, 10.0), 0);
  }
  EXPECT_EQ(view->zoom, -2.0);

  ASSERT_EQ(OMMapViewSetZoom(view, 10.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  MercatorProjection projection;
  const PixelPoint centre = projection.LatLonToPixel(37.433446, 127.173493, 10.0);
  EXPECT_NEAR(view->centerX, centre.x, 1);
  EXPECT_NEAR(view->centerY, centre.y, 1);
  const auto all = Requested();
  const std::set<TileId> after(all.begin() + before, all.end());
  EXPECT_TRUE(after.count(TileId{873, 397, 10})) << "the tile holding the centre";
  for (const TileId& t : after) EXPECT_EQ(t.z, 10);
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
}

}  // namespace

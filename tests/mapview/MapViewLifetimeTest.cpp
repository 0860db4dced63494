// Destroying the control and its window in either order while tiles are still downloading, and
// moving the view while tiles arrive. The sanitizer runs judge what these leave behind.
#include "tests/mapview/MapViewHarness.h"

namespace {

class Lifetime : public MapViewTest {
 protected:
  OMMapView* TakeView(OMMapView* view) {
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
    return view;
  }
};

TEST_F(Lifetime, DestroyWhileTilesDownloadThenDestroyTheParent) {
  server.AddRule("delay=1500");
  OMMapView* view = TakeView(MakeView(10, 10, 242, 270));
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(server.WaitForRequests(4, 10000));
  HWND window = view->window;
  ASSERT_EQ(OMMapViewDestroy(view), 1);
  // The downloads were cancelled and awaited; no event can come any more, and the window no longer
  // leads to the freed control.
  const size_t events = EventRecord::All().size();
  EXPECT_EQ(FindViewOfWindow(window), nullptr);
  InvalidateRect(window, nullptr, TRUE);
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 20));
  Pump();
  EXPECT_TRUE(IsWindow(window));
  DestroyWindow(parent);
  parent = nullptr;
  Pump();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(EventRecord::All().size(), events);
}

TEST_F(Lifetime, DestroyTheParentWhileTilesDownloadThenTheControl) {
  server.AddRule("delay=300");
  OMMapView* view = TakeView(MakeView(10, 10, 242, 270));
  ShowAt(view, 600, 600, 2.0);
  const size_t registered = ViewRegistrySize();
  DestroyWindow(parent);  // the control's window goes with it and frees the layers
  parent = nullptr;
  EXPECT_EQ(view->mapDC, nullptr);
  EXPECT_EQ(view->placeholderDC, nullptr);
  EXPECT_EQ(ViewRegistrySize(), registered - 1);
  // The tiles still arrive, report their events and find no layer to draw into.
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded), 4u);
  // The control keeps working without its window until it is destroyed.
  EXPECT_EQ(OMMapViewSetCenter(view, PositionOf(700, 700, 2.0).latitude, PositionOf(700, 700, 2.0).longitude), 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(OMMapViewDestroy(view), 1);
  const size_t events = EventRecord::All().size();
  Pump();
  EXPECT_EQ(EventRecord::All().size(), events);
  EXPECT_EQ(ViewRegistrySize(), registered - 1);
}

// The parent goes mid-drag: the control loses the stylus while its window still works, ends the
// drag there (a pan past the layers, with tile requests), and then goes with the parent.
TEST_F(Lifetime, DestroyTheParentMidDragThenTheControl) {
  OMMapView* view = TakeView(MakeView(10, 10, 242, 270));
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(WaitForTiles(view));
  const size_t registered = ViewRegistrySize();
  StylusDown(view, 200, 200);
  StylusMove(view, 20, 20);
  DestroyWindow(parent);
  parent = nullptr;
  EXPECT_EQ(view->dragging, 0);
  EXPECT_EQ(view->centerX, 780);
  EXPECT_EQ(view->centerY, 780);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ViewRegistrySize(), registered - 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(OMMapViewDestroy(view), 1);
}

// Positions and levels change while the server sends tiles slowly. Every change replaces or
// scrolls the layers while download threads draw into them (the thread sanitizer watches), and
// tiles of earlier positions and levels keep arriving. Once all have arrived the window shows
// exactly the last position: a late tile of another level must not be drawn into it.
TEST_F(Lifetime, MovingAndZoomingWhileTilesArriveEndsWithTheLastPositionShown) {
  server.AddRule("chunk-size=700 chunk-delay=3");
  OMMapView* view = MakeView(10, 10, 242, 270);
  ShowAt(view, 600, 600, 2.0);
  for (int i = 0; i < 12; ++i) {
    Pump();
    switch (i % 4) {
      case 0: ASSERT_EQ(OMMapViewZoomIn(view), 1); break;
      case 1: Drag(view, 20, 20, 200, 240); break;
      case 2: ASSERT_EQ(OMMapViewZoomOut(view), 1); break;
      case 3: {
        const GeoPoint p = PositionOf(500 + 10 * i, 620 - 5 * i, 2.0);
        ASSERT_EQ(OMMapViewSetCenter(view, p.latitude, p.longitude), 1);
        break;
      }
    }
  }
  const GeoPoint last = PositionOf(600, 600, 2.0);
  ASSERT_EQ(OMMapViewSetCenter(view, last.latitude, last.longitude), 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(view->zoom, 2.0);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapWillLoad), EventRecord::Count(view, OMEventTypeMapLoaded));
  EXPECT_EQ(MismatchesOnScreen(view, view->pendingX, view->pendingY, 4), 0);
}

}  // namespace

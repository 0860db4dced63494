// The viewport, the layers and painting, judged by the pixels the headless screen shows and by the
// tile server's request log.
#include "tests/mapview/MapViewHarness.h"

namespace {

// A bordered window of 242 x 270 has a client area of 240 x 268.
constexpr int32_t kWindowW = 242, kWindowH = 270;

class Painting : public MapViewTest {
 protected:
  // The state every pan case starts from: centre (600, 600) at level 2, all four tiles drawn.
  OMMapView* ShowCentre600() {
    OMMapView* view = MakeView(10, 10, kWindowW, kWindowH);
    ShowAt(view, 600, 600, 2.0);
    EXPECT_TRUE(WaitForTiles(view));
    return view;
  }
  // Layer columns [0, firstKept) (or rows, when `rows`) white, the rest the world's tile pixels.
  void ExpectLayerFilledBefore(OMMapView* view, int32_t firstKept, bool rows) {
    const PixelRect b = view->bufferRect;
    int wrong = 0;
    for (int32_t i = 0; i < 512; i += 3) {
      for (int32_t j = 0; j < 512; j += 17) {
        const int32_t lx = rows ? j : i, ly = rows ? i : j;
        const uint32_t expected = i < firstKept ? kWhiteRgb : TilePixel(b.left + lx, b.top + ly, 2);
        wrong += LayerPixel(view, lx, ly) != expected;
      }
    }
    // The edge itself, on every line: the last filled and the first kept line.
    for (int32_t j = 0; j < 512; ++j) {
      const int32_t lx = rows ? j : firstKept, ly = rows ? firstKept : j;
      wrong += LayerPixel(view, rows ? j : firstKept - 1, rows ? firstKept - 1 : j) != kWhiteRgb;
      wrong += LayerPixel(view, lx, ly) != TilePixel(b.left + lx, b.top + ly, 2);
    }
    EXPECT_EQ(wrong, 0);
  }
  std::set<TileId> RequestedAfter(size_t first) {
    const auto all = Requested();
    return {all.begin() + std::min(first, all.size()), all.end()};
  }
};

TEST_F(Painting, AppliedPositionShowsTheViewportOfItsTilesOverThePlaceholder) {
  OMMapView* view = ShowCentre600();
  EXPECT_EQ(view->viewport, (PixelRect{480, 466, 720, 734}));
  EXPECT_EQ(view->bufferRect, (PixelRect{256, 256, 768, 768}));
  EXPECT_EQ(view->worldWidth, 1024);
  EXPECT_EQ(view->worldHeight, 1024);
  // Both layers are exactly 512 x 512.
  EXPECT_NE(LayerPixel(view, 511, 511), 0xFFFFFFFFu);
  EXPECT_EQ(LayerPixel(view, 512, 0), 0xFFFFFFFFu);
  EXPECT_EQ(LayerPixel(view, 0, 512), 0xFFFFFFFFu);
  EXPECT_EQ(Requested().size(), 4u);
  EXPECT_EQ(RequestedSet(), (std::set<TileId>{{1, 1, 2}, {1, 2, 2}, {2, 1, 2}, {2, 2, 2}}));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 3), 0);
  // The comparison covered white road pixels, where the placeholder must show through.
  int roads = 0;
  for (int32_t y = 0; y < 268; y += 3)
    for (int32_t x = 0; x < 240; x += 3) roads += TilePixel(480 + x, 466 + y, 2) == kWhiteRgb;
  EXPECT_GT(roads, 50);
}

// A download answered with an error ends without a report (the fetcher accepts status 200 only and
// reports nothing else), so the tile's rectangle keeps the white of the rebuilt layer.
TEST_F(Painting, FailedTileShowsThePlaceholder) {
  server.AddRule("x=2 y=2 status=404");
  OMMapView* view = ShowCentre600();
  EXPECT_EQ(MismatchesOnScreen(view), 0);
  EXPECT_EQ(ClientPixel(view, 230, 200), PlaceholderPixel(224 + 230, 210 + 200));  // inside tile (2, 2)
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapWillLoad), 3u);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded), 3u);
  // The layer's last column and row, which no fill of the layer's own size reaches, are white too.
  EXPECT_EQ(LayerPixel(view, 511, 300), kWhiteRgb);
  EXPECT_EQ(LayerPixel(view, 300, 511), kWhiteRgb);
}

// A 200 answer that is no image (text, a cut PNG, nothing) is a delivered tile that cannot be
// drawn: its events come, the placeholder shows, and once the tile has left the cache a return to
// it asks the server again.
TEST_F(Painting, AnAnswerThatIsNoImageLeavesThePlaceholderAndIsAskedForAgainAfterEviction) {
  server.AddRule("x=1 y=1 z=3 garbage");
  server.AddRule("x=2 y=1 z=3 body-size=100");
  server.AddRule("x=1 y=2 z=3 body-size=0");
  OMMapView* view = MakeView(10, 10, kWindowW, kWindowH);
  ShowAt(view, 600, 600, 3.0);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapWillLoad), 4u);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded), 4u);
  EXPECT_EQ(ClientPixel(view, 10, 10), PlaceholderPixel(224 + 10, 210 + 10));     // tile (1, 1)
  EXPECT_EQ(ClientPixel(view, 230, 10), PlaceholderPixel(224 + 230, 210 + 10));   // tile (2, 1)
  EXPECT_EQ(ClientPixel(view, 10, 200), PlaceholderPixel(224 + 10, 210 + 200));   // tile (1, 2)
  EXPECT_EQ(ClientPixel(view, 230, 200), ExpectedPixel(710, 676, 3, 454, 410));  // tile (2, 2) is drawn
  // Two positions far away fill the cache with other tiles; back home, the three are asked again.
  for (int32_t y : {1200, 1800, 600}) {
    const GeoPoint at = PositionOf(y == 600 ? 600 : 1800, y, 3.0);
    ASSERT_EQ(OMMapViewSetCenter(view, at.latitude, at.longitude), 1);
    ASSERT_TRUE(WaitForTiles(view));
  }
  std::map<TileId, int> asked;
  for (const TileId& t : Requested()) ++asked[t];
  EXPECT_EQ(asked[(TileId{1, 1, 3})], 2);
  EXPECT_EQ(asked[(TileId{2, 1, 3})], 2);
  EXPECT_EQ(asked[(TileId{1, 2, 3})], 2);
  EXPECT_EQ(ClientPixel(view, 10, 10), PlaceholderPixel(224 + 10, 210 + 10));
}

TEST_F(Painting, OddClientWidthGivesAViewportOnePixelNarrower) {
  OMMapView* view = MakeView(10, 10, kWindowW + 1, kWindowH);  // client 241 x 268
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(view->viewport, (PixelRect{480, 466, 720, 734}));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
  EXPECT_EQ(ClientPixel(view, 240, 100), ExpectedPixel(720, 566, 2, 464, 310));  // the extra column
}

TEST_F(Painting, BeforeAnyPositionPaintingCopiesNothingButStillReportsItsEvents) {
  OMMapView* view = MakeView(10, 10, kWindowW, kWindowH);
  EXPECT_EQ(view->zoom, 0.0);
  EXPECT_EQ(view->projection, nullptr);
  EXPECT_EQ(view->mapDC, nullptr);
  EXPECT_EQ(view->placeholderDC, nullptr);
  EXPECT_EQ(view->bufferRect, (PixelRect{0, 0, 0, 0}));
  EXPECT_EQ(view->viewport, (PixelRect{0, 0, 0, 0}));
  OMMapViewSetEventHandler(view, EventRecord::Handler, 10);
  // Painting into a red surface leaves it red: the empty layers copy nothing.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 64, 64);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillRectColor(dc, 0, 0, 65, 65, RGB(255, 0, 0));
  Paint(view, dc);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 63, 63), RGB(255, 0, 0));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapWillDraw), 1u);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapDrawn), 1u);
  // A drag before the map is set has nothing to pan: nothing moves and nothing is requested.
  Drag(view, 20, 20, 120, 150);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->dragging, 0);
  EXPECT_EQ(view->mapDC, nullptr);
  EXPECT_TRUE(Requested().empty());
}

// Pending pans from the (600, 600) state. The server refuses the strips' tiles that are not yet
// held (a refused download reports nothing), so the layer keeps the scroll and the fills as the pan
// left them.

TEST_F(Painting, PanThatStaysInsideTheLayersIsPaintedAsAnOffset) {
  OMMapView* view = ShowCentre600();
  Drag(view, 20, 100, 120, 100);  // the stylus moves 100 pixels right
  EXPECT_EQ(view->pendingX, -100);
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->bufferRect, (PixelRect{256, 256, 768, 768}));
  EXPECT_EQ(view->centerX, 600);
  EXPECT_EQ(Requested().size(), 4u);
  EXPECT_EQ(MismatchesOnScreen(view, -100, 0, 3), 0);
  // The picture moved with the stylus: what was at client x now shows at x + 100.
  EXPECT_EQ(ClientPixel(view, 150, 40), ExpectedPixel(480 + 50, 466 + 40, 2, 224 + 150, 210 + 40));
}

TEST_F(Painting, PanLeavingTheLayersOnTheLeftScrollsFillsTheColumnsAndRequestsTheStrip) {
  OMMapView* view = ShowCentre600();
  server.AddRule("x=0 status=404");
  Drag(view, 20, 100, 120, 100);  // pending -100: stays
  const size_t loadsBefore = EventRecord::Count(view, OMEventTypeMapLoaded);
  Drag(view, 20, 100, 170, 100);  // pending -250: leaves the layers
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->centerX, 350);
  EXPECT_EQ(view->centerY, 600);
  EXPECT_EQ(view->viewport, (PixelRect{230, 466, 470, 734}));
  EXPECT_EQ(view->bufferRect, (PixelRect{6, 256, 518, 768}));
  ExpectLayerFilledBefore(view, 250, false);
  // Strip (230, 466)-(256, 734): tile columns 0 and 1, rows 1 and 2. The held ones were drawn before
  // the pan returned; only column 0 goes to the server.
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded) - loadsBefore, 2u);
  ASSERT_TRUE(server.WaitForRequests(6, 10000));
  EXPECT_EQ(RequestedAfter(4), (std::set<TileId>{{0, 1, 2}, {0, 2, 2}}));
}

// East: only the newly exposed column is asked for; further east the world ends, and no column
// beyond it is ever asked for.
TEST_F(Painting, PanLeavingTheLayersOnTheRightRequestsTheNewColumnAndNothingBeyondTheWorld) {
  OMMapView* view = ShowCentre600();
  Drag(view, 170, 100, 20, 100);  // pending 150: leaves the layers on the right
  EXPECT_EQ(view->centerX, 750);
  ASSERT_TRUE(server.WaitForRequests(6, 10000));
  EXPECT_EQ(RequestedAfter(4), (std::set<TileId>{{3, 1, 2}, {3, 2, 2}}));
  for (int i = 0; i < 3; ++i) Drag(view, 170, 100, 20, 100);
  EXPECT_EQ(view->viewport.right + view->pendingX, 1024);
  ASSERT_TRUE(WaitForTiles(view));
  for (const TileId& t : RequestedSet()) EXPECT_LE(t.x, 3) << "a column beyond the world";
  EXPECT_EQ(MismatchesOnScreen(view, view->pendingX, 0, 5), 0);
}

TEST_F(Painting, PanLeavingTheLayersAtTheBottomFillsTheRowsAndRequestsTheStrip) {
  OMMapView* view = ShowCentre600();
  server.AddRule("y=3 status=404");
  Drag(view, 100, 200, 100, 50);  // pending (0, 150)
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->bufferRect, (PixelRect{256, 406, 768, 918}));
  // Layer rows 362 to 511 are white (fill (0, 362, 512, 513)); row 361 is the scrolled picture.
  const PixelRect b = view->bufferRect;
  int wrong = 0;
  for (int32_t x = 0; x < 512; ++x) {
    wrong += LayerPixel(view, x, 362) != kWhiteRgb || LayerPixel(view, x, 511) != kWhiteRgb;
    wrong += LayerPixel(view, x, 361) != TilePixel(b.left + x, b.top + 361, 2);
  }
  EXPECT_EQ(wrong, 0);
  ASSERT_TRUE(server.WaitForRequests(6, 10000));
  EXPECT_EQ(RequestedAfter(4), (std::set<TileId>{{1, 3, 2}, {2, 3, 2}}));
}

TEST_F(Painting, PanLeavingTheLayersAtTheTopFillsTheRowsAndRequestsTheStrip) {
  OMMapView* view = ShowCentre600();
  server.AddRule("y=0 status=404");
  Drag(view, 100, 10, 100, 250);  // pending (0, -240)
  EXPECT_EQ(view->bufferRect, (PixelRect{256, 16, 768, 528}));
  ExpectLayerFilledBefore(view, 240, true);  // fill (0, 0, 512, 241): rows 0 to 239
  ASSERT_TRUE(server.WaitForRequests(6, 10000));
  EXPECT_EQ(RequestedAfter(4), (std::set<TileId>{{1, 0, 2}, {2, 0, 2}}));
}

TEST_F(Painting, PanLeavingTheLayersOnBothAxesFillsBothAndRequestsTheCornerTilesOnly) {
  OMMapView* view = ShowCentre600();
  server.AddRule("x=0 status=404");
  server.AddRule("y=0 status=404");
  Drag(view, 20, 100, 120, 100);  // pending (-100, 0): stays
  const size_t loadsBefore = EventRecord::Count(view, OMEventTypeMapLoaded);
  Drag(view, 20, 10, 170, 250);                                                 // pending (-250, -240)
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded) - loadsBefore, 1u);  // held tile (1, 1), once
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);
  EXPECT_EQ(view->bufferRect, (PixelRect{6, 16, 518, 528}));
  // Columns 0 to 249 and rows 0 to 239 are white; the rest is the scrolled tile (1, 1).
  const PixelRect b = view->bufferRect;
  int wrong = 0;
  for (int32_t y = 0; y < 512; y += 3) {
    for (int32_t x = 0; x < 512; x += 3) {
      const bool filled = x < 250 || y < 240;
      wrong += LayerPixel(view, x, y) != (filled ? kWhiteRgb : TilePixel(b.left + x, b.top + y, 2));
    }
  }
  EXPECT_EQ(wrong, 0);
  // Both strips cover tile columns 0 and 1 and rows 0 and 1; tile (1, 1) is held, and each of the
  // others is requested once (drawn once when held), not again for the second strip.
  const size_t loads = EventRecord::Count(view, OMEventTypeMapLoaded);
  ASSERT_TRUE(server.WaitForRequests(7, 10000));
  EXPECT_EQ(RequestedAfter(4), (std::set<TileId>{{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}));
  WaitForTiles(view);
  EXPECT_EQ(Requested().size(), 7u);
  EXPECT_EQ(EventRecord::Count(view, OMEventTypeMapLoaded), loads);
}

// A pan that leaves the layers at the top but also moves sideways scrolls the layer sideways too;
// the uncovered columns must not keep the old picture, which a later pan would show at the wrong
// place (there is no strip on that side, so their tiles are not requested: placeholder).
TEST_F(Painting, ScrollWithOneStripLeavesNoStalePixelsOnTheOtherAxis) {
  OMMapView* view = ShowCentre600();
  Drag(view, 20, 10, 170, 250);  // pending (-150, -240): leaves at the top only
  Drag(view, 20, 100, 130, 100);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(view->pendingX, -110);
  EXPECT_EQ(MismatchesOnScreen(view, -110, 0, 4), 0);
}

// A resize keeps the point shown at the centre there, a pending pan included; an odd client size
// gives a viewport one pixel smaller than the window on that axis, centred as the control computes it.
TEST_F(Painting, AResizedControlKeepsItsCentreAndShowsTheTilesOfItsNewSize) {
  OMMapView* view = ShowCentre600();
  Drag(view, 100, 100, 120, 110);  // pending (-20, -10), inside the layers
  MoveWindow(view->window, 10, 10, 241, 223, TRUE);  // client 239 x 221
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->centerX, 580);
  EXPECT_EQ(view->centerY, 590);
  EXPECT_EQ(view->viewport, (PixelRect{580 - 119, 590 - 110, 580 + 119, 590 + 110}));
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 3), 0);
  MoveWindow(view->window, 10, 10, 402, 402, TRUE);  // larger: the tiles of the new area come too
  EXPECT_EQ(view->viewport, (PixelRect{580 - 200, 590 - 200, 580 + 200, 590 + 200}));
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(MismatchesOnScreen(view, 0, 0, 5), 0);
}

}  // namespace

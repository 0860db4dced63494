// The kept picture of the map against the layers it is made from: while the stylus drags the map
// with markers (one translucent) and a track over it, each paint shows exactly what drawing from
// the layers shows, pixel for pixel, also after a tile is redrawn mid-drag, after a marker moves,
// when the drag goes past the layers' edge, and once the layers have scrolled after the lift.

#include <vector>

#include "mapview/AttributionLabel.h"
#include "mapview/MapPainter.h"
#include "tests/mapview/MapViewHarness.h"

namespace {

constexpr uint32_t kPlainChild = 0x50000000;  // WS_CHILD | WS_VISIBLE: client size == window size
constexpr int32_t kWidth = 240, kHeight = 268;
constexpr int32_t kGlassSide = 16;

// A kGlassSide square PNG, red at alpha 128: over the placeholder its pixels blend with it.
std::vector<uint8_t> GlassPng() {
  std::vector<uint8_t> rgba(kGlassSide * kGlassSide * 4);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = 200, rgba[i + 1] = 30, rgba[i + 2] = 30, rgba[i + 3] = 128;
  return EncodeRgbaPng(kGlassSide, kGlassSide, rgba);
}

class DraggedPicture : public MapViewTest {
 protected:
  // The window's pixels as the screen shows them.
  std::vector<uint32_t> Shown(OMMapView* view) {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) pixels.push_back(ClientPixel(view, x, y));
    return pixels;
  }
  // The window's pixels drawn from the layers and the overlays as they are now.
  std::vector<uint32_t> FromLayers(OMMapView* view) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const PixelRect client{0, 0, kWidth, kHeight};
    PaintFromLayers(view, dc, client, client);
    DrawAttribution(view, dc);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        pixels.push_back((uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c));
      }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
  }
  int Mismatches(OMMapView* view, const char* when) {
    const std::vector<uint32_t> shown = Shown(view), expected = FromLayers(view);
    int mismatches = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      if (shown[i] != expected[i] && ++mismatches <= 3)
        ADD_FAILURE() << when << ": client (" << i % kWidth << ", " << i / kWidth << ") shows " << std::hex
                      << shown[i] << ", drawn from the layers " << expected[i] << std::dec;
    }
    return mismatches;
  }
};

TEST_F(DraggedPicture, ADragWithMarkersAndATrackShowsExactlyWhatTheLayersAndOverlaysGive) {
  OMMapView* view = MakeView(0, 0, kWidth, kHeight, kPlainChild);
  ShowAt(view, 600, 600, 2.0);  // viewport (480, 466, 720, 734), layers (256, 256, 768, 768)
  ASSERT_TRUE(WaitForTiles(view));
  // Pins over the whole window, many of them on the tiles' white roads where the placeholder shows.
  for (int32_t i = 0; i < 30; ++i) {
    const GeoPoint at = PositionOf(480 + 8 + (i % 6) * 40, 466 + 30 + (i / 6) * 50, 2.0);
    ASSERT_GT(OMMapViewAddMarker(view, at.latitude, at.longitude, nullptr, 0, 9, 29), 0);
  }
  // The translucent marker lies over a road: find a white map-layer pixel near the window's middle.
  int32_t roadX = -1, roadY = -1;
  for (int32_t y = 300; y < 420 && roadX < 0; ++y)
    for (int32_t x = 300; x < 420 && roadX < 0; ++x)
      if (LayerPixel(view, x, y) == kWhiteRgb) roadX = x, roadY = y;
  ASSERT_GE(roadX, 0) << "the tiles have no road near the middle";
  const std::vector<uint8_t> glass = GlassPng();
  const GeoPoint glassAt = PositionOf(256 + roadX, 256 + roadY, 2.0);
  ASSERT_GT(OMMapViewAddMarker(view, glassAt.latitude, glassAt.longitude, glass.data(), uint32_t(glass.size()), 8, 8),
            0);
  std::vector<double> track;
  for (const auto& [x, y] : {std::pair{470, 470}, {600, 560}, {560, 700}, {730, 740}}) {
    const GeoPoint p = PositionOf(x, y, 2.0);
    track.insert(track.end(), {p.latitude, p.longitude});
  }
  ASSERT_GT(OMMapViewAddPolyline(view, track.data(), 4, 0x2040D0, 5), 0);
  Pump();
  const std::vector<uint32_t> still = Shown(view);
  EXPECT_EQ(Mismatches(view, "before the drag"), 0);

  StylusDown(view, 120, 134);
  StylusMove(view, 120 - 37, 134 - 23);  // the map moves by (-37, -23): offset (37, 23)
  Pump();
  ASSERT_EQ(view->dragX, 37);
  ASSERT_EQ(view->dragY, 23);
  const std::vector<uint32_t> dragged = Shown(view);
  int moved = 0;
  for (size_t i = 0; i < still.size(); ++i) moved += dragged[i] != still[i];
  EXPECT_GT(moved, kWidth * kHeight / 4) << "the drag must change the picture";
  EXPECT_EQ(Mismatches(view, "dragged"), 0);

  // A tile reported without data mid-drag turns white: the placeholder shows through all of it.
  const TileDrawInfo failed{512, 512, 256, 256, 2, 2, 2.0, nullptr, 0, 0, 0, 0};
  OnTileReady(&failed, view);
  Pump();
  EXPECT_EQ(LayerPixel(view, 300, 300), kWhiteRgb);
  EXPECT_EQ(Mismatches(view, "after a tile was redrawn"), 0);

  // A marker shown at both its places moves (the 8th pin, at world (528, 546)).
  const GeoPoint elsewhere = PositionOf(600, 600, 2.0);
  ASSERT_EQ(OMMapViewMoveMarker(view, 8, elsewhere.latitude, elsewhere.longitude), 1);
  Pump();
  EXPECT_EQ(Mismatches(view, "after a marker moved"), 0);

  // The drag carried past the layers' left edge (viewport.left - 250 < 256).
  StylusMove(view, 120 + 250, 134);
  Pump();
  ASSERT_EQ(view->dragX, -250);
  EXPECT_EQ(Mismatches(view, "past the layers' edge"), 0);

  // Lifted there, the pan leaves the layers: they scroll. The strip's tiles, no longer held, come
  // late; meanwhile the window shows what was scrolled, and the placeholder over the strip.
  view->tileLayer.cache.Clear();
  server.AddRule("delay=1500");
  StylusUp(view, 120 + 250, 134);
  Pump();
  ASSERT_EQ(view->bufferRect, (PixelRect{6, 256, 518, 768}));  // scrolled by (-250, 0)
  EXPECT_EQ(Mismatches(view, "after the layers scrolled"), 0);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(Mismatches(view, "once the strip's tiles came"), 0);
}

}  // namespace

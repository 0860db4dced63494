// Markers on the real painted screen: an image with transparent corners drawn at its position over
// the tiles and moving with a drag, taps on it reported instead of panning (and taps beside it or
// on its transparent pixels not), removal, and images the imaging service refuses.
#include <zlib.h>

#include <cmath>
#include <vector>

#include "mapview/MapMarkers.h"
#include "tests/mapview/MapViewHarness.h"

namespace {

constexpr uint32_t kPlainChild = 0x50000000;  // WS_CHILD | WS_VISIBLE: client size == window size
constexpr int32_t kSide = 12, kAnchor = 6, kCorner = 3;
constexpr uint32_t kMarkerRgb = 0x0AC81E;

// A kSide x kSide RGBA PNG in kMarkerRgb whose kCorner x kCorner corners are fully transparent.
std::vector<uint8_t> MarkerPng() {
  std::vector<uint8_t> rgba(kSide * kSide * 4);
  for (int32_t y = 0; y < kSide; ++y) {
    for (int32_t x = 0; x < kSide; ++x) {
      const bool corner = (x < kCorner || x >= kSide - kCorner) && (y < kCorner || y >= kSide - kCorner);
      uint8_t* p = &rgba[(y * kSide + x) * 4];
      p[0] = 0x0A, p[1] = 0xC8, p[2] = 0x1E, p[3] = corner ? 0 : 255;
    }
  }
  return EncodeRgbaPng(kSide, kSide, rgba);
}

void AppendBigEndian(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(value >> shift));
}

// A PNG signature and a valid header chunk declaring `width` x `height` RGBA, then nothing.
std::vector<uint8_t> PngHeaderDeclaring(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> chunk{'I', 'H', 'D', 'R'};
  AppendBigEndian(&chunk, width);
  AppendBigEndian(&chunk, height);
  chunk.insert(chunk.end(), {8, 6, 0, 0, 0});
  AppendBigEndian(&png, 13);
  png.insert(png.end(), chunk.begin(), chunk.end());
  AppendBigEndian(&png, uint32_t(crc32(0, chunk.data(), uInt(chunk.size()))));
  return png;
}

class Markers : public MapViewTest {
 protected:
  OMMapView* Show() {
    OMMapView* view = MakeView(5, 5, 240, 220, kPlainChild);
    ShowAt(view, 40000, 51234, 9.0);
    EXPECT_TRUE(WaitForTiles(view));
    return view;
  }
  // The marker image's left-top corner on the client area, as LatLonToPoint places its anchor.
  POINT MarkerCorner(OMMapView* view, const GeoPoint& at) {
    int32_t x = 0, y = 0;
    EXPECT_EQ(OMMapViewLatLonToPoint(view, at.latitude, at.longitude, &x, &y), 1);
    return POINT{x - kAnchor, y - kAnchor};
  }
  // The screen shows the marker's colour over its whole opaque part at `corner`.
  int OpaqueMismatches(OMMapView* view, POINT corner) {
    int mismatches = 0;
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) {
        const bool inCorner = (x < kCorner || x >= kSide - kCorner) && (y < kCorner || y >= kSide - kCorner);
        if (!inCorner && ClientPixel(view, corner.x + x, corner.y + y) != kMarkerRgb) ++mismatches;
      }
    return mismatches;
  }
  void Tap(OMMapView* view, int32_t x, int32_t y, int32_t upDx = 0, int32_t upDy = 0, DWORD later = kApartMs) {
    StylusDown(view, x, y, later);
    StylusUp(view, x + upDx, y + upDy);
    Pump();
  }
  static void RecordTap(OMMapView*, int32_t id, void* userData) { static_cast<std::vector<int32_t>*>(userData)->push_back(id); }
  void ExpectCentre(OMMapView* view, double lat, double lon) {
    double clat = 0, clon = 0;
    ASSERT_EQ(OMMapViewGetCenter(view, &clat, &clon), 1);
    EXPECT_EQ(clat, lat);
    EXPECT_EQ(clon, lon);
  }
};

TEST_F(Markers, AMarkerShowsItsOpaquePixelsAtItsPositionTheMapThroughItsCornersAndMovesWithADrag) {
  OMMapView* view = Show();
  const std::vector<uint8_t> png = MarkerPng();
  const GeoPoint at = PositionOf(40000 + 23, 51234 - 17, 9.0);
  const POINT corner = MarkerCorner(view, at);
  const uint32_t tileAtCorner = ClientPixel(view, corner.x, corner.y);
  const uint32_t tileAtFarCorner = ClientPixel(view, corner.x + kSide - 1, corner.y + kSide - 1);
  ASSERT_NE(tileAtCorner, kMarkerRgb);

  const int32_t id = OMMapViewAddMarker(view, at.latitude, at.longitude, png.data(), uint32_t(png.size()), kAnchor, kAnchor);
  ASSERT_GT(id, 0) << OMMapViewGetLastError(view);
  Pump();
  EXPECT_EQ(OpaqueMismatches(view, corner), 0);
  EXPECT_EQ(ClientPixel(view, corner.x, corner.y), tileAtCorner);
  EXPECT_EQ(ClientPixel(view, corner.x + kSide - 1, corner.y + kSide - 1), tileAtFarCorner);

  // A live drag 13 left and 9 down carries the marker with the map; lifted, it stays there.
  StylusDown(view, 100, 100);
  StylusMove(view, 87, 109);
  Pump();
  const POINT dragged = MarkerCorner(view, at);
  EXPECT_EQ(dragged.x, corner.x - 13);
  EXPECT_EQ(dragged.y, corner.y + 9);
  EXPECT_EQ(OpaqueMismatches(view, dragged), 0);
  StylusUp(view, 87, 109);
  Pump();
  EXPECT_EQ(OpaqueMismatches(view, MarkerCorner(view, at)), 0);

  // The built-in pin, its tip on the position: red head above the tip, tile beside it.
  const GeoPoint pinAt = PositionOf(40000 - 40, 51234 + 30, 9.0);
  int32_t px = 0, py = 0;
  ASSERT_EQ(OMMapViewLatLonToPoint(view, pinAt.latitude, pinAt.longitude, &px, &py), 1);
  const uint32_t besidePin = ClientPixel(view, px - 9, py);
  const int32_t pin = OMMapViewAddMarker(view, pinAt.latitude, pinAt.longitude, nullptr, 0, 9, 29);
  ASSERT_GT(pin, id);
  Pump();
  EXPECT_EQ(ClientPixel(view, px, py - 24), 0xD63027u);  // the head's red
  EXPECT_EQ(ClientPixel(view, px - 9, py), besidePin);

  // Moved, removed, cleared: the screen follows.
  const GeoPoint elsewhere = PositionOf(40000 - 60, 51234 - 50, 9.0);
  ASSERT_EQ(OMMapViewMoveMarker(view, id, elsewhere.latitude, elsewhere.longitude), 1);
  Pump();
  EXPECT_EQ(OpaqueMismatches(view, MarkerCorner(view, elsewhere)), 0);
  ASSERT_EQ(OMMapViewRemoveMarker(view, id), 1);
  Pump();
  EXPECT_EQ(OpaqueMismatches(view, MarkerCorner(view, elsewhere)), (kSide * kSide) - 4 * kCorner * kCorner);
  EXPECT_EQ(OMMapViewRemoveMarker(view, id), 0);
  EXPECT_STRNE(OMMapViewGetLastError(view), "");
  ASSERT_EQ(OMMapViewClearMarkers(view), 1);
  Pump();
  EXPECT_NE(ClientPixel(view, px, py - 24), 0xD63027u);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Markers, ATapOnAMarkerReportsTheTopmostAndDoesNotPanTapsBesideItOrOnItsCornersReportNothing) {
  OMMapView* view = Show();
  const std::vector<uint8_t> png = MarkerPng();
  std::vector<int32_t> taps;
  ASSERT_EQ(OMMapViewSetMarkerTapHandler(view, RecordTap, &taps), 1);
  const GeoPoint at = PositionOf(40000 + 23, 51234 - 17, 9.0);
  const int32_t under = OMMapViewAddMarker(view, at.latitude, at.longitude, png.data(), uint32_t(png.size()), kAnchor, kAnchor);
  const int32_t top = OMMapViewAddMarker(view, at.latitude, at.longitude, png.data(), uint32_t(png.size()), kAnchor, kAnchor);
  ASSERT_GT(under, 0);
  ASSERT_GT(top, under);
  Pump();
  double lat = 0, lon = 0;
  ASSERT_EQ(OMMapViewGetCenter(view, &lat, &lon), 1);
  const POINT corner = MarkerCorner(view, at);
  const int32_t cx = corner.x + kAnchor, cy = corner.y + kAnchor;

  // On the marker, lifted where it went down and 3 pixels away: the topmost, no pan either time.
  Tap(view, cx, cy);
  Tap(view, cx + 2, cy - 2, 3, -3);
  EXPECT_EQ(taps, (std::vector<int32_t>{top, top}));
  ExpectCentre(view, lat, lon);
  EXPECT_EQ(view->pendingX, 0);
  EXPECT_EQ(view->pendingY, 0);

  // Beside it and on its transparent corners: nothing reported, nothing panned.
  Tap(view, corner.x - 1, cy);
  Tap(view, corner.x, corner.y);
  Tap(view, corner.x + kSide - 1, corner.y + kSide - 1);
  EXPECT_EQ(taps.size(), 2u);
  ExpectCentre(view, lat, lon);

  // A drag that starts on the marker pans the map and reports nothing.
  Drag(view, cx, cy, cx - 20, cy - 10);
  EXPECT_EQ(taps.size(), 2u);
  EXPECT_EQ(view->pendingX, 20);
  const POINT moved = MarkerCorner(view, at);
  ASSERT_EQ(moved.x, corner.x - 20);

  // The second tap of a double tap zooms; only the first is reported.
  Tap(view, moved.x + kAnchor, moved.y + kAnchor, 0, 0, kApartMs);
  Tap(view, moved.x + kAnchor, moved.y + kAnchor, 0, 0, 100);
  EXPECT_EQ(taps.size(), 3u);
  EXPECT_EQ(view->zoom, 10.0);
  ASSERT_TRUE(WaitForTiles(view));

  // Removed, the one beneath answers; cleared, nothing does.
  const POINT now = MarkerCorner(view, at);
  ASSERT_EQ(OMMapViewRemoveMarker(view, top), 1);
  Tap(view, now.x + kAnchor, now.y + kAnchor);
  ASSERT_EQ(taps.size(), 4u);
  EXPECT_EQ(taps.back(), under);
  ASSERT_EQ(OMMapViewClearMarkers(view), 1);
  Tap(view, now.x + kAnchor, now.y + kAnchor);
  EXPECT_EQ(taps.size(), 4u);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Markers, ImagesThatAreNoImageOrTooLargeAndBadPositionsAreRefusedWithAReason) {
  OMMapView* view = Show();
  const std::vector<uint8_t> png = MarkerPng();
  const std::vector<uint8_t> garbage(200, 0x5A);
  const std::vector<uint8_t> huge = PngHeaderDeclaring(100000, 100000);
  const std::vector<uint8_t> truncated(png.begin(), png.begin() + png.size() / 2);
  for (const auto* bytes : {&garbage, &huge, &truncated}) {
    EXPECT_EQ(OMMapViewAddMarker(view, 1.0, 1.0, bytes->data(), uint32_t(bytes->size()), 0, 0), 0);
    EXPECT_STRNE(OMMapViewGetLastError(view), "");
  }
  EXPECT_EQ(OMMapViewAddMarker(view, NAN, 1.0, png.data(), uint32_t(png.size()), 0, 0), 0);
  EXPECT_STRNE(OMMapViewGetLastError(view), "");
  EXPECT_EQ(OMMapViewAddMarker(view, 1.0, 1.0, png.data(), 0, 0, 0), 0);
  EXPECT_TRUE(view->markers.empty());
  EXPECT_EQ(OMMapViewAddMarker(nullptr, 1.0, 1.0, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(OMMapViewMoveMarker(view, 1, 1.0, 1.0), 0);
  // A good one after the refusals works and clears the reason; moving it to NaN is refused.
  const int32_t id = OMMapViewAddMarker(view, 1.0, 1.0, png.data(), uint32_t(png.size()), 0, 0);
  ASSERT_GT(id, 0);
  EXPECT_STREQ(OMMapViewGetLastError(view), "");
  EXPECT_EQ(OMMapViewMoveMarker(view, id, 1.0, INFINITY), 0);
  EXPECT_STRNE(OMMapViewGetLastError(view), "");
  ASSERT_TRUE(WaitForTiles(view));
}

}  // namespace

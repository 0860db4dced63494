// Tracks on the real painted screen: the colour at the points the position queries give and between
// them at two levels, under a marker, moving with a drag and gone when removed; a 100,000-point
// track simplified to a few points without losing its sharp turns; and the refusals.
#include <cmath>
#include <cstdio>
#include <vector>

#include "mapview/MapTracks.h"
#include "tests/mapview/MapViewHarness.h"

namespace {

constexpr uint32_t kPlainChild = 0x50000000;  // WS_CHILD | WS_VISIBLE: client size == window size
constexpr uint32_t kTrackRgb = 0x3C14DC;
constexpr uint32_t kPinRed = 0xD63027;  // the built-in pin's head, its pixel (9, 5)
constexpr int32_t kCx = 40000, kCy = 51234;

class Tracks : public MapViewTest {
 protected:
  OMMapView* Show() {
    OMMapView* view = MakeView(5, 5, 240, 220, kPlainChild);
    ShowAt(view, kCx, kCy, 9.0);
    EXPECT_TRUE(WaitForTiles(view));
    return view;
  }
  POINT Where(OMMapView* view, const GeoPoint& at) {
    int32_t x = 0, y = 0;
    EXPECT_EQ(OMMapViewLatLonToPoint(view, at.latitude, at.longitude, &x, &y), 1);
    return POINT{x, y};
  }
  // How many of the points, and of the middles between consecutive ones, do not show the track.
  int Unpainted(OMMapView* view, const std::vector<GeoPoint>& points) {
    int misses = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const POINT p = Where(view, points[i]);
      if (ClientPixel(view, p.x, p.y) != kTrackRgb) ++misses, ADD_FAILURE() << "point " << i << " at " << p.x << ", " << p.y;
      if (i + 1 == points.size()) break;
      const POINT q = Where(view, points[i + 1]);
      if (ClientPixel(view, (p.x + q.x) / 2, (p.y + q.y) / 2) != kTrackRgb) ++misses, ADD_FAILURE() << "middle " << i;
    }
    return misses;
  }
  static std::vector<double> Interleaved(const std::vector<GeoPoint>& points) {
    std::vector<double> out;
    for (const GeoPoint& p : points) out.insert(out.end(), {p.latitude, p.longitude});
    return out;
  }
};

TEST_F(Tracks, ATrackShowsItsColourAlongItsPointsAtTwoLevelsUnderMarkersMovingWithADragUntilRemoved) {
  OMMapView* view = Show();
  // Close enough to the centre to stay in the window after the drag and one level in.
  const std::vector<GeoPoint> points{PositionOf(kCx - 40, kCy - 30, 9.0), PositionOf(kCx + 15, kCy + 25, 9.0),
                                     PositionOf(kCx + 45, kCy - 35, 9.0)};
  const POINT first = Where(view, points[0]);
  const POINT second = Where(view, points[1]);
  // A pixel 7.8 pixels off the first line's middle, across it: the track must leave it alone.
  const POINT beside{(first.x + second.x) / 2 - 5, (first.y + second.y) / 2 + 6};
  const uint32_t besideBefore = ClientPixel(view, beside.x, beside.y);
  for (const GeoPoint& p : points) ASSERT_NE(ClientPixel(view, Where(view, p).x, Where(view, p).y), kTrackRgb);

  const std::vector<double> latLon = Interleaved(points);
  const int32_t id = OMMapViewAddPolyline(view, latLon.data(), 3, kTrackRgb, 5);
  ASSERT_GT(id, 0) << OMMapViewGetLastError(view);
  Pump();
  EXPECT_EQ(Unpainted(view, points), 0);
  EXPECT_EQ(ClientPixel(view, beside.x, beside.y), besideBefore);

  // A pin whose red head pixel sits on the track's second point: the marker is drawn over it.
  const int32_t pin = OMMapViewAddMarker(view, points[1].latitude, points[1].longitude, nullptr, 0, 9, 5);
  ASSERT_GT(pin, 0);
  Pump();
  EXPECT_EQ(ClientPixel(view, second.x, second.y), kPinRed);
  ASSERT_EQ(OMMapViewRemoveMarker(view, pin), 1);

  // A live drag 13 left and 9 down carries the track with the map; lifted, it stays there.
  StylusDown(view, 100, 100);
  StylusMove(view, 87, 109);
  Pump();
  EXPECT_EQ(Where(view, points[0]).x, first.x - 13);
  EXPECT_EQ(Where(view, points[0]).y, first.y + 9);
  EXPECT_EQ(Unpainted(view, points), 0);
  StylusUp(view, 87, 109);
  Pump();
  EXPECT_EQ(Unpainted(view, points), 0);

  // One level in: the line is made again at that level's pixels.
  ASSERT_EQ(OMMapViewZoomIn(view), 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_EQ(Unpainted(view, points), 0);

  // Drawn for a part of the window only (a strip that a scroll exposed), it stays inside that part.
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 240, 220);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const POINT left = Where(view, points[0]), right = Where(view, points[2]);
    ASSERT_LT(left.x, 100);
    ASSERT_GE(right.x, 100);
    DrawTracks(view, dc, PixelRect{0, 0, 100, 220});
    EXPECT_EQ(GetPixel(dc, left.x, left.y), RGB(0x3C, 0x14, 0xDC));
    EXPECT_EQ(GetPixel(dc, right.x, right.y), RGB(0, 0, 0));
    int outside = 0;
    for (int32_t y = 0; y < 220; ++y)
      for (int32_t x = 100; x < 240; ++x) outside += GetPixel(dc, x, y) != RGB(0, 0, 0);
    EXPECT_EQ(outside, 0);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }

  // Removed, the screen shows the map there again.
  ASSERT_EQ(OMMapViewRemovePolyline(view, id), 1);
  Pump();
  for (const GeoPoint& p : points) EXPECT_NE(ClientPixel(view, Where(view, p).x, Where(view, p).y), kTrackRgb);
  EXPECT_EQ(OMMapViewRemovePolyline(view, id), 0);
  EXPECT_STRNE(OMMapViewGetLastError(view), "");
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Tracks, AHundredThousandPointTrackIsDrawnThroughAFewPointsKeepingEveryTurnWiderThanAPixel) {
  OMMapView* view = Show();
  // A slope from 100 pixels left of the centre to 100 right and 37 down, 500 points a pixel,
  // wavering across it by 0.15 pixels each way (0.3 from one side to the other: less than the
  // tolerance, as GPS noise is at a low level), with a spike up at every 20,000th point: 30 pixels tall, but 2 for the middle one.
  const GeoPoint from = PositionOf(kCx - 100, kCy, 9.0), to = PositionOf(kCx + 100, kCy + 37, 9.0);
  const double pixelLatitude = PositionOf(kCx, kCy + 1, 9.0).latitude - PositionOf(kCx, kCy, 9.0).latitude;
  constexpr uint32_t kCount = 100000;
  std::vector<double> latLon;
  std::vector<GeoPoint> spikes;
  std::vector<int32_t> heights;
  for (uint32_t i = 0; i < kCount; ++i) {
    const double t = double(i) / (kCount - 1);
    if (i % 20000 == 10000) {
      heights.push_back(i == 50000 ? 2 : 30);
      const double x = kCx - 100 + 200 * t, y = kCy + 37 * t - heights.back();
      spikes.push_back(PositionOf(int32_t(std::lround(x)), int32_t(std::lround(y)), 9.0));
      latLon.insert(latLon.end(), {spikes.back().latitude, spikes.back().longitude});
      continue;
    }
    const double waver = (i % 2 == 0 ? 0.15 : -0.15) * pixelLatitude;
    latLon.insert(latLon.end(), {from.latitude + t * (to.latitude - from.latitude) + waver,
                                 from.longitude + t * (to.longitude - from.longitude)});
  }
  const int32_t id = OMMapViewAddPolyline(view, latLon.data(), kCount, kTrackRgb, 2);
  ASSERT_GT(id, 0) << OMMapViewGetLastError(view);
  Pump();
  // The slope's ends, the five spikes' tips and the turns at their feet.
  ASSERT_EQ(view->tracks.size(), 1u);
  ASSERT_GT(view->tracks[0].levels.size(), 9u);
  const size_t drawn = view->tracks[0].levels[9].points.size();
  EXPECT_GE(drawn, 2u + 5u);
  EXPECT_LE(drawn, 2u + 5u * 3u);
  ASSERT_EQ(spikes.size(), 5u);
  for (size_t k = 0; k < spikes.size(); ++k) {
    const POINT p = Where(view, spikes[k]);
    EXPECT_EQ(ClientPixel(view, p.x, p.y), kTrackRgb) << "tip at " << p.x << ", " << p.y;
    EXPECT_EQ(ClientPixel(view, p.x, p.y + heights[k] / 2), kTrackRgb) << "halfway up the spike at " << p.x;
  }
  std::printf("100,000-point track: %zu points drawn at level 9\n", drawn);
  // The slope itself is drawn between the spikes.
  const POINT start = Where(view, PositionOf(kCx - 50, kCy + 9, 9.0));
  EXPECT_EQ(ClientPixel(view, start.x, start.y), kTrackRgb);
  ASSERT_TRUE(WaitForTiles(view));
}

TEST_F(Tracks, NullsNonFiniteOrOutOfRangePointsTooFewPointsAndBadWidthsAreRefusedWithAReason) {
  OMMapView* view = Show();
  const double good[] = {10.0, 20.0, 10.5, 20.5};
  const double nan[] = {10.0, 20.0, NAN, 20.5};
  const double infinite[] = {10.0, INFINITY, 10.5, 20.5};
  const double north[] = {10.0, 20.0, 90.5, 20.5};
  const double east[] = {10.0, 180.5, 10.5, 20.5};
  EXPECT_EQ(OMMapViewAddPolyline(nullptr, good, 2, 0, 3), 0);
  EXPECT_EQ(OMMapViewRemovePolyline(nullptr, 1), 0);
  struct Case {
    const double* points;
    uint32_t count;
    int32_t width;
  };
  for (const Case& c : {Case{nullptr, 2, 3}, Case{nan, 2, 3}, Case{infinite, 2, 3}, Case{north, 2, 3},
                        Case{east, 2, 3}, Case{good, 1, 3}, Case{good, 0, 3}, Case{good, 2, 0}, Case{good, 2, -4},
                        Case{good, 2, kMaxTrackWidth + 1}, Case{good, kMaxTrackPoints + 1, 3}}) {
    EXPECT_EQ(OMMapViewAddPolyline(view, c.points, c.count, 0, c.width), 0);
    EXPECT_STRNE(OMMapViewGetLastError(view), "");
  }
  EXPECT_TRUE(view->tracks.empty());
  // A good one after the refusals works and clears the reason; ids are not reused.
  const int32_t id = OMMapViewAddPolyline(view, good, 2, 0, kMaxTrackWidth);
  ASSERT_GT(id, 0);
  EXPECT_STREQ(OMMapViewGetLastError(view), "");
  EXPECT_EQ(OMMapViewRemovePolyline(view, id + 1), 0);
  ASSERT_EQ(OMMapViewRemovePolyline(view, id), 1);
  EXPECT_GT(OMMapViewAddPolyline(view, good, 2, 0, 1), id);
  ASSERT_TRUE(WaitForTiles(view));
}

}  // namespace

// Polylines with pens of every width, checked pixel by pixel against a reference computed here the
// slow way (each pixel's centre against each line's distance), and the clip that narrows drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "GfxTestSupport.h"

namespace {

using gfxtest::Canvas;

constexpr uint32_t kInk = 0x00C81E3C;  // RGB(0xC8, 0x1E, 0x3C) as a pixel
constexpr COLORREF kInkColor = RGB(0xC8, 0x1E, 0x3C);

double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
  double t = length2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// Draws `points` with a pen of `width` on a canvas and compares every pixel with the reference:
// inked exactly when its centre lies closer than width / 2 to one of the lines (between pixel
// centres for odd widths, pixel corners for even ones). Pixels within a hair of the edge are not
// judged. Returns the number of inked pixels.
int ExpectPolylineMatches(const std::vector<POINT>& points, int width, int side = 64) {
  Canvas canvas(side, side);
  HPEN pen = CreatePen(PS_SOLID, width, kInkColor);
  EXPECT_NE(pen, nullptr);
  HGDIOBJ old = SelectObject(canvas.dc(), pen);
  EXPECT_TRUE(Polyline(canvas.dc(), points.data(), int(points.size())));
  SelectObject(canvas.dc(), old);
  DeleteObject(pen);
  const double r = std::max(width, 1) * 0.5, shift = std::max(width, 1) % 2 == 1 ? 0.5 : 0.0;
  int mismatches = 0, inked = 0;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      double nearest = HUGE_VAL;
      for (size_t i = 0; i + 1 < points.size(); ++i)
        nearest = std::min(nearest, DistanceToSegment(x + 0.5, y + 0.5, points[i].x + shift, points[i].y + shift,
                                                      points[i + 1].x + shift, points[i + 1].y + shift));
      const bool ink = canvas.At(x, y) == kInk;
      inked += ink;
      if (std::abs(nearest - r) < 1e-9) continue;
      if (ink != (nearest < r) && ++mismatches <= 5)
        ADD_FAILURE() << "width " << width << " pixel (" << x << ", " << y << ") " << (ink ? "inked" : "blank")
                      << " at distance " << nearest;
    }
  EXPECT_EQ(mismatches, 0);
  return inked;
}

TEST(Polylines, WidePensDrawRoundCapsAndJoinsExactlyTheirWidthAtEveryAngle) {
  const std::vector<POINT> zigzag{{5, 50}, {20, 8}, {33, 52}, {58, 40}, {40, 30}, {57, 6}};
  for (int width : {0, 1, 2, 3, 6, 9}) ExpectPolylineMatches(zigzag, width);

  // A right-angled turn of width 9: the join's outer corner is cut round (a mitred or bevelled join
  // would fill pixel (34, 34) or leave (33, 33) blank), and a horizontal stretch is 9 rows thick.
  Canvas canvas(64, 64);
  HPEN pen = CreatePen(PS_SOLID, 9, kInkColor);
  HGDIOBJ old = SelectObject(canvas.dc(), pen);
  const POINT turn[] = {{10, 30}, {30, 30}, {30, 10}};
  ASSERT_TRUE(Polyline(canvas.dc(), turn, 3));
  EXPECT_NE(canvas.At(34, 34), kInk);
  EXPECT_EQ(canvas.At(33, 33), kInk);
  EXPECT_EQ(canvas.At(34, 30), kInk);
  EXPECT_EQ(gfxtest::CountInk(canvas, 0, 20, 0, 21, 64), 9);
  // Round cap: the start reaches 4 pixels back on its own row, less off it.
  EXPECT_EQ(canvas.At(6, 30), kInk);
  EXPECT_NE(canvas.At(5, 30), kInk);
  EXPECT_NE(canvas.At(6, 26), kInk);

  // Even widths cover exactly their width: 4 rows.
  canvas.FillUniquePattern();
  SelectObject(canvas.dc(), old);
  DeleteObject(pen);
  pen = CreatePen(PS_SOLID, 4, kInkColor);
  old = SelectObject(canvas.dc(), pen);
  const POINT flat[] = {{10, 30}, {50, 30}};
  ASSERT_TRUE(Polyline(canvas.dc(), flat, 2));
  int rows = 0;
  for (int y = 0; y < 64; ++y) rows += canvas.At(30, y) == kInk;
  EXPECT_EQ(rows, 4);

  // Points far outside the bitmap (a track seen at a deep zoom) draw the part that crosses it
  // without walking the whole line.
  const POINT far[] = {{-2000000000, 20}, {2000000000, 20}};
  ASSERT_TRUE(Polyline(canvas.dc(), far, 2));
  EXPECT_EQ(canvas.At(0, 20), kInk);
  EXPECT_EQ(canvas.At(63, 20), kInk);

  // The null pen draws nothing; fewer than two points or none are refused.
  SelectObject(canvas.dc(), GetStockObject(NULL_PEN));
  canvas.FillUniquePattern();
  const std::vector<uint32_t> before = canvas.Snapshot();
  EXPECT_TRUE(Polyline(canvas.dc(), flat, 2));
  EXPECT_EQ(canvas.Snapshot(), before);
  EXPECT_FALSE(Polyline(canvas.dc(), flat, 1));
  EXPECT_FALSE(Polyline(canvas.dc(), nullptr, 2));
  SelectObject(canvas.dc(), old);
  DeleteObject(pen);
}

TEST(ClipRectangles, NarrowEveryDrawingCallUntilRestored) {
  Canvas canvas(40, 40);
  HPEN pen = CreatePen(PS_SOLID, 7, kInkColor);
  HGDIOBJ old = SelectObject(canvas.dc(), pen);
  const POINT across[] = {{0, 20}, {39, 20}};
  const int level = SaveDC(canvas.dc());
  ASSERT_GT(level, 0);
  EXPECT_EQ(IntersectClipRect(canvas.dc(), 10, 0, 20, 40), SIMPLEREGION);
  EXPECT_EQ(IntersectClipRect(canvas.dc(), 15, 0, 30, 40), SIMPLEREGION);  // narrows further: 15..20
  ASSERT_TRUE(Polyline(canvas.dc(), across, 2));
  const RECT all{0, 0, 40, 40};
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0xFF));
  FillRect(canvas.dc(), &all, brush);
  // Inside the clip the last fill, outside it nothing at all.
  EXPECT_EQ(gfxtest::CountInk(canvas, 0), 5 * 40);
  EXPECT_EQ(gfxtest::CountInk(canvas, 0x0000FF, 15, 0, 20, 40), 0);
  EXPECT_EQ(IntersectClipRect(canvas.dc(), 30, 0, 35, 40), NULLREGION);
  ASSERT_TRUE(RestoreDC(canvas.dc(), level));
  EXPECT_FALSE(RestoreDC(canvas.dc(), level));  // dropped with the restore
  ASSERT_TRUE(Polyline(canvas.dc(), across, 2));
  EXPECT_EQ(gfxtest::CountInk(canvas, 0), 5 * 40 + 35 * 7);
  SelectObject(canvas.dc(), old);
  DeleteObject(pen);
  DeleteObject(brush);
}

}  // namespace

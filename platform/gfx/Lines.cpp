// Lines: each line between two points is drawn as the pixels whose centres lie inside its capsule
// (what a disc of the pen's radius sweeps along it), which gives round ends and, where lines of a
// polyline meet, round joins. Only the rows and columns inside the clip are visited.
#include <algorithm>
#include <cmath>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/ObjectRegistry.h"
#include "platform/gfx/PixelOps.h"
#include "platform/gfx/RectMath.h"

namespace {

struct Span {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  void Add(double a, double b) {
    lo = std::min(lo, a);
    hi = std::max(hi, b);
  }
};

// Adds to `span` the x where k * (x - x0) lies in [low, high].
void AddLinear(double k, double x0, double low, double high, double* lo, double* hi) {
  if (k > 0) {
    *lo = std::max(*lo, x0 + low / k);
    *hi = std::min(*hi, x0 + high / k);
  } else if (k < 0) {
    *lo = std::max(*lo, x0 + high / k);
    *hi = std::min(*hi, x0 + low / k);
  } else if (!(low <= 0 && 0 <= high)) {
    *lo = HUGE_VAL;
    *hi = -HUGE_VAL;
  }
}

// The x where the horizontal line at `y` crosses the capsule of radius `r` around a..b (convex:
// one interval, the union of the two end discs' and the band's crossings).
Span CapsuleRow(double ax, double ay, double bx, double by, double r, double y) {
  Span span;
  const double r2 = r * r;
  for (const auto& [cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {
    const double dy = y - cy;
    if (dy * dy < r2) {
      const double h = std::sqrt(r2 - dy * dy);
      span.Add(cx - h, cx + h);
    }
  }
  const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
  if (length2 > 0) {
    // Along the line: 0 <= (p - a).d <= |d|^2; across it: |(p - a) x d| < r |d|.
    const double along = (y - ay) * dy, across = (y - ay) * dx, reach = r * std::sqrt(length2);
    double lo = -HUGE_VAL, hi = HUGE_VAL;
    AddLinear(dx, ax, -along, length2 - along, &lo, &hi);
    AddLinear(dy, ax, across - reach, across + reach, &lo, &hi);
    if (lo <= hi) span.Add(lo, hi);
  }
  return span;
}

void DrawCapsule(const DrawTarget& t, const gfx::Box& clip, double ax, double ay, double bx, double by, double r,
                 uint32_t pixel) {
  // Rows whose centre can lie inside: centre y + 0.5 within r of the line's vertical extent.
  const double top = std::min(ay, by) - r, bottom = std::max(ay, by) + r;
  const double left = std::min(ax, bx) - r, right = std::max(ax, bx) + r;
  if (bottom < double(clip.top) || top > double(clip.bottom) || right < double(clip.left) || left > double(clip.right))
    return;
  const int64_t firstRow = std::max<int64_t>(clip.top, int64_t(std::floor(top - 0.5)));
  const int64_t lastRow = std::min<int64_t>(clip.bottom - 1, int64_t(std::ceil(bottom - 0.5)));
  for (int64_t row = firstRow; row <= lastRow; ++row) {
    const Span span = CapsuleRow(ax, ay, bx, by, r, double(row) + 0.5);
    if (!(span.lo < span.hi)) continue;
    // Pixels whose centre x + 0.5 lies strictly inside (lo, hi).
    const double first = std::max(double(clip.left), std::floor(span.lo - 0.5) + 1);
    const double last = std::min(double(clip.right - 1), std::ceil(span.hi - 0.5) - 1);
    if (first > last) continue;
    gfx::FillPixels(t.surface, int32_t(first), int32_t(row), int32_t(last - first + 1), 1, pixel);
  }
}

}  // namespace

BOOL Polyline(HDC dc, const POINT* points, int count) {
  auto context = gfx::ObjectRegistry::Instance().Find(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (points == nullptr || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const gfx::GraphicsObject& pen = *context->pen;
  if (pen.isNull) return TRUE;
  const DrawTarget t = gfx::TargetOf(*context);
  if (!t.surface.pixels) return TRUE;
  const gfx::Box clip = gfx::Intersect(gfx::BoxOf(t.clip), gfx::Box{0, 0, t.surface.width, t.surface.height});
  if (clip.Empty()) return TRUE;
  // An odd width is centred on the pixels' centres, an even one on their corners, so that a
  // horizontal or vertical line covers exactly `width` rows or columns.
  const int32_t width = pen.penWidth;
  const double r = width * 0.5, shift = width % 2 == 1 ? 0.5 : 0.0;
  const uint32_t pixel = PixelFromColor(pen.color);
  for (int i = 0; i + 1 < count; ++i) {
    DrawCapsule(t, clip, double(points[i].x) + t.originX + shift, double(points[i].y) + t.originY + shift,
                double(points[i + 1].x) + t.originX + shift, double(points[i + 1].y) + t.originY + shift, r, pixel);
  }
  return TRUE;
}

#include "mapview/ViewQueries.h"

#include <cmath>
#include <limits>

#include "mapview/ViewPosition.h"

namespace {

bool FitsInt32(int64_t value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

SizeCounts ClientSize(const OMMapView* view) {
  RECT client{0, 0, 0, 0};
  GetClientRect(view->window, &client);
  return SizeCounts{client.right - client.left, client.bottom - client.top};
}

// The world-pixel centre that puts the pixels first..last (inclusive) inside `extent` client
// pixels when they are at most `extent` wide: PlaceCenter shows centre - extent / 2 at client 0,
// and rounding the middle up keeps the far end inside for odd and even extents alike.
int32_t MiddleOf(int32_t first, int32_t last) { return int32_t((int64_t(first) + last + 1) >> 1); }

}  // namespace

PixelPoint ShownOffset(const OMMapView* view) {
  return PixelPoint{view->pendingX + view->dragX, view->pendingY + view->dragY};
}

WorldPixel64 ShownClientOrigin(const OMMapView* view) {
  const PixelPoint offset = ShownOffset(view);
  return WorldPixel64{int64_t(view->viewport.left) + offset.x, int64_t(view->viewport.top) + offset.y};
}

GeoPoint ShownCenter(OMMapView* view) {
  const PixelPoint offset = ShownOffset(view);
  // Without an offset the stored centre is exact; converting its pixel back would round it.
  if (!ZoomHasLevel(view) || (offset.x == 0 && offset.y == 0)) return GeoPoint{view->latitude, view->longitude};
  return view->projection->PixelToLatLon(view->centerX + offset.x, view->centerY + offset.y, view->zoom);
}

int32_t ClientPointToPosition(OMMapView* view, int32_t x, int32_t y, GeoPoint* position) {
  if (!ZoomHasLevel(view)) return 0;
  const WorldPixel64 origin = ShownClientOrigin(view);
  const int64_t worldX = origin.x + x, worldY = origin.y + y;
  if (!FitsInt32(worldX) || !FitsInt32(worldY)) return 0;
  *position = view->projection->PixelToLatLon(int32_t(worldX), int32_t(worldY), view->zoom);
  return 1;
}

int32_t PositionToPointAt(OMMapView* view, double latitude, double longitude, int64_t originX, int64_t originY,
                          PixelPoint* point) {
  if (!ZoomHasLevel(view) || !std::isfinite(latitude) || !std::isfinite(longitude)) return 0;
  const PixelPoint world = view->projection->LatLonToPixel(latitude, longitude, view->zoom);
  // The projection saturates pixels beyond 32 bits; such a pixel is no real position's.
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();
  if (world.x == kMax || world.x == kMin || world.y == kMax || world.y == kMin) return 0;
  const int64_t x = int64_t(world.x) - originX;
  const int64_t y = int64_t(world.y) - originY;
  if (!FitsInt32(x) || !FitsInt32(y)) return 0;
  *point = PixelPoint{int32_t(x), int32_t(y)};
  return 1;
}

int32_t PositionToClientPoint(OMMapView* view, double latitude, double longitude, PixelPoint* point) {
  const WorldPixel64 origin = ShownClientOrigin(view);
  return PositionToPointAt(view, latitude, longitude, origin.x, origin.y, point);
}

int32_t FitBox(OMMapView* view, double south, double west, double north, double east) {
  const SizeCounts client = ClientSize(view);
  const int32_t deepest = int32_t(view->maxZoom), shallowest = int32_t(view->minZoom);
  PixelPoint middle{0, 0};
  int32_t level = deepest;
  for (; level >= shallowest; --level) {
    // North-west and south-east corners: y grows southward.
    const PixelPoint nw = view->projection->LatLonToPixel(north, west, level);
    const PixelPoint se = view->projection->LatLonToPixel(south, east, level);
    middle = PixelPoint{MiddleOf(nw.x, se.x), MiddleOf(nw.y, se.y)};
    const bool fits = int64_t(se.x) - nw.x < client.width && int64_t(se.y) - nw.y < client.height;
    if (fits || level == shallowest) break;
  }
  ClearPendingPan(view);
  // The projection's pixel -> position -> pixel round trip gives the same pixel back, so the
  // window's centre lands exactly on `middle`.
  const GeoPoint centre = view->projection->PixelToLatLon(middle.x, middle.y, level);
  return ApplyPosition(view, centre.latitude, centre.longitude, double(level));
}

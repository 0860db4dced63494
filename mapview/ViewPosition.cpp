#include "mapview/ViewPosition.h"

#include <limits>

#include "mapview/FlickGlide.h"
#include "mapview/MapLayers.h"
#include "mapview/TileDelivery.h"
#include "mapview/ViewGeometry.h"

namespace {

constexpr int32_t kMercatorMapType = 1;
constexpr double kMinZoom = 1.0;
constexpr double kMaxZoom = 17.0;
// Where the layers are placed while the zoom has no tile level: any point whose viewport lies in
// positive pixels, so that the layers cover the window and the placeholder grid fills it.
constexpr int32_t kNoLevelCentre = 1 << 16;

// tiles x tile size; past level 23 the world no longer fits 32 bits and is capped.
int32_t WorldExtent(int32_t tiles, int32_t tileSize) {
  const int64_t extent = int64_t(tiles) * tileSize;
  return extent > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : int32_t(extent);
}

}  // namespace

int32_t SetMapType(OMMapView* view, int32_t type) {
  if (type != kMercatorMapType) return 0;
  view->minZoom = kMinZoom;
  view->maxZoom = kMaxZoom;
  view->projection = &view->mercator;
  view->tileLayer.projection = &view->mercator;
  return 1;
}

bool ZoomHasLevel(const OMMapView* view) {
  if (view->projection == nullptr) return false;
  const int32_t level = ZoomLevelOf(view->zoom);
  return level >= view->projection->MinZoom() && level <= view->projection->MaxZoom();
}

int32_t ApplyPosition(OMMapView* view, double latitude, double longitude, double zoom) {
  // The glide pans from the position it started at; a new one ends it.
  StopGlide(view);
  view->zoom = zoom;
  view->latitude = latitude;
  view->longitude = longitude;
  // A zoom without a tile level has no world to convert to: the centre stays as given (in
  // degrees), the view shows the placeholder grid, takes no drag and asks for no tile, and the
  // next zoom with a level shows the same centre again.
  const bool hasLevel = ZoomHasLevel(view);
  const PixelPoint centre =
      hasLevel ? view->projection->LatLonToPixel(latitude, longitude, zoom) : PixelPoint{kNoLevelCentre, kNoLevelCentre};
  PlaceCenter(view, centre.x, centre.y);
  RebuildMapLayer(view);
  RebuildPlaceholderLayer(view);
  const SizeCounts tiles = view->projection->TilesPerSide(zoom);
  const SizeCounts tileSize = view->projection->TileSize();
  view->worldWidth = hasLevel ? WorldExtent(tiles.width, tileSize.width) : 0;
  view->worldHeight = hasLevel ? WorldExtent(tiles.height, tileSize.height) : 0;
  if (!hasLevel) {
    view->dragX = 0;
    view->dragY = 0;
    // No tile will come to repaint the window: the grid is shown now.
    InvalidateRect(view->window, nullptr, FALSE);
    return 1;
  }
  RequestViewTiles(view, view->viewport);
  return 1;
}

void ClearPendingPan(OMMapView* view) {
  view->pendingX = 0;
  view->pendingY = 0;
}

void FoldPendingPan(OMMapView* view) {
  if (view->pendingX == 0 && view->pendingY == 0) return;
  ShiftView(view, view->pendingX, view->pendingY);
  view->pendingX = 0;
  view->pendingY = 0;
}

int32_t ZoomTo(OMMapView* view, double zoom) {
  FoldPendingPan(view);
  return ApplyPosition(view, view->latitude, view->longitude, zoom);
}

namespace {
// Applies `newZoom` with the world point under client pixel (x, y) kept under it.
int32_t ZoomAround(OMMapView* view, int32_t x, int32_t y, double newZoom) {
  FoldPendingPan(view);
  // With no offset left, client pixel (x, y) shows world pixel viewport + (x, y).
  const int32_t worldX = view->viewport.left + x;
  const int32_t worldY = view->viewport.top + y;
  const GeoPoint point = view->projection->PixelToLatLon(worldX, worldY, view->zoom);
  const PixelPoint there = view->projection->LatLonToPixel(point.latitude, point.longitude, newZoom);
  // The new centre is as far from the point as the point is from the window's centre.
  const int32_t centreX = there.x - (worldX - view->centerX);
  const int32_t centreY = there.y - (worldY - view->centerY);
  const GeoPoint centre = view->projection->PixelToLatLon(centreX, centreY, newZoom);
  return ApplyPosition(view, centre.latitude, centre.longitude, newZoom);
}
}  // namespace

int32_t ZoomInAround(OMMapView* view, int32_t x, int32_t y) {
  if (!ZoomHasLevel(view) || view->zoom >= view->maxZoom) return 0;
  return ZoomAround(view, x, y, view->zoom + 1.0);
}

int32_t ZoomOutAround(OMMapView* view, int32_t x, int32_t y) {
  if (!ZoomHasLevel(view) || view->zoom <= view->minZoom) return 0;
  return ZoomAround(view, x, y, view->zoom - 1.0);
}

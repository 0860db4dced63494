#include "mapview/ViewGeometry.h"

#include "mapview/ViewPosition.h"

int32_t PlaceCenter(OMMapView* view, int32_t cx, int32_t cy) {
  RECT client{0, 0, 0, 0};
  GetClientRect(view->window, &client);
  const int32_t hw = (client.right - client.left) / 2;
  const int32_t hh = (client.bottom - client.top) / 2;
  const PixelRect viewport{cx - hw, cy - hh, cx + hw, cy + hh};
  const PixelRect buffer =
      view->tileLayer.TileAlignedRect(viewport.left, viewport.top, viewport.right, viewport.bottom);
  // A download thread reads bufferRect under the lock to place its tile.
  CriticalSectionLock guard(&view->lock);
  view->centerX = cx;
  view->centerY = cy;
  view->viewport = viewport;
  view->bufferRect = buffer;
  return 1;
}

int32_t ShiftView(OMMapView* view, int32_t dx, int32_t dy) {
  {
    CriticalSectionLock guard(&view->lock);
    view->centerX += dx;
    view->viewport.left += dx;
    view->viewport.right += dx;
    view->bufferRect.left += dx;
    view->bufferRect.right += dx;
    view->centerY += dy;
    view->viewport.top += dy;
    view->viewport.bottom += dy;
    view->bufferRect.top += dy;
    view->bufferRect.bottom += dy;
  }
  // Without a tile level the pixels mean nothing; the centre in degrees is kept as it is.
  if (ZoomHasLevel(view)) {
    const GeoPoint centre = view->projection->PixelToLatLon(view->centerX, view->centerY, view->zoom);
    view->latitude = centre.latitude;
    view->longitude = centre.longitude;
  }
  return 1;
}

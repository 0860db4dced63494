#include "mapview/LayerScroller.h"

#include <algorithm>
#include <cstdlib>

#include "mapview/MapLayers.h"
#include "mapview/MapPicture.h"
#include "mapview/SurfaceDrawing.h"
#include "mapview/TileDelivery.h"
#include "mapview/ViewGeometry.h"

namespace {

struct Strip {
  bool present = false;
  PixelRect rect{0, 0, 0, 0};
};

// The strip's part inside the new viewport: after a pan longer than the layers, a strip reaches
// from the new viewport all the way back to the old layers, and its tiles beyond the viewport would
// be downloaded only to fall outside the layer.
PixelRect InsideViewport(const PixelRect& strip, const PixelRect& viewport) {
  return IntersectRects(strip, viewport);
}

}  // namespace

int32_t ScrollBy(OMMapView* view) {
  const int32_t dx = view->pendingX, dy = view->pendingY;
  const PixelRect v = view->viewport, b = view->bufferRect;
  if (b.left <= v.left + dx && b.top <= v.top + dy && v.right + dx <= b.right && v.bottom + dy <= b.bottom) return 0;

  Strip h, s;
  if (v.left + dx < b.left) {
    h = {true, {v.left - std::abs(dx), v.top + dy, b.left, v.bottom + dy}};
  } else if (v.right + dx > b.right) {
    h = {true, {b.right, v.top + dy, v.right + std::abs(dx), v.bottom + dy}};
  }
  if (v.top + dy < b.top) {
    s = {true, {v.left + dx, v.top - std::abs(dy), v.right + dx, b.top}};
  } else if (v.bottom + dy > b.bottom) {
    s = {true, {v.left + dx, b.bottom, v.right + dx, v.bottom + std::abs(dy)}};
  }

  const int32_t bw = LayerWidth(view), bh = LayerHeight(view);
  // The scroll, the move of bufferRect and the fills happen under the lock as one change, so a
  // tile drawn on a download thread lands either wholly before (and is scrolled with the layer) or
  // wholly after (at its place in the moved layer). The lock is released before any tile is
  // requested: requesting may wait for a download thread that waits for the lock.
  //
  // Both strips are filled before either is requested. Filled in turn with the requests between
  // them, the second fill (which spans the layer's whole width or height) would whiten tiles that
  // the first request had just drawn from the cache.
  {
    CriticalSectionLock guard(&view->lock);
    BitBlt(view->mapDC, 0, 0, bw, bh, view->mapDC, dx, dy, SRCCOPY);
    ShiftView(view, dx, dy);
    // The columns and rows that the scroll uncovered (their source lay outside the layer, so they
    // still hold the old picture) are filled white: columns 0 to -dx - 1 or bw - dx to bw - 1 over
    // the layer's whole height, rows likewise over its whole width. The null-pen rectangle leaves
    // its last column and row out, so every far edge is passed one larger, the layer's own edge
    // included: a fill to bw or bh would leave the layer's last column or row with old pixels.
    // The scroll moves the layer on both axes even when only one strip comes into view, so the
    // other axis is filled too: left alone, its old pixels would show at the wrong world position
    // once a later pan inside the layers reaches them.
    if (dx < 0) FillRectColor(view->mapDC, 0, 0, -dx + 1, bh + 1, kColorKeyWhite);
    if (dx > 0) FillRectColor(view->mapDC, bw - dx, 0, bw + 1, bh + 1, kColorKeyWhite);
    if (dy < 0) FillRectColor(view->mapDC, 0, 0, bw + 1, -dy + 1, kColorKeyWhite);
    if (dy > 0) FillRectColor(view->mapDC, 0, bh - dy, bw + 1, bh + 1, kColorKeyWhite);
    ScrollPicture(view, dx, dy);
  }
  const PixelRect side = InsideViewport(h.rect, view->viewport);
  if (h.present) RequestViewTiles(view, side);
  if (s.present) {
    // The two strips meet at the corner, and their tiles overlap there. Requested again, a tile
    // of the corner would have its download, started a moment ago by the side strip, cancelled
    // (the GUI thread waiting for it) and started afresh, or be drawn twice when held. Each tile
    // is requested once: the second strip skips the tiles the first one requested.
    const PixelRect rect = InsideViewport(s.rect, view->viewport);
    const TileRange requested = h.present
                                    ? view->tileLayer.TileRangeForRect(side.left, side.top, side.right, side.bottom)
                                    : TileRange{1, 1, 0, 0};
    const TileRange range = view->tileLayer.TileRangeForRect(rect.left, rect.top, rect.right, rect.bottom);
    for (int64_t column = range.firstX; column <= range.lastX; ++column) {
      for (int64_t row = range.firstY; row <= range.lastY; ++row) {
        const bool done = column >= requested.firstX && column <= requested.lastX && row >= requested.firstY &&
                          row <= requested.lastY;
        if (!done)
          view->tileLayer.RequestTile(rect.left, rect.top, rect.right, rect.bottom, int32_t(column), int32_t(row),
                                      view->zoom, OnTileReady, view);
      }
    }
  }
  view->pendingX = 0;
  view->pendingY = 0;
  return 1;
}

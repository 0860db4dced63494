#include "mapview/MapPainter.h"

#include <algorithm>

#include "mapview/AttributionLabel.h"
#include "mapview/MapLayers.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapTracks.h"
#include "mapview/MapViewEvents.h"
#include "mapview/SurfaceDrawing.h"

void Paint(OMMapView* view, HDC target) {
  FireEvent(view, OMEventTypeMapWillDraw);
  {
    CriticalSectionLock guard(&view->lock);
    RECT client{0, 0, 0, 0};
    GetClientRect(view->window, &client);
    const int32_t cw = client.right - client.left;
    const int32_t ch = client.bottom - client.top;
    const int32_t bw = LayerWidth(view);
    const int32_t bh = LayerHeight(view);
    int32_t sx = 0, sy = 0, copyW = bw, copyH = bh;
    if (!(bw < cw && bh < ch)) {
      sx = view->viewport.left - view->bufferRect.left;
      sy = view->viewport.top - view->bufferRect.top;
      copyW = cw;
      copyH = ch;
    }
    const int32_t ox = view->pendingX + view->dragX;
    const int32_t oy = view->pendingY + view->dragY;
    // The window shows the part of a bw x bh composition (the placeholder layer, over it the map
    // layer shifted by (-ox, -oy) without its white pixels) from (sx, sy). Both layers are drawn
    // straight into the window's context, clipped to the part that reaches the window: the window
    // system puts a window's pixels on the screen only when its painting ends, so no intermediate
    // state is ever seen, and the pixels are exactly those a separate composition surface copied
    // in one piece would give, for one pass over the window's pixels less on every paint of a
    // drag. Outside that part (an odd client size, layers smaller than the window) the window
    // keeps its pixels, as a copy from outside the composition would leave them.
    const int32_t left = std::max(sx, 0), top = std::max(sy, 0);
    const int32_t width = std::min(sx + copyW, bw) - left;
    const int32_t height = std::min(sy + copyH, bh) - top;
    if (width > 0 && height > 0 && view->mapDC != nullptr) {
      // Target pixel (x, y) shows composition pixel (x + sx, y + sy); the part drawn is the
      // rectangle of the composition from (left, top), `width` x `height`.
      const int32_t tx = left - sx, ty = top - sy;
      BitBlt(target, tx, ty, width, height, view->placeholderDC, left, top, SRCCOPY);
      // The map layer's pixel (u + ox, v + oy) lies over composition pixel (u, v); clipped to the part.
      const int32_t u0 = std::max(left, -ox), v0 = std::max(top, -oy);
      const int32_t u1 = std::min(left + width, bw - ox), v1 = std::min(top + height, bh - oy);
      if (u1 > u0 && v1 > v0)
        TransparentImage(target, u0 - sx, v0 - sy, u1 - u0, v1 - v0, view->mapDC, u0 + ox, v0 + oy, u1 - u0, v1 - v0,
                         kColorKeyWhite);
    }
  }
  // Tracks over the map, markers over them, the attribution, which stays legible, over all.
  RECT repainted{0, 0, 0, 0};
  GetClientRect(view->window, &repainted);
  DrawTracks(view, target, PixelRect{repainted.left, repainted.top, repainted.right, repainted.bottom});
  DrawMarkers(view, target);
  DrawAttribution(view, target);
  FireEvent(view, OMEventTypeMapDrawn);
}

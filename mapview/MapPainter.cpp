#include "mapview/MapPainter.h"

#include <algorithm>
#include <vector>

#include "mapview/AttributionLabel.h"
#include "mapview/MapLayers.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapPicture.h"
#include "mapview/MapTracks.h"
#include "mapview/MapViewEvents.h"
#include "mapview/SurfaceDrawing.h"
#include "mapview/ViewQueries.h"

namespace {

// Where the layers meet the window. The window shows the part of a bw x bh composition (the
// placeholder layer, over it the map layer shifted by (-ox, -oy) without its white pixels) from
// (sx, sy): target pixel (x, y) shows composition pixel (x + sx, y + sy). `part` is the rectangle
// of the composition that reaches the window; outside it (an odd client size, layers smaller than
// the window) the window keeps its pixels, as a copy from outside the composition would leave them.
// `mapPart` is the part of `part` that the shifted map layer covers: its pixel (u + ox, v + oy)
// lies over composition pixel (u, v).
struct Placement {
  int32_t sx = 0, sy = 0, ox = 0, oy = 0;
  PixelRect part{0, 0, 0, 0};
  PixelRect mapPart{0, 0, 0, 0};
};

// Under `lock`.
Placement PlaceLayers(OMMapView* view, const PixelRect& client) {
  Placement p;
  const int32_t cw = client.right - client.left, ch = client.bottom - client.top;
  const int32_t bw = LayerWidth(view), bh = LayerHeight(view);
  int32_t copyW = bw, copyH = bh;
  if (!(bw < cw && bh < ch)) {
    p.sx = view->viewport.left - view->bufferRect.left;
    p.sy = view->viewport.top - view->bufferRect.top;
    copyW = cw;
    copyH = ch;
  }
  const PixelPoint shown = ShownOffset(view);
  p.ox = shown.x;
  p.oy = shown.y;
  p.part = IntersectRects(PixelRect{p.sx, p.sy, p.sx + copyW, p.sy + copyH}, PixelRect{0, 0, bw, bh});
  if (IsEmptyRect(p.part)) p.part = PixelRect{0, 0, 0, 0};
  p.mapPart = IntersectRects(p.part, PixelRect{-p.ox, -p.oy, bw - p.ox, bh - p.oy});
  if (IsEmptyRect(p.mapPart)) p.mapPart = PixelRect{0, 0, 0, 0};
  return p;
}

}  // namespace

// Both layers go straight into the target: the window system puts a window's pixels on the screen
// only when its painting ends, so no intermediate state is ever seen.
void PaintFromLayers(OMMapView* view, HDC target, const PixelRect& client, const PixelRect& clip) {
  if (IsEmptyRect(clip)) return;
  {
    CriticalSectionLock guard(&view->lock);
    const Placement p = PlaceLayers(view, client);
    const PixelRect part = IntersectRects(p.part, ShiftedRect(clip, p.sx, p.sy));
    if (!IsEmptyRect(part) && view->mapDC != nullptr) {
      BitBlt(target, part.left - p.sx, part.top - p.sy, part.right - part.left, part.bottom - part.top,
             view->placeholderDC, part.left, part.top, SRCCOPY);
      const PixelRect m = IntersectRects(p.mapPart, part);
      if (!IsEmptyRect(m))
        TransparentImage(target, m.left - p.sx, m.top - p.sy, m.right - m.left, m.bottom - m.top, view->mapDC,
                         m.left + p.ox, m.top + p.oy, m.right - m.left, m.bottom - m.top, kColorKeyWhite);
    }
  }
  // Tracks over the map, markers over them.
  DrawTracks(view, target, clip);
  DrawMarkers(view, target, clip);
}

void Paint(OMMapView* view, HDC target) {
  FireEvent(view, OMEventTypeMapWillDraw);
  RECT area{0, 0, 0, 0};
  GetClientRect(view->window, &area);
  const PixelRect client{area.left, area.top, area.right, area.bottom};
  // Where the map layer reaches the window, the kept picture (map, tracks and markers) is copied
  // in one piece; the rest of the window, if any, is drawn from the layers.
  PixelRect shown{0, 0, 0, 0};
  {
    CriticalSectionLock guard(&view->lock);
    const Placement p = PlaceLayers(view, client);
    const PixelRect& m = p.mapPart;
    if (!IsEmptyRect(m) && UpdatePicture(view)) {
      ShowPicture(view, target, m.left - p.sx, m.top - p.sy, m.right - m.left, m.bottom - m.top, m.left + p.ox,
                  m.top + p.oy, p.ox, p.oy);
      shown = ShiftedRect(m, -p.sx, -p.sy);
    }
  }
  if (IsEmptyRect(shown)) {
    PaintFromLayers(view, target, client, client);
  } else {
    PaintFromLayers(view, target, client, PixelRect{client.left, client.top, client.right, shown.top});
    PaintFromLayers(view, target, client, PixelRect{client.left, shown.bottom, client.right, client.bottom});
    PaintFromLayers(view, target, client, PixelRect{client.left, shown.top, shown.left, shown.bottom});
    PaintFromLayers(view, target, client, PixelRect{shown.right, shown.top, client.right, shown.bottom});
    // A translucent marker pixel over the placeholder blends with a placeholder pixel that moves
    // against the map: the picture cannot hold it, so such markers' rectangles are drawn afresh.
    std::vector<PixelRect> translucent;
    TranslucentMarkerRects(view, shown, &translucent);
    for (const PixelRect& r : translucent) PaintFromLayers(view, target, client, r);
  }
  // The attribution, which stays legible, over all.
  DrawAttribution(view, target);
  FireEvent(view, OMEventTypeMapDrawn);
}

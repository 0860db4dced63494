#include "mapview/MapPainter.h"

#include <algorithm>

#include "mapview/MapLayers.h"
#include "mapview/MapViewEvents.h"
#include "mapview/SurfaceDrawing.h"

namespace {

// The compose surface for a width x height paint, reused while the size stays the same.
HDC ComposeSurface(OMMapView* view, HDC target, int32_t width, int32_t height) {
  if (view->composeDC != nullptr && view->composeWidth == width && view->composeHeight == height)
    return view->composeDC;
  if (view->composeDC != nullptr) {
    HGDIOBJ bitmap = SelectObject(view->composeDC, view->composeOldBitmap);
    if (bitmap != nullptr) DeleteObject(bitmap);
    DeleteDC(view->composeDC);
    view->composeDC = nullptr;
  }
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
  if (dc == nullptr || bitmap == nullptr) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    return nullptr;
  }
  view->composeOldBitmap = static_cast<HBITMAP>(SelectObject(dc, bitmap));
  view->composeDC = dc;
  view->composeWidth = width;
  view->composeHeight = height;
  return dc;
}

}  // namespace

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
    // The compose surface holds only the part of the layers that reaches the window: the part of
    // the (bw x bh) composition from (sx, sy) that the final copy takes. The window gets exactly
    // the pixels a full-size composition would give it, and a paint costs the window's size, not
    // the layers'. Outside that part the window keeps its pixels, as a copy from outside the
    // composition would leave them.
    const int32_t left = std::max(sx, 0), top = std::max(sy, 0);
    const int32_t width = std::min(sx + copyW, bw) - left;
    const int32_t height = std::min(sy + copyH, bh) - top;
    if (width > 0 && height > 0 && view->mapDC != nullptr) {
      HDC compose = ComposeSurface(view, target, width, height);
      if (compose != nullptr) {
        // Composition pixel (u, v) lands on compose pixel (u - left, v - top).
        if (view->placeholderDC != nullptr) {
          BitBlt(compose, 0, 0, width, height, view->placeholderDC, left, top, SRCCOPY);
        } else {
          FillRectColor(compose, 0, 0, width + 1, height + 1, kColorKeyWhite);
        }
        TransparentImage(compose, -ox - left, -oy - top, bw, bh, view->mapDC, 0, 0, bw, bh, kColorKeyWhite);
        BitBlt(target, left - sx, top - sy, width, height, compose, 0, 0, SRCCOPY);
      }
    }
  }
  FireEvent(view, OMEventTypeMapDrawn);
}

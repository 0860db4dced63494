#include "mapview/MapLayers.h"

#include "mapview/PlaceholderImage.h"
#include "mapview/SurfaceDrawing.h"

namespace {

void FreeSurface(HDC* dc, HBITMAP* oldBitmap) {
  if (*dc == nullptr) return;
  HGDIOBJ bitmap = SelectObject(*dc, *oldBitmap);
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(*dc);
  *dc = nullptr;
  *oldBitmap = nullptr;
}

// A memory surface of the layers' size compatible with the window's display. The window's context
// is taken before the caller takes `lock`, so this thread never waits for the window system while
// a download thread waits for the lock.
void MakeSurface(HDC windowDC, int32_t width, int32_t height, HDC* dc, HBITMAP* oldBitmap) {
  *dc = CreateCompatibleDC(windowDC);
  HBITMAP bitmap = CreateCompatibleBitmap(windowDC != nullptr ? windowDC : *dc, width, height);
  *oldBitmap = bitmap != nullptr ? static_cast<HBITMAP>(SelectObject(*dc, bitmap)) : nullptr;
}

}  // namespace

int32_t LayerWidth(const OMMapView* view) { return view->bufferRect.right - view->bufferRect.left; }
int32_t LayerHeight(const OMMapView* view) { return view->bufferRect.bottom - view->bufferRect.top; }

int32_t RebuildMapLayer(OMMapView* view) {
  HDC windowDC = GetDC(view->window);
  {
    CriticalSectionLock guard(&view->lock);
    FreeSurface(&view->mapDC, &view->mapOldBitmap);
    MakeSurface(windowDC, LayerWidth(view), LayerHeight(view), &view->mapDC, &view->mapOldBitmap);
    // One larger on the right and at the bottom: the null-pen rectangle leaves its last column and
    // row out, and a new bitmap is black, so a fill to the layer's own size would leave a black
    // line along the layer's far edges wherever no tile covers them (a failed tile, a pan).
    FillRectColor(view->mapDC, 0, 0, LayerWidth(view) + 1, LayerHeight(view) + 1, kColorKeyWhite);
  }
  if (windowDC != nullptr) ReleaseDC(view->window, windowDC);
  return 1;
}

int32_t RebuildPlaceholderLayer(OMMapView* view) {
  HDC windowDC = GetDC(view->window);
  {
    CriticalSectionLock guard(&view->lock);
    FreeSurface(&view->placeholderDC, &view->placeholderOldBitmap);
    MakeSurface(windowDC, LayerWidth(view), LayerHeight(view), &view->placeholderDC, &view->placeholderOldBitmap);
  }
  if (windowDC != nullptr) ReleaseDC(view->window, windowDC);
  // Only the GUI thread uses the placeholder layer (painting, rebuilding), so the grid is drawn
  // without holding up tile drawing.
  DrawPlaceholderGrid(view->placeholderDC, PixelRect{0, 0, 256, 256},
                      PixelRect{0, 0, LayerWidth(view), LayerHeight(view)}, PlaceholderImageBytes(),
                      PlaceholderImageSize());
  return 1;
}

void FreeLayers(OMMapView* view) {
  CriticalSectionLock guard(&view->lock);
  FreeSurface(&view->mapDC, &view->mapOldBitmap);
  FreeSurface(&view->placeholderDC, &view->placeholderOldBitmap);
}

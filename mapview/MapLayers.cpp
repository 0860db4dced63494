#include "mapview/MapLayers.h"

#include "mapview/MapPicture.h"
#include "mapview/PlaceholderImage.h"
#include "mapview/SurfaceDrawing.h"

void FreeLayerSurface(HDC* dc, HBITMAP* oldBitmap, SizeCounts* size, uint32_t** bits) {
  *size = SizeCounts{0, 0};
  if (bits != nullptr) *bits = nullptr;
  if (*dc == nullptr) return;
  HGDIOBJ bitmap = SelectObject(*dc, *oldBitmap);
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(*dc);
  *dc = nullptr;
  *oldBitmap = nullptr;
}

void MakeLayerSurface(HDC windowDC, int32_t width, int32_t height, HDC* dc, HBITMAP* oldBitmap, SizeCounts* size,
                      uint32_t** bits) {
  *dc = CreateCompatibleDC(windowDC);
  HBITMAP bitmap = nullptr;
  if (bits == nullptr) {
    bitmap = CreateCompatibleBitmap(windowDC != nullptr ? windowDC : *dc, width, height);
  } else {
    bitmap = CreatePixelBitmap(windowDC != nullptr ? windowDC : *dc, width, height, bits);
  }
  *oldBitmap = bitmap != nullptr ? static_cast<HBITMAP>(SelectObject(*dc, bitmap)) : nullptr;
  *size = bitmap != nullptr ? SizeCounts{width, height} : SizeCounts{0, 0};
}

namespace {

// Whether a layer's surface was made at the layers' present size (and can be kept).
bool SurfaceFits(const OMMapView* view, HDC dc, const SizeCounts& size) {
  return dc != nullptr && size.width == LayerWidth(view) && size.height == LayerHeight(view) && size.width > 0 &&
         size.height > 0;
}

}  // namespace

int32_t LayerWidth(const OMMapView* view) { return view->bufferRect.right - view->bufferRect.left; }
int32_t LayerHeight(const OMMapView* view) { return view->bufferRect.bottom - view->bufferRect.top; }

int32_t RebuildMapLayer(OMMapView* view) {
  HDC windowDC = GetDC(view->window);
  {
    CriticalSectionLock guard(&view->lock);
    // A position change keeps the layers' size: the surface is kept and only cleared, sparing a
    // new bitmap (and its first-touch page faults) on every move.
    if (!SurfaceFits(view, view->mapDC, view->mapSize)) {
      FreeLayerSurface(&view->mapDC, &view->mapOldBitmap, &view->mapSize);
      MakeLayerSurface(windowDC, LayerWidth(view), LayerHeight(view), &view->mapDC, &view->mapOldBitmap, &view->mapSize);
    }
    // One larger on the right and at the bottom: the null-pen rectangle leaves its last column and
    // row out, and a new bitmap is black, so a fill to the layer's own size would leave a black
    // line along the layer's far edges wherever no tile covers them (a failed tile, a pan).
    FillRectColor(view->mapDC, 0, 0, LayerWidth(view) + 1, LayerHeight(view) + 1, kColorKeyWhite);
    MarkPictureStale(view);
  }
  if (windowDC != nullptr) ReleaseDC(view->window, windowDC);
  return 1;
}

int32_t RebuildPlaceholderLayer(OMMapView* view) {
  // The grid starts at the layer's left-top whatever the position, so a layer of the same size
  // already shows it.
  if (SurfaceFits(view, view->placeholderDC, view->placeholderSize)) return 1;
  HDC windowDC = GetDC(view->window);
  {
    CriticalSectionLock guard(&view->lock);
    FreeLayerSurface(&view->placeholderDC, &view->placeholderOldBitmap, &view->placeholderSize, &view->placeholderBits);
    MakeLayerSurface(windowDC, LayerWidth(view), LayerHeight(view), &view->placeholderDC, &view->placeholderOldBitmap,
                &view->placeholderSize, &view->placeholderBits);
  }
  if (windowDC != nullptr) ReleaseDC(view->window, windowDC);
  // Only the GUI thread uses the placeholder layer (painting, rebuilding), so the grid is drawn
  // without holding up tile drawing.
  DrawPlaceholderGrid(view->placeholderDC, PixelRect{0, 0, kPlaceholderCell, kPlaceholderCell},
                      PixelRect{0, 0, LayerWidth(view), LayerHeight(view)}, PlaceholderImageBytes(),
                      PlaceholderImageSize());
  return 1;
}

void FreeLayers(OMMapView* view) {
  CriticalSectionLock guard(&view->lock);
  FreeLayerSurface(&view->mapDC, &view->mapOldBitmap, &view->mapSize);
  FreeLayerSurface(&view->placeholderDC, &view->placeholderOldBitmap, &view->placeholderSize, &view->placeholderBits);
  FreePicture(view);
}

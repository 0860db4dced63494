#include "mapview/TileDelivery.h"

#include "mapview/EncodedImage.h"
#include "mapview/MapPicture.h"
#include "mapview/MapViewEvents.h"
#include "mapview/SurfaceDrawing.h"

void OnTileReady(const TileDrawInfo* info, void* context) {
  auto* view = static_cast<OMMapView*>(context);
  FireEvent(view, OMEventTypeMapWillLoad);
  // Decoding is the slow part of a tile; it needs no part of the view, so it runs before the lock
  // and several download threads decode at once. Only the draw into the layer is serialised with
  // painting and with the other tiles.
  EncodedImage image;
  const bool decoded = info->data != nullptr && image.Decode(info->data, info->dataSize);
  {
    CriticalSectionLock guard(&view->lock);
    const int32_t left = info->x - view->bufferRect.left;
    const int32_t top = info->y - view->bufferRect.top;
    const int32_t right = left + info->width;
    const int32_t bottom = top + info->height;
    // The tile's zoom is not compared with the view's: a tile is drawn at its column and row, and
    // the tiles of a new level that share them are requested after it (the cache replaces the old
    // tile, awaiting its report, before the new one starts), so the new picture always comes last.
    // Without a layer (its window was destroyed before the control) there is nothing to draw into.
    if (view->mapDC != nullptr) {
      if (decoded) {
        image.DrawPart(view->mapDC, left, top, right, bottom, info->sourceX, info->sourceY, info->sourceSize);
      } else if (info->data == nullptr) {
        FillRectColor(view->mapDC, left, top, right, bottom, kColorKeyWhite);
      }
      // Bytes that are no image draw nothing: the rectangle keeps what it had.
      MarkPictureRect(view, PixelRect{left, top, right, bottom});
    }
    InvalidateRect(view->window, nullptr, FALSE);
  }
  FireEvent(view, OMEventTypeMapLoaded);
}

void RequestViewTiles(OMMapView* view, const PixelRect& rect) {
  view->tileLayer.RequestTiles(rect.left, rect.top, rect.right, rect.bottom, view->zoom, OnTileReady, view);
}

#include "mapview/MapMarkers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mapview/MapPicture.h"
#include "mapview/ViewQueries.h"

// Generated from mapview/MarkerPin.png by orvan_embed_file.
extern "C" const unsigned char orvan_marker_pin_png[];
extern "C" const unsigned int orvan_marker_pin_png_size;

namespace {

// The marker's image rectangle in the pixels of a surface whose (0, 0) shows world pixel
// (originX, originY); false when its position is not shown at this zoom or the rectangle does not
// fit 32 bits.
bool ImageRectAt(OMMapView* view, const MapMarker& marker, int64_t originX, int64_t originY, RECT* rect) {
  PixelPoint point{0, 0};
  if (PositionToPointAt(view, marker.latitude, marker.longitude, originX, originY, &point) == 0) return false;
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
  const int64_t left = int64_t(point.x) - marker.anchorX, top = int64_t(point.y) - marker.anchorY;
  const int64_t right = left + marker.width, bottom = top + marker.height;
  if (left < kMin || top < kMin || right > kMax || bottom > kMax) return false;
  *rect = RECT{LONG(left), LONG(top), LONG(right), LONG(bottom)};
  return true;
}

// The marker's image rectangle in client pixels.
bool ImageRect(OMMapView* view, const MapMarker& marker, RECT* rect) {
  const WorldPixel64 origin = ShownClientOrigin(view);
  return ImageRectAt(view, marker, origin.x, origin.y, rect);
}

MapMarker* Find(OMMapView* view, int32_t id) {
  for (MapMarker& marker : view->markers)
    if (marker.id == id) return &marker;
  return nullptr;
}

int32_t Refuse(OMMapView* view, const char* reason) {
  view->lastError = reason;
  return 0;
}

void Redraw(OMMapView* view) {
  ++view->overlayGeneration;
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, TRUE);
}

// The kept picture draws the marker's rectangle again (where it was, or where it now is).
void RedrawMarkerArea(OMMapView* view, const MapMarker& marker) {
  RECT rect{0, 0, 0, 0};
  {
    CriticalSectionLock guard(&view->lock);
    if (ImageRectAt(view, marker, view->bufferRect.left, view->bufferRect.top, &rect))
      MarkPictureRect(view, PixelRect{rect.left, rect.top, rect.right, rect.bottom});
  }
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, TRUE);
}

}  // namespace

int32_t AddMarker(OMMapView* view, double latitude, double longitude, const uint8_t* image, uint32_t size,
                  int32_t anchorX, int32_t anchorY) {
  if (!std::isfinite(latitude) || !std::isfinite(longitude))
    return Refuse(view, "a marker's position must be a finite latitude and longitude");
  if (view->nextMarkerId == std::numeric_limits<int32_t>::max()) return Refuse(view, "no marker ids are left");
  const uint8_t* bytes = image != nullptr ? image : orvan_marker_pin_png;
  const uint32_t count = image != nullptr ? size : orvan_marker_pin_png_size;
  auto decoded = std::make_shared<EncodedImage>();
  MapMarker marker;
  if (count == 0) return Refuse(view, "the marker image is empty");
  if (!decoded->Decode(bytes, count) || !decoded->Size(&marker.width, &marker.height))
    return Refuse(view, "the marker image is not a PNG, JPEG or WebP image within the size limits");
  marker.id = view->nextMarkerId++;
  marker.latitude = latitude;
  marker.longitude = longitude;
  marker.anchorX = anchorX;
  marker.anchorY = anchorY;
  marker.translucent = decoded->HasPartialAlpha();
  marker.image = std::move(decoded);
  view->markers.push_back(std::move(marker));
  view->lastError.clear();
  RedrawMarkerArea(view, view->markers.back());
  return view->markers.back().id;
}

int32_t MoveMarker(OMMapView* view, int32_t id, double latitude, double longitude) {
  MapMarker* marker = Find(view, id);
  if (marker == nullptr) return Refuse(view, "no marker has that id");
  if (!std::isfinite(latitude) || !std::isfinite(longitude))
    return Refuse(view, "a marker's position must be a finite latitude and longitude");
  RedrawMarkerArea(view, *marker);
  marker->latitude = latitude;
  marker->longitude = longitude;
  view->lastError.clear();
  RedrawMarkerArea(view, *marker);
  return 1;
}

int32_t RemoveMarker(OMMapView* view, int32_t id) {
  auto found = std::find_if(view->markers.begin(), view->markers.end(),
                            [id](const MapMarker& marker) { return marker.id == id; });
  if (found == view->markers.end()) return Refuse(view, "no marker has that id");
  const MapMarker removed = *found;
  view->markers.erase(found);
  view->lastError.clear();
  RedrawMarkerArea(view, removed);
  return 1;
}

int32_t ClearMarkers(OMMapView* view) {
  view->markers.clear();
  view->lastError.clear();
  Redraw(view);
  return 1;
}

void DrawMarkers(OMMapView* view, HDC target, const PixelRect& clip) {
  const WorldPixel64 origin = ShownClientOrigin(view);
  DrawMarkersAt(view, target, clip, origin.x, origin.y);
}

void DrawMarkersAt(OMMapView* view, HDC target, const PixelRect& clip, int64_t originX, int64_t originY) {
  if (view->markers.empty() || clip.right <= clip.left || clip.bottom <= clip.top) return;
  const int saved = SaveDC(target);
  IntersectClipRect(target, clip.left, clip.top, clip.right, clip.bottom);
  for (const MapMarker& marker : view->markers) {
    RECT rect{0, 0, 0, 0};
    if (!ImageRectAt(view, marker, originX, originY, &rect)) continue;
    if (rect.right <= clip.left || rect.left >= clip.right || rect.bottom <= clip.top || rect.top >= clip.bottom)
      continue;
    // Equal sizes: the image is copied pixel for pixel, its transparent pixels left out.
    marker.image->Draw(target, rect.left, rect.top, rect.right, rect.bottom);
  }
  RestoreDC(target, saved);
}

void TranslucentMarkerRects(OMMapView* view, const PixelRect& clip, std::vector<PixelRect>* rects) {
  for (const MapMarker& marker : view->markers) {
    RECT rect{0, 0, 0, 0};
    if (!marker.translucent || !ImageRect(view, marker, &rect)) continue;
    const PixelRect part = IntersectRects(PixelRect{rect.left, rect.top, rect.right, rect.bottom}, clip);
    if (!IsEmptyRect(part)) rects->push_back(part);
  }
}

int32_t MarkerAt(OMMapView* view, int32_t x, int32_t y) {
  for (auto it = view->markers.rbegin(); it != view->markers.rend(); ++it) {
    RECT rect{0, 0, 0, 0};
    if (!ImageRect(view, *it, &rect)) continue;
    if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) continue;
    if (it->image->CoversPixel(x - rect.left, y - rect.top)) return it->id;
  }
  return 0;
}

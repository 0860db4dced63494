#include "mapview/MapMarkers.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mapview/ViewQueries.h"

// Generated from mapview/MarkerPin.png by orvan_embed_file.
extern "C" const unsigned char orvan_marker_pin_png[];
extern "C" const unsigned int orvan_marker_pin_png_size;

namespace {

// The marker's image rectangle in client pixels; false when its position is not shown at this
// zoom or the rectangle does not fit 32 bits.
bool ImageRect(OMMapView* view, const MapMarker& marker, RECT* rect) {
  PixelPoint point{0, 0};
  if (PositionToClientPoint(view, marker.latitude, marker.longitude, &point) == 0) return false;
  const int64_t left = int64_t(point.x) - marker.anchorX, top = int64_t(point.y) - marker.anchorY;
  const int64_t right = left + marker.width, bottom = top + marker.height;
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
  if (left < kMin || top < kMin || right > kMax || bottom > kMax) return false;
  *rect = RECT{LONG(left), LONG(top), LONG(right), LONG(bottom)};
  return true;
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
  marker.image = std::move(decoded);
  view->markers.push_back(std::move(marker));
  view->lastError.clear();
  Redraw(view);
  return view->markers.back().id;
}

int32_t MoveMarker(OMMapView* view, int32_t id, double latitude, double longitude) {
  MapMarker* marker = Find(view, id);
  if (marker == nullptr) return Refuse(view, "no marker has that id");
  if (!std::isfinite(latitude) || !std::isfinite(longitude))
    return Refuse(view, "a marker's position must be a finite latitude and longitude");
  marker->latitude = latitude;
  marker->longitude = longitude;
  view->lastError.clear();
  Redraw(view);
  return 1;
}

int32_t RemoveMarker(OMMapView* view, int32_t id) {
  auto found = std::find_if(view->markers.begin(), view->markers.end(),
                            [id](const MapMarker& marker) { return marker.id == id; });
  if (found == view->markers.end()) return Refuse(view, "no marker has that id");
  view->markers.erase(found);
  view->lastError.clear();
  Redraw(view);
  return 1;
}

int32_t ClearMarkers(OMMapView* view) {
  view->markers.clear();
  view->lastError.clear();
  Redraw(view);
  return 1;
}

void DrawMarkers(OMMapView* view, HDC target) {
  if (view->markers.empty()) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(view->window, &client);
  for (const MapMarker& marker : view->markers) {
    RECT rect{0, 0, 0, 0};
    if (!ImageRect(view, marker, &rect)) continue;
    if (rect.right <= client.left || rect.left >= client.right || rect.bottom <= client.top || rect.top >= client.bottom)
      continue;
    // Equal sizes: the image is copied pixel for pixel, its transparent pixels left out.
    marker.image->Draw(target, rect.left, rect.top, rect.right, rect.bottom);
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

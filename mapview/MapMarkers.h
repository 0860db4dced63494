// Markers: images pinned to positions, drawn over the map in the order added, and the marker a
// client point falls on (its image's non-transparent pixels only) for the marker tap handler.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mapview/EncodedImage.h"
#include "mapview/MapViewRecord.h"

// The built-in pin drawn for a marker added without an image: 19 x 30 pixels, tip at (9, 29).
constexpr int32_t kPinWidth = 19, kPinHeight = 30;

struct MapMarker {
  int32_t id = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  int32_t anchorX = 0;  // the image pixel placed on the position
  int32_t anchorY = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool translucent = false;  // the image has pixels neither opaque nor fully transparent
  std::shared_ptr<const EncodedImage> image;
};

// Decodes the image (null: the built-in pin) and appends the marker. Its id (> 0), or 0 with the
// reason in lastError for a position that is not finite or bytes that are no image within the
// imaging service's limits.
int32_t AddMarker(OMMapView* view, double latitude, double longitude, const uint8_t* image, uint32_t size,
                  int32_t anchorX, int32_t anchorY);
// 1, or 0 with the reason for an unknown id (and, moving, a position that is not finite).
int32_t MoveMarker(OMMapView* view, int32_t id, double latitude, double longitude);
int32_t RemoveMarker(OMMapView* view, int32_t id);
// Removes every marker. 1.
int32_t ClearMarkers(OMMapView* view);
// Draws every marker at the client point its position is shown (offsets included), only inside
// `clip` (client pixels). Nothing while the zoom has no tile level.
void DrawMarkers(OMMapView* view, HDC target, const PixelRect& clip);
// The same into any surface, only inside `clip` (the target's coordinates): (originX, originY) is
// the world pixel at the target's (0, 0).
void DrawMarkersAt(OMMapView* view, HDC target, const PixelRect& clip, int64_t originX, int64_t originY);
// Appends the client rectangles, cut to `clip`, of the markers whose images are translucent
// somewhere: over the placeholder such a pixel shows a blend that changes as the map is dragged.
void TranslucentMarkerRects(OMMapView* view, const PixelRect& clip, std::vector<PixelRect>* rects);
// The id of the last-added marker whose image covers client point (x, y) with a pixel that is not
// fully transparent; 0 when none does.
int32_t MarkerAt(OMMapView* view, int32_t x, int32_t y);

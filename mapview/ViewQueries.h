// What the window shows, asked in degrees and client pixels, and fitting a box into the window:
// the operations behind the public query functions and OMMapViewFitBounds.
#pragma once

#include "mapview/MapViewRecord.h"

// The offset, in world pixels, between the committed viewport and what the window shows: the pan
// not yet folded into the centre plus the drag in progress (as painting applies it).
PixelPoint ShownOffset(const OMMapView* view);
// A world pixel that may lie past 32 bits (a client point far off the map).
struct WorldPixel64 {
  int64_t x, y;
};
// The world pixel shown at client (0, 0): the viewport's left-top moved by the shown offset, as
// painting places the map.
WorldPixel64 ShownClientOrigin(const OMMapView* view);
// The position shown at the window's centre; the stored centre while the zoom has no tile level.
// Needs a projection.
GeoPoint ShownCenter(OMMapView* view);
// The position of the north-west corner of the pixel shown at client point (x, y). 0 while the
// zoom has no tile level or when the world pixel does not fit 32 bits, else 1.
int32_t ClientPointToPosition(OMMapView* view, int32_t x, int32_t y, GeoPoint* position);
// The pixel of a surface whose (0, 0) shows world pixel (originX, originY) at which the position
// is shown; 0 while the zoom has no tile level, for a position that is not finite, or when the
// pixel does not fit 32 bits.
int32_t PositionToPointAt(OMMapView* view, double latitude, double longitude, int64_t originX, int64_t originY,
                          PixelPoint* point);
// The client point at which a position is shown, through the projection's own conversion. 0 while
// the zoom has no tile level, for NaN or infinity, or when the point does not fit 32 bits, else 1.
int32_t PositionToClientPoint(OMMapView* view, double latitude, double longitude, PixelPoint* point);
// Applies the deepest zoom level within the view's limits at which the box's corners both land
// inside the client area, centred on the middle of their world pixels (at the lower limit when no
// level fits). Folds no pan: the pending pan is dropped, as for a new centre. Needs a projection
// and a box with south <= north and west <= east. 1.
int32_t FitBox(OMMapView* view, double south, double west, double north, double east);

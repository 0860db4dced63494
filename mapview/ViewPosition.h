// Setting the map type and applying a position: the operations behind the public functions that
// move or zoom the view.
#pragma once

#include "mapview/MapViewRecord.h"

// Type 1 (spherical Mercator) selects the view's projection and the zoom limits 1.0 and 17.0 and
// returns 1; every other type returns 0 and changes nothing.
int32_t SetMapType(OMMapView* view, int32_t type);
// Whether the view's zoom has a tile level of its projection (a world to draw and pan).
bool ZoomHasLevel(const OMMapView* view);
// Ends a flick glide, then stores the position, places the centre, rebuilds both layers, computes the world's size and
// requests the viewport's tiles (tiles already held are drawn, with their events, before it
// returns). Leaves the pending pan alone. Needs a projection. 1.
int32_t ApplyPosition(OMMapView* view, double latitude, double longitude, double zoom);
// Moves the centre by the pending pan and clears it, so that a zoom keeps the point shown at the
// window's centre.
void FoldPendingPan(OMMapView* view);
// Drops the pending pan. A new centre given by the application is shown at the window's centre:
// kept, a pan left from an earlier drag would show the new position shifted by it until the next
// drag that scrolls the layers.
void ClearPendingPan(OMMapView* view);
// Folds the pending pan, then applies the current centre at `zoom`. 1.
int32_t ZoomTo(OMMapView* view, double zoom);
// One level in, keeping the world point under client pixel (x, y) under it (within a pixel):
// folds the pending pan, then applies the centre that puts that point there at zoom + 1.0. 0 and
// nothing changes at or above the upper limit, else 1.
int32_t ZoomInAround(OMMapView* view, int32_t x, int32_t y);
// The same one level out: 0 and nothing changes at or below the lower limit, else 1.
int32_t ZoomOutAround(OMMapView* view, int32_t x, int32_t y);

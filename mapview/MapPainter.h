// Painting: the placeholder layer, over it the map layer shifted by the drag and pan offsets with
// its white pixels left out, then the tracks, the markers, then the attribution.
#pragma once

#include "mapview/MapViewRecord.h"

// Fires OMEventTypeMapWillDraw, composes under `lock`, fires OMEventTypeMapDrawn. When the layers
// are narrower and lower than the window (before any position: empty) only the layers' size is
// copied, to the window's left-top corner; otherwise the window shows the world from the viewport's
// left-top corner plus the offset.
void Paint(OMMapView* view, HDC target);

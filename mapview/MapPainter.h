// Painting: the placeholder layer, over it the map layer shifted by the drag and pan offsets with
// its white pixels left out, then the tracks, the markers, then the attribution.
#pragma once

#include "mapview/MapViewRecord.h"

// Draws the window's rectangle `clip` (client pixels; `client` is the whole client rectangle) from
// the layers as they are, without the kept picture: the placeholder layer, the map layer through
// its colour key, then the tracks and the markers. Painting uses it where the map layer does not
// reach the window and for translucent markers; it is also what a paint must equal.
void PaintFromLayers(OMMapView* view, HDC target, const PixelRect& client, const PixelRect& clip);

// Fires OMEventTypeMapWillDraw, composes under `lock`, fires OMEventTypeMapDrawn. When the layers
// are narrower and lower than the window (before any position: empty) only the layers' size is
// copied, to the window's left-top corner; otherwise the window shows the world from the viewport's
// left-top corner plus the offset.
void Paint(OMMapView* view, HDC target);

// Where the control looks: the world-pixel centre, the viewport the window shows and the
// tile-aligned rectangle its layers cover.
#pragma once

#include "mapview/MapViewRecord.h"

// Sets the centre; the viewport reaches half the client size (truncated) to each side, so an odd
// client width or height gives a viewport one pixel narrower or lower than the window; the layers'
// rectangle is the tile-aligned one around the viewport. Nothing is clamped to the world. 1.
int32_t PlaceCenter(OMMapView* view, int32_t cx, int32_t cy);
// Moves the centre, the viewport and the layers' rectangle by (dx, dy) and recomputes the
// geographic centre at the current zoom. The layers' pixels are not moved. 1.
int32_t ShiftView(OMMapView* view, int32_t dx, int32_t dy);

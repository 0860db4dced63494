// The desktop's habits on the control: the wheel zooms around the pointer, keys pan and zoom
// while the control has the focus. Each change is reported to the view-changed handler.
#pragma once

#include "mapview/MapViewRecord.h"

// The wheel turned by `delta` (WHEEL_DELTA per notch, positive away from the user) with the
// pointer at client point (x, y): each whole notch, counting what earlier turns left over, zooms
// one level in (positive) or out, keeping the geographic point under the pointer there. Turns past
// a zoom limit are dropped. Ignored while the stylus drags or before a map is set.
void OnWheel(OMMapView* view, int32_t x, int32_t y, int32_t delta);
// A key went down: the arrows pan a quarter of the window, + and - zoom one level at the centre,
// Home returns to where OMMapViewSetMap put the view. False for other keys (and before a map).
bool OnKey(OMMapView* view, WORD virtualKey);

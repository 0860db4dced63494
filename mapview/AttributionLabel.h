// The source's attribution, drawn last in small text at the control's bottom-right corner on a
// light box, like every web map. It does not move with a drag.
#pragma once

#include "mapview/MapViewRecord.h"

// Draws `view->attributionShown` (nothing when empty) into the window's context.
void DrawAttribution(OMMapView* view, HDC target);

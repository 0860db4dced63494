// A pan that leaves the layers: scroll the map layer in place, move the view, whiten the strips
// that come into view and request only their tiles.
#pragma once

#include "mapview/MapViewRecord.h"

// Works on (pendingX, pendingY). When the viewport moved by it still lies inside `bufferRect`,
// nothing changes and 0 is returned (painting shows the pending pan as an offset). Otherwise the
// map layer is scrolled by the whole pending pan, the view shifted, the uncovered columns and rows
// filled white, their strips' tiles requested, the pending pan cleared, and 1 returned.
int32_t ScrollBy(OMMapView* view);

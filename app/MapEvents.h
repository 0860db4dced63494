// The map control's event handler: one line of debugger output per event.
#pragma once

#include "mapview/OMMapView.h"

namespace ambrel {

// Writes the event type's name as one line ("OMEventTypeMapDrawn") and nothing for an unknown type.
// Called on the GUI thread and on download threads, possibly at once: it touches only atomics
// (a drawn tile hides the no-tiles notice).
void OnMapEvent(OMMapView* view, int32_t eventType, int32_t reserved1, int32_t reserved2, uint32_t userData);

}  // namespace ambrel

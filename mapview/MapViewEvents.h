// The control's one way of reporting progress to the application.
#pragma once

#include "mapview/MapViewRecord.h"

// Calls the event handler, if one is set, with (view, type, 0, 0, user data), reading the handler
// and its user data at this moment. Takes no lock that drawing or painting takes, so it is safe on
// any thread and from inside the handler of another event.
void FireEvent(OMMapView* view, int32_t type);

// Stores the handler (null: no events) and the user data for every later event.
void SetEventPair(OMMapView* view, EventHandler handler, uint32_t userData);

// Calls the view-changed handler, if one is set, with the view and its user data. GUI thread only.
void NotifyViewChanged(OMMapView* view);

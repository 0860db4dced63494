// The process-wide map from a control's window to the control that owns it.
//
// The window procedure records a window at its create message and looks every later message up
// here. The entry goes when the window is destroyed or when its control is destroyed, whichever
// comes first, so a message can never lead to a freed control. Window handles are never reused, so
// a stale handle can never find another control either.
#pragma once

#include "mapview/MapViewRecord.h"

void RememberViewWindow(HWND window, OMMapView* view);
// The control of the window, or null.
OMMapView* FindViewOfWindow(HWND window);
// Removes the window's entry when it names `view` (null: whatever it names).
void ForgetViewWindow(HWND window, OMMapView* view);
size_t ViewRegistrySize();

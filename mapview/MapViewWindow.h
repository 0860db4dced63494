// The control's window: class "OMMapView", its creation and its window procedure.
#pragma once

#include "mapview/MapViewRecord.h"

inline constexpr const WCHAR* kMapViewClassName = u"OMMapView";

// Registers the class (a second control finds it registered, which is fine), creates the child
// window with WS_CHILD added to `style`, and stores the window and the instance in the view. 1, or
// 0 when the window could not be created.
//
// The control has no message thread of its own: the platform queues a window's messages for the
// thread that created it, so a second loop would receive nothing, and a thread that is never told
// to stop would outlive the control (and an error from its message retrieval would make it spin).
int32_t CreateControlWindow(OMMapView* view, uint32_t style, int32_t left, int32_t top, int32_t right, int32_t bottom,
                            HWND parent, HINSTANCE instance);

LRESULT MapViewWndProc(HWND window, UINT message, WPARAM first, LPARAM second);

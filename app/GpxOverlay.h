// The GPX files Ambrel shows over its map: read on a thread of their own (the GUI thread never
// waits on the disk), then their waypoints become pins, their tracks and routes lines, and the map
// opens on all of them. A tap on a pin shows the waypoint's name and position in a message box. A
// file that cannot be read is named in one line on the debugger output and in a message box; the
// program goes on without it.
#pragma once

#include <string>
#include <vector>

#include "mapview/OMMapView.h"
#include "platform/ui/Windows.h"

namespace ambrel {

// Messages posted to the main window.
constexpr UINT kMessageGpxRead = WM_APP + 3;       // the files have been read
constexpr UINT kMessageShowWaypoint = WM_APP + 4;  // a waypoint's pin was tapped; wParam: the marker's id

constexpr const char16_t* kUnreadGpxCaption = u"GPX files not shown";

// Starts reading `paths` for `mainWindow`; false (nothing started) when the thread cannot be made.
bool StartReadingGpx(HWND mainWindow, const std::vector<std::string>& paths);

// On kMessageGpxRead: shows what was read on `view` and, when there is any point, sets its map of
// `mapType` fitted to them all (OMMapViewFitBounds) and returns true; false when there is no
// point (the caller sets the map it starts with otherwise).
bool ShowGpxRead(OMMapView* view, int32_t mapType);

// After ShowGpxRead: the files that could not be read, a line each on the debugger output and
// together in one message box over `mainWindow`.
void ReportUnreadGpx(HWND mainWindow);

// On kMessageShowWaypoint: the message box with the waypoint's name and position.
void ShowWaypoint(HWND mainWindow, int32_t markerId);

// Stops a read still running (it ends after the chunk it is on) and awaits it; forgets the pins.
void StopReadingGpx();

}  // namespace ambrel

// Ambrel's main window: the single-instance check, the window with its map view, three buttons and
// soft-key menu bar, and the procedure that answers the buttons, the soft keys and the accelerators.
#pragma once

#include "app/SettingsSources.h"
#include "platform/ui/Windows.h"

namespace ambrel {

// How start-up ended: the main window runs; the program ends quietly (another copy runs and was
// brought to the front, or the window cannot be made); it ends with a failure its user was told;
// or the tile source or contact was refused (its user was told why).
enum class StartResult { Running, Ended, Failed, Refused };

// Creates and shows the main window with its map on the settings' tiles: the world map installed
// with the program opens at kEmbeddedStartZoom, any other source at kStartZoom, both on the home
// position. With GPX files the map waits for them to be read and opens on all they hold (on the
// home position when they hold nothing).
StartResult CreateMainWindow(HINSTANCE instance, int showCommand, const StartSettings& settings);

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);

}  // namespace ambrel

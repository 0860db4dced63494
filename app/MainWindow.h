// Ambrel's main window: the single-instance check, the window with its map view, three buttons and
// soft-key menu bar, and the procedure that answers the buttons, the soft keys and the accelerators.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

// How start-up ended: the main window runs; the program ends quietly (another copy runs and was
// brought to the front, or the window cannot be made); or it ends with a failure its user was told.
enum class StartResult { Running, Ended, Failed };

// Creates and shows the main window.
StartResult CreateMainWindow(HINSTANCE instance, int showCommand);

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);

}  // namespace ambrel

// Ambrel's main window: the single-instance check, the window with its map view, three buttons and
// soft-key menu bar, and the procedure that answers the buttons, the soft keys and the accelerators.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

// Creates and shows the main window. 0 when another copy runs (that copy is brought to the front)
// or the window cannot be made; the program then ends.
BOOL CreateMainWindow(HINSTANCE instance, int showCommand);

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second);

}  // namespace ambrel

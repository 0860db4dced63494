// Helpers shared by the window calls' implementation files.
#pragma once

#include "platform/ui/core/WindowSystem.h"

// The live local window of `handle`, or null with ERROR_INVALID_WINDOW_HANDLE (lock held).
Window* LookUpWindow(WindowSystem& ws, HWND handle);

// Makes `window` the foreground window and brings it (with the windows it owns) to the front;
// with `lastOwned` the topmost enabled window it owns is activated instead. Lock not held.
void ActivateWindow(HWND window, bool lastOwned);
// After the foreground window went away or was hidden: activates its owner if that can be
// activated, else the topmost window that can. Lock not held.
void ActivateNextWindow(HWND leaving);
// Whether a tap or showing may make the window the foreground window (lock held).
bool CanActivate(const Window& window);

// The screen changed over `rect` (screen coordinates) because windows moved, appeared or went.
void DamageScreen(const RECT& rect);

// Sets the title and refreshes what shows it (caption, task bar, the instance registry).
void ApplyWindowText(HWND window, const char16_t* text);

// Called when the first ownerless top-level window starts being destroyed (the screenshot rule).
void NotifyProgramWindowClosing();

// Clears the stylus capture when it is `window` or one of its descendants (lock held); returns the
// window that lost it, for NotifyCaptureLost once the lock is released, else null.
HWND DropCaptureWithin(WindowSystem& ws, Window* window);
// Sends WM_CAPTURECHANGED to `lost` (if any), naming `taker` (may be null). Lock not held.
void NotifyCaptureLost(HWND lost, HWND taker);

// What the handheld shell (platform/ui/shell) needs of the window manager beyond the public
// window calls: the standard controls' registration, the task bar's Done button, windows that
// never take the foreground (the soft-key bar, popup menus) and the soft-key bar that belongs to a
// window, and the caption metrics. Only the shell includes this header.
#pragma once

#include <cstdint>

#include "platform/ui/Windows.h"

// Defined by the shell: registers the standard window classes ("button", "static", the menu bar,
// dialogs). The window manager calls it once, when the window system starts, before any window
// exists, so that programs use these classes without registering them.
void RegisterSystemWindowClasses();

// While `window` (a top-level window) is the foreground window, the task bar shows an "ok" button
// at its right end; a tap on it posts WM_COMMAND (IDOK) to the window. FALSE for a handle that is
// not a live top-level window. A window with WS_EX_CAPTIONOKBTN shows the button from creation.
BOOL SetWindowDoneButton(HWND window, BOOL show);
BOOL HasWindowDoneButton(HWND window);

// Extended style: a top-level window with it never becomes the foreground window (a tap on it
// leaves the foreground as it is; showing it does not activate it): the soft-key bar, popup menus.
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// Marks `menuBar` (a top-level window created with `window` as its owner) as the soft-key bar of
// `window`: it is never activated, stays directly above its owner when the owner comes forward,
// and is destroyed with it. Null `menuBar` clears the mark. FALSE for handles that are not live.
BOOL SetWindowMenuBar(HWND window, HWND menuBar);
// The soft-key bar marked for `window`, or null.
HWND GetWindowMenuBar(HWND window);
// The window's owner (top-level windows) or null; GetParent gives a child's parent.
HWND GetWindowOwner(HWND window);

// Height of the caption a window with WS_CAPTION gets (title drawn by the window manager); it
// scales with the screen's width like the bars.
int32_t CaptionHeight();

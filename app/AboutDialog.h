// The About dialog (dialog 105): full screen, with a Done button in its caption.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

BOOL AboutDialogProc(HWND dialog, UINT message, WPARAM first, LPARAM second);

// Runs the About dialog modally over `owner`; returns when the user closes it.
void ShowAboutDialog(HINSTANCE instance, HWND owner);

}  // namespace ambrel

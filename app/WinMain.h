// Ambrel's entry point, as the device calls it.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

// Creates the main window and runs the message loop. The exit code is the quit message's code, or 0
// when start-up fails or another copy runs.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

}  // namespace ambrel

// Ambrel's entry point, as the device calls it.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

// Reads the settings (app/AmbrelSettings.h), creates the main window and runs the message loop. The
// exit code is the quit message's code; 0 after --help or --version, or when another copy runs; 2
// for a setting it cannot use (the user is told); 1 when start-up fails otherwise.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

}  // namespace ambrel

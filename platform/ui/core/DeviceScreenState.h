// The started device screen: its settings and its display backend. Started once per process, by
// StartDeviceScreen or implicitly by the first window call.
#pragma once

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/backends/DisplayBackend.h"

// Starts the screen from the environment if nothing started it yet; FALSE when no backend starts.
bool EnsureDeviceScreen();
// The running backend, or null before the screen started.
DisplayBackend* CurrentDisplayBackend();

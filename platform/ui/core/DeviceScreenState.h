// The started device screen: its settings and its display backend. Started once per process, by
// StartDeviceScreen or implicitly by the first window call.
#pragma once

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/backends/DisplayBackend.h"

// Starts the screen from the environment if nothing started it yet; FALSE when no backend starts.
bool EnsureDeviceScreen();
// The running backend, or null before the screen started.
DisplayBackend* CurrentDisplayBackend();
// The display's window changed size (display thread): the screen takes the new size, and the
// windows laid out against its edges follow (they get WM_SIZE); everything is composed again.
void ResizeDeviceScreen(int32_t width, int32_t height);

// Time services of the platform kernel.
#pragma once

#include "platform/kernel/PlatformTypes.h"

// Suspends the calling thread for at least `milliseconds`.
void Sleep(DWORD milliseconds);

// Milliseconds since an arbitrary start, 32 bits, wrapping about every 49.7 days.
DWORD GetTickCount();

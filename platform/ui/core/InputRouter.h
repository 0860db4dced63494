// The device's user: stylus and keys from the display backend (or the test hooks) become stylus
// and key messages posted to the right window, as the platform's input does: the stylus goes to
// the capture window or the topmost shown, enabled window under it (in client coordinates); keys
// go to the focus window, else the foreground window. A tap on the task bar's ok button posts
// WM_COMMAND (IDOK) to the foreground window. Safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/ui/Windows.h"

void RouteStylusDown(int32_t x, int32_t y);
void RouteStylusMove(int32_t x, int32_t y);
void RouteStylusUp(int32_t x, int32_t y);
void RouteKey(WORD virtualKey, bool down);
// The wheel turned by `delta` (WHEEL_DELTA per notch; positive: away from the user) with the
// pointer at screen point (x, y): WM_MOUSEWHEEL to the capture window, else to the topmost shown,
// enabled window under the pointer (the pointer need not touch). Nothing for a delta of 0.
void RouteWheel(int32_t x, int32_t y, int32_t delta);
// Posts WM_CLOSE to every shown ownerless top-level window, as a user closing the program would.
void CloseProgramWindows();
// Where the stylus last was (screen coordinates, x in the high half), for MSG::pt.
inline std::atomic<int64_t> lastStylusPosition{0};
inline POINT StylusPosition() {
  const uint64_t packed = uint64_t(lastStylusPosition.load(std::memory_order_relaxed));
  return POINT{int32_t(uint32_t(packed >> 32)), int32_t(uint32_t(packed))};
}

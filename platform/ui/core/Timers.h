// Window timers of a thread's queue: the monotonic clock they run on and what the message
// retrieval asks of them.
#pragma once

#include <cstdint>

#include "platform/ui/core/WindowSystem.h"

// Milliseconds of the monotonic clock (precise; timers need better than the message stamp).
uint64_t MonotonicMs();
// With the lock held: when a timer of `queue` whose window matches `matches` is due, fills `out`
// with its WM_TIMER, starts its next interval (only when `remove`: a look does not take it) and
// returns true. Otherwise returns false and sets
// `waitMs` to the time until the next timer is due (-1: none). Timers of windows gone are dropped.
template <typename Matches>
bool TakeDueTimer(WindowSystem& ws, MessageQueue& queue, Matches matches, bool remove, MSG* out, int64_t* waitMs) {
  const uint64_t now = MonotonicMs();
  *waitMs = -1;
  auto& timers = queue.timers;
  for (size_t i = 0; i < timers.size();) {
    if (ws.Find(timers[i].window) == nullptr) {
      timers.erase(timers.begin() + ptrdiff_t(i));
      continue;
    }
    QueueTimer& timer = timers[i];
    if (matches(timer.window)) {
      if (timer.dueMs <= now) {
        *out = MSG{timer.window, WM_TIMER, timer.id, 0, DWORD(now), POINT{0, 0}};
        if (remove) timer.dueMs = now + timer.intervalMs;
        return true;
      }
      const int64_t until = int64_t(timer.dueMs - now);
      if (*waitMs < 0 || until < *waitMs) *waitMs = until;
    }
    ++i;
  }
  return false;
}

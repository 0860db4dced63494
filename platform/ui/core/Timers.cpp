// SetTimer / KillTimer: a timer lives in the queue of its window's thread; the thread's message
// retrieval makes WM_TIMER from it when nothing else is waiting (platform/ui/core/MessageLoop.cpp).
#include "platform/ui/core/Timers.h"

#include <time.h>

#include <algorithm>

#include "platform/ui/core/WindowCalls.h"

namespace {
constexpr UINT kMinimumElapseMs = 10;
}  // namespace

uint64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

UINT_PTR SetTimer(HWND handle, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
  if (callback != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return 0;
  const uint64_t interval = std::max(elapseMs, kMinimumElapseMs);
  const uint64_t due = MonotonicMs() + interval;
  MessageQueue& queue = *window->queue;
  auto& timers = queue.timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const QueueTimer& timer) { return timer.window == handle && timer.id == id; });
  if (it != timers.end()) {
    it->intervalMs = interval;
    it->dueMs = due;
  } else {
    timers.push_back(QueueTimer{handle, id, interval, due});
  }
  // A thread already asleep sleeps as long as its timers allowed before: wake it to look again.
  ws.Wake(queue);
  return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND handle, UINT_PTR id) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return FALSE;
  auto& timers = window->queue->timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const QueueTimer& timer) { return timer.window == handle && timer.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}

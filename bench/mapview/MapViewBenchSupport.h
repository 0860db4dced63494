// What the map view benchmarks share: counting a control's OMEventTypeMapLoaded events (they come
// on the workers that read the tiles) and running the GUI thread's queued messages.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "mapview/OMMapView.h"
#include "platform/ui/Windows.h"

namespace bench {

class LoadCounter {
 public:
  static void Handler(OMMapView*, int32_t type, int32_t, int32_t, uint32_t) {
    if (type != OMEventTypeMapLoaded) return;
    std::lock_guard<std::mutex> guard(mutex_);
    ++loaded_;
    changed_.notify_all();
  }
  static void Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    loaded_ = 0;
  }
  static void WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return loaded_ >= n; });
  }
  // false when fewer than n came within the time.
  static bool WaitFor(size_t n, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return loaded_ >= n; });
  }
  static size_t Count() {
    std::lock_guard<std::mutex> guard(mutex_);
    return loaded_;
  }

 private:
  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline size_t loaded_ = 0;
};

inline void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace bench

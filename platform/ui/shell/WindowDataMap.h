// Per-window state of the system's own window classes, keyed by handle (handles are never reused).
// Lookups hand out shared ownership, so state stays alive for a procedure still running while its
// window is destroyed underneath it (a command handler that closes the window, a nested loop).
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/ui/Windows.h"

namespace ui::shell {

template <typename T>
class WindowDataMap {
 public:
  void Set(HWND window, std::shared_ptr<T> data) {
    std::lock_guard<std::mutex> hold(lock_);
    data_[window] = std::move(data);
  }
  std::shared_ptr<T> Find(HWND window) const {
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = data_.find(window);
    return it == data_.end() ? nullptr : it->second;
  }
  void Erase(HWND window) {
    std::shared_ptr<T> last;  // released after the lock
    std::lock_guard<std::mutex> hold(lock_);
    const auto it = data_.find(window);
    if (it == data_.end()) return;
    last = std::move(it->second);
    data_.erase(it);
  }

 private:
  mutable std::mutex lock_;
  std::unordered_map<HWND, std::shared_ptr<T>> data_;
};

}  // namespace ui::shell

// The window system's state for the whole process: one lock over every window, class, queue and
// the z-order, plus the helpers the window calls share. Window procedures are always called with
// the lock released.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/ui/core/MessageQueue.h"
#include "platform/ui/core/Window.h"

// Handles of windows of other processes have this bit (platform/ui/core/InstanceRegistry.h).
constexpr uintptr_t kRemoteHandleBit = 0x40000000;

class WindowSystem {
 public:
  // Started on first use; never destroyed (threads may still use it while the process ends).
  static WindowSystem& Get() {
    static WindowSystem* instance = new WindowSystem();
    return *instance;
  }

  std::mutex lock;

  // ---- Windows by handle (call with the lock held) ----
  // Null for a handle that is not a live local window.
  Window* Find(HWND handle) const {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value < kFirstHandle || (value & 3) != 0) return nullptr;
    const size_t slot = (value - kFirstHandle) / 4;
    return slot < windows_.size() ? windows_[slot].get() : nullptr;
  }
  Window* Add(std::unique_ptr<Window> window);
  void Remove(Window* window);  // detaches it from parent / owner / z-order and frees it
  uintptr_t NextHandle() { return kFirstHandle + 4 * windows_.size(); }
  template <typename F>
  void ForEachWindow(F f) const {
    for (const auto& slot : windows_) {
      if (slot) f(slot.get());
    }
  }
  // Changes whenever a window goes or a procedure is replaced: a procedure looked up under the
  // lock stays valid to call without it while this is unchanged.
  std::atomic<uint64_t> procedureGeneration{0};

  // ---- Classes ----
  std::unordered_map<std::u16string, std::shared_ptr<const WindowClass>> classes;  // key: lower-case name
  ATOM nextAtom = 0xC000;

  // ---- Queues ----
  // The calling thread's queue, made on first use (call without the lock held).
  const std::shared_ptr<MessageQueue>& CurrentQueue();
  // The same queue, without touching its reference count (the hot paths).
  MessageQueue& CurrentQueueRef() {
    MessageQueue* queue = currentQueue_;
    return queue != nullptr ? *queue : *CurrentQueue();
  }
  std::shared_ptr<MessageQueue> QueueOf(DWORD threadId) const;
  void ForgetQueue(DWORD threadId) { queues_.erase(threadId); }
  template <typename F>
  void ForEachQueue(F f) const {
    for (const auto& entry : queues_) f(*entry.second);
  }
  // Wakes a queue's thread if it waits (lock held).
  void Wake(MessageQueue& queue);
  // Sleeps until woken, or for at most `timeoutMs` when that is not negative (lock held on entry
  // and on return).
  void Wait(MessageQueue& queue, std::unique_lock<std::mutex>& held, int64_t timeoutMs = -1);

  // ---- Top-level windows, bottom first ----
  std::vector<Window*> zOrder;
  Window* foreground = nullptr;
  Window* focus = nullptr;
  Window* capture = nullptr;

  // ---- Geometry (lock held) ----
  static RECT ClientInsets(const Window& window);  // left, top, right, bottom thickness of the frame
  static RECT ClientRectOf(const Window& window);  // client coordinates (0, 0, w, h)
  static POINT ClientOriginOnScreen(const Window& window);
  static RECT WindowRectOnScreen(const Window& window);
  static Window* TopLevelOf(Window* window);
  static bool IsVisibleOnScreen(const Window& window);                     // it and every ancestor visible
  static bool IsDescendant(const Window* ancestor, const Window* window);  // or the same
  static POINT OriginInStore(const Window& window);  // window's frame corner in its top-level's store
  // The window's client area in its store's coordinates, cut by every ancestor's client area.
  static RECT VisibleClientInStore(const Window& window);

  // ---- Paint bookkeeping (lock held) ----
  void MarkInvalid(Window& window, const RECT& clientRect, bool erase);
  void MarkValid(Window& window);
  // Invalidates `window` and its visible descendants over `clientRect` (window client coordinates).
  void InvalidateTree(Window& window, const RECT& clientRect, bool erase);

  // Whether the window system has started (the screen, the standard classes).
  bool started = false;

 private:
  WindowSystem() = default;
  // Handles are kFirstHandle + 4 * slot and never reused: a slot is emptied when its window goes.
  // They stay below 0x40000000, where the handles of other processes' windows begin.
  static constexpr uintptr_t kFirstHandle = 0x10000;
  std::vector<std::unique_ptr<Window>> windows_;
  static thread_local MessageQueue* currentQueue_;
  std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues_;
};

// Helpers of rectangles in the window system's code.
inline bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
inline RECT RectIntersect(const RECT& a, const RECT& b) {
  RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top, a.right < b.right ? a.right : b.right,
         a.bottom < b.bottom ? a.bottom : b.bottom};
  if (RectEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}
inline RECT RectUnion(const RECT& a, const RECT& b) {
  if (RectEmpty(a)) return b;
  if (RectEmpty(b)) return a;
  return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
              a.bottom > b.bottom ? a.bottom : b.bottom};
}
inline RECT RectOffset(const RECT& r, int32_t dx, int32_t dy) {
  return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

#include "platform/ui/core/WindowSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "platform/kernel/Thread.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/core/ThreadExit.h"

thread_local MessageQueue* WindowSystem::currentQueue_ = nullptr;

Window* WindowSystem::Add(std::unique_ptr<Window> window) {
  Window* raw = window.get();
  raw->handle = NextHandle();
  windows_.push_back(std::move(window));
  return raw;
}

void WindowSystem::Remove(Window* window) {
  if (window->parent != nullptr) {
    auto& siblings = window->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  } else {
    zOrder.erase(std::remove(zOrder.begin(), zOrder.end(), window), zOrder.end());
  }
  for (Window* child : window->children) child->parent = nullptr;
  ForEachWindow([window](Window* other) {
    if (other->owner == window) other->owner = nullptr;
    if (other->menuBar == window) other->menuBar = nullptr;
    if (other->menuBarOf == window) other->menuBarOf = nullptr;
  });
  if (foreground == window) foreground = nullptr;
  if (focus == window) focus = nullptr;
  if (capture == window) capture = nullptr;
  MarkValid(*window);
  procedureGeneration.fetch_add(1, std::memory_order_release);
  windows_[(window->handle - kFirstHandle) / 4].reset();
}

const std::shared_ptr<MessageQueue>& WindowSystem::CurrentQueue() {
  thread_local std::shared_ptr<MessageQueue> current;
  if (current) return current;
  // First use on this thread: never with the lock held (the callers see to that).
  const DWORD id = GetCurrentThreadId();
  current = std::make_shared<MessageQueue>(id);
  currentQueue_ = current.get();
  std::lock_guard<std::mutex> held(lock);
  queues_[id] = current;
  WatchThreadExit(current);
  return current;
}

std::shared_ptr<MessageQueue> WindowSystem::QueueOf(DWORD threadId) const {
  auto it = queues_.find(threadId);
  return it == queues_.end() ? nullptr : it->second;
}

void WindowSystem::Wake(MessageQueue& queue) {
  if (!queue.waiting || queue.wakePending) return;
  queue.wakePending = true;
  DisplayBackend* backend = CurrentDisplayBackend();
  if (backend != nullptr && backend->EventThreadId() == queue.threadId) {
    backend->Wake();
  } else {
    queue.wakeup.notify_one();
  }
}

void WindowSystem::Wait(MessageQueue& queue, std::unique_lock<std::mutex>& held, int64_t timeoutMs) {
  queue.waiting = true;
  DisplayBackend* backend = CurrentDisplayBackend();
  if (backend != nullptr && backend->EventThreadId() == queue.threadId) {
    held.unlock();
    backend->WaitForEvents(int32_t(std::min<int64_t>(timeoutMs, INT32_MAX)));
    held.lock();
  } else if (timeoutMs >= 0) {
    queue.wakeup.wait_for(held, std::chrono::milliseconds(timeoutMs), [&queue] { return queue.wakePending; });
  } else {
    queue.wakeup.wait(held, [&queue] { return queue.wakePending; });
  }
  queue.waiting = false;
  queue.wakePending = false;
}

RECT WindowSystem::ClientInsets(const Window& window) {
  RECT insets{0, 0, 0, 0};
  if ((window.style & (WS_BORDER | WS_DLGFRAME)) != 0) insets = RECT{1, 1, 1, 1};
  if ((window.style & WS_CAPTION) == WS_CAPTION) insets.top += CaptionHeight();
  return insets;
}

RECT WindowSystem::ClientRectOf(const Window& window) {
  const RECT insets = ClientInsets(window);
  const int32_t width = std::max<int32_t>(0, window.Width() - insets.left - insets.right);
  const int32_t height = std::max<int32_t>(0, window.Height() - insets.top - insets.bottom);
  return RECT{0, 0, width, height};
}

POINT WindowSystem::ClientOriginOnScreen(const Window& window) {
  const RECT frame = WindowRectOnScreen(window);
  const RECT insets = ClientInsets(window);
  return POINT{frame.left + insets.left, frame.top + insets.top};
}

RECT WindowSystem::WindowRectOnScreen(const Window& window) {
  if (window.parent == nullptr) return window.rect;
  const POINT origin = ClientOriginOnScreen(*window.parent);
  return RectOffset(window.rect, origin.x, origin.y);
}

Window* WindowSystem::TopLevelOf(Window* window) {
  while (window != nullptr && window->parent != nullptr) window = window->parent;
  return window;
}

bool WindowSystem::IsVisibleOnScreen(const Window& window) {
  for (const Window* w = &window; w != nullptr; w = w->parent) {
    if (!w->IsVisibleFlag()) return false;
    if (w->parent == nullptr && w->IsChild()) return false;  // a child whose parent is gone
  }
  return true;
}

bool WindowSystem::IsDescendant(const Window* ancestor, const Window* window) {
  for (const Window* w = window; w != nullptr; w = w->parent) {
    if (w == ancestor) return true;
  }
  return false;
}

POINT WindowSystem::OriginInStore(const Window& window) {
  if (window.parent == nullptr) return POINT{0, 0};
  const POINT parentOrigin = OriginInStore(*window.parent);
  const RECT insets = ClientInsets(*window.parent);
  return POINT{parentOrigin.x + insets.left + window.rect.left, parentOrigin.y + insets.top + window.rect.top};
}

RECT WindowSystem::VisibleClientInStore(const Window& window) {
  const POINT origin = OriginInStore(window);
  const RECT insets = ClientInsets(window);
  RECT area = RectOffset(ClientRectOf(window), origin.x + insets.left, origin.y + insets.top);
  for (const Window* up = window.parent; up != nullptr; up = up->parent) {
    const POINT upOrigin = OriginInStore(*up);
    const RECT upInsets = ClientInsets(*up);
    area = RectIntersect(area, RectOffset(ClientRectOf(*up), upOrigin.x + upInsets.left, upOrigin.y + upInsets.top));
  }
  return area;
}

void WindowSystem::MarkInvalid(Window& window, const RECT& clientRect, bool erase) {
  const RECT area = RectIntersect(clientRect, ClientRectOf(window));
  if (RectEmpty(area) && !window.frameDirty) return;
  if (!window.invalid) {
    window.invalid = true;
    window.invalidRect = area;
    if (window.queue) ++window.queue->windowsToPaint;
  } else {
    window.invalidRect = RectUnion(window.invalidRect, area);
  }
  if (erase) window.eraseRequested = true;
  // Also when it was invalid already: it may just have been shown, and only now can it be painted.
  if (window.queue) Wake(*window.queue);
}

void WindowSystem::MarkValid(Window& window) {
  if (!window.invalid) return;
  window.invalid = false;
  window.eraseRequested = false;
  window.invalidRect = RECT{0, 0, 0, 0};
  if (window.queue) --window.queue->windowsToPaint;
}

void WindowSystem::InvalidateTree(Window& window, const RECT& clientRect, bool erase) {
  MarkInvalid(window, clientRect, erase);
  for (Window* child : window.children) {
    if (!child->IsVisibleFlag()) continue;
    // The part of the rectangle over the child, in the child's client coordinates.
    const RECT childInsets = ClientInsets(*child);
    const RECT overChild = RectIntersect(clientRect, child->rect);
    if (RectEmpty(overChild)) continue;
    // The parent's paint may cover the child's frame too.
    if (childInsets.left != 0 || childInsets.top != 0) child->frameDirty = true;
    InvalidateTree(
        *child, RectOffset(overChild, -child->rect.left - childInsets.left, -child->rect.top - childInsets.top), erase);
  }
}

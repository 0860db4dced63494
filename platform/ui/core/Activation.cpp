// The foreground window, z-order of top-level windows, focus and stylus capture.
#include <algorithm>

#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
bool OwnedBy(const Window* owner, const Window* window) {
  for (const Window* w = window; w != nullptr; w = w->owner) {
    if (w == owner) return true;
  }
  return false;
}

// Moves `window` and every window it owns (directly or not) to the top, keeping their order.
RECT BringGroupToTop(WindowSystem& ws, Window* window) {
  std::vector<Window*> group;
  std::vector<Window*> rest;
  for (Window* w : ws.zOrder) (OwnedBy(window, w) ? group : rest).push_back(w);
  RECT moved{};
  for (Window* w : group) {
    if (w->IsVisibleFlag()) moved = RectUnion(moved, w->rect);
  }
  rest.insert(rest.end(), group.begin(), group.end());
  ws.zOrder = std::move(rest);
  return moved;
}
}  // namespace

bool CanActivate(const Window& window) {
  return window.parent == nullptr && !window.destroying && (window.exStyle & WS_EX_NOACTIVATE) == 0 &&
         window.menuBarOf == nullptr;
}

void ActivateWindow(HWND handle, bool lastOwned) {
  WindowSystem& ws = WindowSystem::Get();
  HWND previous = nullptr;
  HWND next = nullptr;
  RECT damage{};
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr) return;
    window = WindowSystem::TopLevelOf(window);
    Window* root = window;
    while (root->owner != nullptr) root = root->owner;
    damage = BringGroupToTop(ws, root);
    if (root != window) damage = RectUnion(damage, BringGroupToTop(ws, window));
    Window* target = window;
    if (lastOwned) {
      for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
        Window* w = *it;
        if (OwnedBy(window, w) && w->IsVisibleFlag() && w->IsEnabledFlag() && CanActivate(*w)) {
          target = w;
          break;
        }
      }
    }
    if (!CanActivate(*target)) target = nullptr;
    if (target != nullptr && ws.foreground != target) {
      previous = ToHandle(ws.foreground);
      ws.foreground = target;
      next = ToHandle(target);
    }
  }
  DamageScreen(damage);
  if (next == nullptr) return;
  DamageScreen(RECT{0, 0, Compositor::Get().Width(), 1});  // the task bar shows the new title
  if (DisplayBackend* backend = CurrentDisplayBackend()) backend->Raise();
  if (previous != nullptr)
    SendMessageW(previous, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(next));
  SendMessageW(next, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(previous));
}

void ActivateNextWindow(HWND leaving) {
  WindowSystem& ws = WindowSystem::Get();
  HWND next = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* gone = ws.Find(leaving);
    if (ws.foreground != nullptr && ws.foreground != gone &&
        !(gone && WindowSystem::IsDescendant(gone, ws.foreground))) {
      return;  // something else is already in front
    }
    if (gone != nullptr && ws.foreground != nullptr) ws.foreground = nullptr;
    Window* owner = gone != nullptr ? gone->owner : nullptr;
    if (owner != nullptr && owner->IsVisibleFlag() && CanActivate(*owner)) {
      next = ToHandle(owner);
    } else {
      for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
        Window* w = *it;
        if (w != gone && w->IsVisibleFlag() && w->IsEnabledFlag() && CanActivate(*w)) {
          next = ToHandle(w);
          break;
        }
      }
    }
  }
  if (next != nullptr) {
    ActivateWindow(next, false);
  } else {
    DamageScreen(RECT{0, 0, Compositor::Get().Width(), 1});  // the task bar goes blank
  }
}

BOOL SetForegroundWindow(HWND handle) {
  if (IsRemoteWindowHandle(handle)) return BringRemoteWindowForward(handle) ? TRUE : FALSE;
  const bool lastOwned = (reinterpret_cast<uintptr_t>(handle) & 1) != 0;
  HWND window = reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(handle) & ~uintptr_t(1));
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  ActivateWindow(window, lastOwned);
  return TRUE;
}

HWND GetForegroundWindow() {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  return ToHandle(ws.foreground);
}

HWND SetFocus(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  HWND previous = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = nullptr;
    if (handle != nullptr) {
      window = LookUpWindow(ws, handle);
      if (window == nullptr) return nullptr;
    }
    previous = ToHandle(ws.focus);
    if (ws.focus == window) return previous;
    ws.focus = window;
  }
  if (previous != nullptr) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
  if (handle != nullptr) SendMessageW(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  return ToHandle(ws.focus);
}

HWND DropCaptureWithin(WindowSystem& ws, Window* window) {
  if (ws.capture == nullptr || !WindowSystem::IsDescendant(window, ws.capture)) return nullptr;
  HWND lost = ToHandle(ws.capture);
  ws.capture = nullptr;
  return lost;
}

void NotifyCaptureLost(HWND lost, HWND taker) {
  if (lost != nullptr) SendMessageW(lost, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(taker));
}

HWND SetCapture(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  HWND previous = nullptr;
  bool taken = false;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    previous = ToHandle(ws.capture);
    Window* window = LookUpWindow(ws, handle);
    if (window != nullptr) {
      ws.capture = window;
      taken = true;
    }
  }
  if (taken && previous != handle) NotifyCaptureLost(previous, handle);
  return previous;
}

BOOL ReleaseCapture() {
  WindowSystem& ws = WindowSystem::Get();
  HWND previous = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    previous = ToHandle(ws.capture);
    ws.capture = nullptr;
  }
  NotifyCaptureLost(previous, nullptr);
  return TRUE;
}

HWND GetCapture() {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  return ToHandle(ws.capture);
}

BOOL SetWindowDoneButton(HWND handle, BOOL show) {
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr || window->parent != nullptr) return FALSE;
    window->doneButton = show != FALSE;
  }
  DamageScreen(RECT{0, 0, Compositor::Get().Width(), 1});
  return TRUE;
}

BOOL HasWindowDoneButton(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  return window != nullptr && window->doneButton ? TRUE : FALSE;
}

BOOL SetWindowMenuBar(HWND handle, HWND menuBar) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return FALSE;
  if (window->menuBar != nullptr) window->menuBar->menuBarOf = nullptr;
  window->menuBar = nullptr;
  if (menuBar == nullptr) return TRUE;
  Window* bar = LookUpWindow(ws, menuBar);
  if (bar == nullptr || bar->parent != nullptr) return FALSE;
  bar->owner = window;
  bar->menuBarOf = window;
  window->menuBar = bar;
  if (ws.foreground == bar) ws.foreground = window;
  return TRUE;
}

HWND GetWindowMenuBar(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  return window != nullptr ? ToHandle(window->menuBar) : nullptr;
}

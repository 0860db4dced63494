// Where windows are and whether they show: rectangles, moving, showing and hiding.
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/WindowCalls.h"

namespace {

// Runs `read` on the live window under the window system's lock; FALSE (with the last error the
// look-up set) for a window that is not live.
template <typename Read>
BOOL WithWindow(HWND handle, Read read) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return FALSE;
  read(*window);
  return TRUE;
}

// Moves `point` by the client origin on the screen, times `sign` (+1: client to screen).
BOOL OffsetByClientOrigin(HWND handle, POINT* point, int sign) {
  if (point == nullptr) return FALSE;
  return WithWindow(handle, [&](const Window& window) {
    const POINT origin = WindowSystem::ClientOriginOnScreen(window);
    point->x += sign * origin.x;
    point->y += sign * origin.y;
  });
}

}  // namespace

BOOL GetWindowRect(HWND handle, RECT* rect) {
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return WithWindow(handle, [&](const Window& window) { *rect = WindowSystem::WindowRectOnScreen(window); });
}

BOOL GetClientRect(HWND handle, RECT* rect) {
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return WithWindow(handle, [&](const Window& window) { *rect = WindowSystem::ClientRectOf(window); });
}

BOOL ClientToScreen(HWND handle, POINT* point) { return OffsetByClientOrigin(handle, point, +1); }

BOOL ScreenToClient(HWND handle, POINT* point) { return OffsetByClientOrigin(handle, point, -1); }

BOOL IsWindowVisible(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  return window != nullptr && WindowSystem::IsVisibleOnScreen(*window) ? TRUE : FALSE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  WindowSystem& ws = WindowSystem::Get();
  RECT damage{};
  RECT client{};
  bool resized = false;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return FALSE;
    if (window->parent == nullptr) {
      width = BackingStore::LimitSide(width);
      height = BackingStore::LimitSide(height);
    }
    const RECT before = WindowSystem::WindowRectOnScreen(*window);
    const RECT oldRect = window->rect;
    const RECT next{x, y, x + width, y + height};
    resized = next.right - next.left != oldRect.right - oldRect.left ||
              next.bottom - next.top != oldRect.bottom - oldRect.top;
    window->rect = next;
    const bool shown = WindowSystem::IsVisibleOnScreen(*window);
    if (window->parent == nullptr) {
      if (resized) {
        window->store = std::make_shared<BackingStore>(width, height);
        window->frameDirty = true;
        ws.InvalidateTree(*window, WindowSystem::ClientRectOf(*window), true);
      }
      if (shown) damage = RectUnion(before, WindowSystem::WindowRectOnScreen(*window));
    } else if (shown || repaint) {
      // What the window covered is drawn again by its parent; the window draws itself where it now is.
      ws.InvalidateTree(*window->parent, oldRect, true);
      window->frameDirty = true;
      ws.InvalidateTree(*window, WindowSystem::ClientRectOf(*window), true);
    }
    client = WindowSystem::ClientRectOf(*window);
  }
  DamageScreen(damage);
  SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(WORD(x), WORD(y)));
  if (resized) SendMessageW(handle, WM_SIZE, 0, MAKELPARAM(WORD(client.right), WORD(client.bottom)));
  return TRUE;
}

BOOL ShowWindow(HWND handle, int showCommand) {
  const bool show = showCommand != SW_HIDE;
  WindowSystem& ws = WindowSystem::Get();
  RECT damage{};
  bool wasVisible = false;
  bool activate = false;
  bool deactivated = false;
  HWND lostCapture = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return FALSE;
    wasVisible = window->IsVisibleFlag();
    if (wasVisible == show) return wasVisible ? TRUE : FALSE;
    if (show) {
      window->style |= WS_VISIBLE;
      window->frameDirty = true;
      ws.InvalidateTree(*window, WindowSystem::ClientRectOf(*window), true);
      activate = window->parent == nullptr && CanActivate(*window);
    } else {
      if (window->parent != nullptr) ws.InvalidateTree(*window->parent, window->rect, true);
      if (ws.foreground != nullptr && WindowSystem::IsDescendant(window, ws.foreground)) deactivated = true;
      lostCapture = DropCaptureWithin(ws, window);
      window->style &= ~WS_VISIBLE;
    }
    if (window->parent == nullptr || WindowSystem::IsVisibleOnScreen(*window->parent)) {
      damage = WindowSystem::WindowRectOnScreen(*window);
    }
  }
  NotifyCaptureLost(lostCapture, nullptr);
  SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  // A top-level window's pixels come with it only once painted; until then the screen keeps what
  // it showed, so damage on showing waits for the first paint.
  if (!show) DamageScreen(damage);
  UpdateInstanceEntry(handle);
  if (activate) ActivateWindow(handle, false);
  if (deactivated) ActivateNextWindow(handle);
  return wasVisible ? TRUE : FALSE;
}

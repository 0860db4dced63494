#include "platform/ui/core/InputRouter.h"

#include <atomic>

#include "platform/kernel/Time.h"
#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
bool stylusDown = false;  // under the window system's lock
// The window the latest stylus-down went to, while the stylus touches (under the lock).
HWND pressWindow = nullptr;

// Whether a `message` for `window` waits in its queue, not yet retrieved.
bool StillQueued(Window* window, UINT message) {
  const HWND handle = ToHandle(window);
  MessageRing& posted = window->queue->posted;
  for (size_t i = 0; i < posted.size(); ++i)
    if (posted[i].hwnd == handle && posted[i].message == message) return true;
  return false;
}

// Input is routed when it arrives, but a window takes the capture only when its thread handles
// the stylus-down. Until then the moves and the lift that follow go where the down went (whoever
// holds the capture now), as if routed when that window's thread reads them: a drag that leaves
// the window at once, before its thread has run, still reaches the window that will capture it.
Window* DownStillQueued(WindowSystem& ws) {
  Window* window = pressWindow != nullptr ? ws.Find(pressWindow) : nullptr;
  if (window == nullptr || window->destroying) return nullptr;
  return StillQueued(window, WM_LBUTTONDOWN) ? window : nullptr;
}

void NoteStylus(int32_t x, int32_t y) {
  lastStylusPosition.store(int64_t((uint64_t(uint32_t(x)) << 32) | uint32_t(y)), std::memory_order_relaxed);
}

// The deepest shown child of `window` at screen point (x, y), or the window itself.
Window* HitChild(Window* window, int32_t x, int32_t y) {
  for (auto it = window->children.rbegin(); it != window->children.rend(); ++it) {
    Window* child = *it;
    if (!child->IsVisibleFlag()) continue;
    const RECT r = WindowSystem::WindowRectOnScreen(*child);
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return HitChild(child, x, y);
  }
  return window;
}

Window* HitTest(WindowSystem& ws, int32_t x, int32_t y) {
  for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
    Window* top = *it;
    if (!top->IsVisibleFlag()) continue;
    const RECT& r = top->rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return HitChild(top, x, y);
  }
  return nullptr;
}

bool EnabledChain(const Window* window) {
  for (const Window* w = window; w != nullptr; w = w->parent) {
    if (!w->IsEnabledFlag()) return false;
  }
  return true;
}

void PostStylus(UINT message, int32_t x, int32_t y) {
  WindowSystem& ws = WindowSystem::Get();
  NoteStylus(x, y);
  HWND activate = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    if (message == WM_LBUTTONDOWN) stylusDown = true;
    if (message == WM_MOUSEMOVE && !stylusDown) return;  // a stylus moves only while it touches
    if (message == WM_LBUTTONUP) {
      if (!stylusDown) return;
      stylusDown = false;
    }
    Window* target = message == WM_LBUTTONDOWN ? nullptr : DownStillQueued(ws);
    if (target == nullptr) target = ws.capture;
    // A down that comes while the capture holder's lift is still in its queue is routed as if that
    // lift had been handled: the holder releases the stylus on the lift, so two quick taps on two
    // buttons reach one each, whenever the thread holding the capture gets to run.
    if (target != nullptr && message == WM_LBUTTONDOWN && StillQueued(target, WM_LBUTTONUP)) target = nullptr;
    if (message == WM_LBUTTONUP || message == WM_LBUTTONDOWN) pressWindow = nullptr;
    if (target == nullptr) {
      if (y < TaskBarHeight()) {
        if (message != WM_LBUTTONDOWN) return;
        const RECT ok = Compositor::Get().OkButtonRect();
        if (ws.foreground != nullptr && ws.foreground->doneButton && x >= ok.left && x < ok.right && y >= ok.top &&
            y < ok.bottom) {
          Window* fg = ws.foreground;
          fg->queue->posted.push_back(
              MSG{ToHandle(fg), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, GetTickCount(), POINT{x, y}});
          ws.Wake(*fg->queue);
        }
        return;
      }
      target = HitTest(ws, x, y);
      if (target == nullptr || !EnabledChain(target)) return;
      Window* top = WindowSystem::TopLevelOf(target);
      if (message == WM_LBUTTONDOWN && ws.foreground != top && CanActivate(*top)) activate = ToHandle(top);
    }
    if (message == WM_LBUTTONDOWN) pressWindow = ToHandle(target);
    const POINT origin = WindowSystem::ClientOriginOnScreen(*target);
    const LPARAM where = MAKELPARAM(WORD(int16_t(x - origin.x)), WORD(int16_t(y - origin.y)));
    const WPARAM buttons = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
    MessageQueue& queue = *target->queue;
    const HWND handle = ToHandle(target);
    // Moves not yet retrieved are merged into the newest, as the platform does.
    if (message == WM_MOUSEMOVE && !queue.posted.empty() && queue.posted.back().message == WM_MOUSEMOVE &&
        queue.posted.back().hwnd == handle) {
      queue.posted.back().lParam = where;
      queue.posted.back().pt = POINT{x, y};
      queue.posted.back().time = GetTickCount();
    } else {
      queue.posted.push_back(MSG{handle, message, buttons, where, GetTickCount(), POINT{x, y}});
    }
    ws.Wake(queue);
  }
  if (activate != nullptr) ActivateWindow(activate, false);
}
}  // namespace

void RouteStylusDown(int32_t x, int32_t y) { PostStylus(WM_LBUTTONDOWN, x, y); }
void RouteStylusMove(int32_t x, int32_t y) { PostStylus(WM_MOUSEMOVE, x, y); }
void RouteStylusUp(int32_t x, int32_t y) { PostStylus(WM_LBUTTONUP, x, y); }

void RouteKey(WORD virtualKey, bool down) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* target = ws.focus != nullptr ? ws.focus : ws.foreground;
  if (target == nullptr) return;
  const LPARAM flags = down ? 1 : LPARAM(0xC0000001);
  target->queue->posted.push_back(
      MSG{ToHandle(target), down ? WM_KEYDOWN : WM_KEYUP, virtualKey, flags, GetTickCount(), StylusPosition()});
  ws.Wake(*target->queue);
}

void RouteWheel(int32_t x, int32_t y, int32_t delta) {
  if (delta == 0) return;
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* target = ws.capture != nullptr ? ws.capture : HitTest(ws, x, y);
  if (target == nullptr || !EnabledChain(target)) return;
  const int32_t clamped = delta > 32767 ? 32767 : delta < -32768 ? -32768 : delta;
  const WPARAM first = MAKEWPARAM(stylusDown ? WORD(MK_LBUTTON) : WORD(0), WORD(int16_t(clamped)));
  const LPARAM where = MAKELPARAM(WORD(int16_t(x)), WORD(int16_t(y)));
  target->queue->posted.push_back(MSG{ToHandle(target), WM_MOUSEWHEEL, first, where, GetTickCount(), POINT{x, y}});
  ws.Wake(*target->queue);
}

void CloseProgramWindows() {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  for (Window* window : ws.zOrder) {
    if (window->owner != nullptr || !window->IsVisibleFlag() || window->destroying) continue;
    window->queue->posted.push_back(MSG{ToHandle(window), WM_CLOSE, 0, 0, GetTickCount(), StylusPosition()});
    ws.Wake(*window->queue);
  }
}

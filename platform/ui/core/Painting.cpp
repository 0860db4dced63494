// Invalidation and painting: BeginPaint / EndPaint and GetDC / ReleaseDC give contexts that draw
// into the window's top-level pixels, clipped to its client area; ending them brings the drawn
// area onto the screen.
#include <unordered_map>

#include "platform/gfx/SurfaceDC.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/WindowCalls.h"
#include "platform/ui/core/WindowFrame.h"

namespace {
// A context handed out by BeginPaint or GetDC, until EndPaint or ReleaseDC.
struct OpenContext {
  std::shared_ptr<BackingStore> store;
  RECT screenArea;  // what drawing may have changed, screen coordinates
};
thread_local std::unordered_map<HDC, OpenContext> openContexts;

// Opens a context on the window's client area. `paint`: take the invalid area (validating the
// window), draw a pending frame, and report what to paint and whether to erase.
HDC OpenWindowContext(HWND handle, bool paint, RECT* paintRect, bool* erase) {
  WindowSystem& ws = WindowSystem::Get();
  std::shared_ptr<BackingStore> store;
  RECT clip{};
  POINT origin{};
  RECT frame{};
  RECT frameClip{};
  bool drawFrame = false;
  DWORD style = 0;
  std::u16string title;
  POINT storeOnScreen{};
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return nullptr;
    Window* top = WindowSystem::TopLevelOf(window);
    store = top->store;
    if (!store) return nullptr;
    storeOnScreen = POINT{top->rect.left, top->rect.top};
    const RECT insets = WindowSystem::ClientInsets(*window);
    const POINT corner = WindowSystem::OriginInStore(*window);
    origin = POINT{corner.x + insets.left, corner.y + insets.top};
    const bool shown = window->parent == nullptr || WindowSystem::IsVisibleOnScreen(*window);
    clip = shown ? WindowSystem::VisibleClientInStore(*window) : RECT{0, 0, 0, 0};
    if (paint) {
      *paintRect = window->invalid ? window->invalidRect : RECT{0, 0, 0, 0};
      *erase = window->eraseRequested;
      ws.MarkValid(*window);
      clip = RectIntersect(clip, RectOffset(*paintRect, origin.x, origin.y));
      if (window->frameDirty && shown) {
        window->frameDirty = false;
        drawFrame = true;
        style = window->style;
        title = window->text;
        frame = RECT{corner.x, corner.y, corner.x + window->Width(), corner.y + window->Height()};
        frameClip = window->parent == nullptr
                        ? frame
                        : RectIntersect(frame, WindowSystem::VisibleClientInStore(*window->parent));
      }
    }
  }
  store->drawing.lock();
  if (drawFrame)
    DrawWindowFrame(store->Surface(), frame, RectIntersect(frameClip, RECT{0, 0, store->width, store->height}), style,
                    title);
  clip = RectIntersect(clip, RECT{0, 0, store->width, store->height});
  HDC dc = CreateSurfaceDC(store->Surface(), origin.x, origin.y, clip);
  if (dc == nullptr) {
    store->drawing.unlock();
    return nullptr;
  }
  RECT changed = RectUnion(clip, drawFrame ? frameClip : RECT{0, 0, 0, 0});
  openContexts[dc] = OpenContext{store, RectOffset(changed, storeOnScreen.x, storeOnScreen.y)};
  return dc;
}

BOOL CloseWindowContext(HDC dc) {
  auto it = openContexts.find(dc);
  if (it == openContexts.end()) return FALSE;
  OpenContext context = it->second;
  openContexts.erase(it);
  DeleteDC(dc);
  context.store->drawing.unlock();
  // The store may have moved on the screen meanwhile; it is drawn where it is now.
  DamageScreen(context.screenArea);
  return TRUE;
}
}  // namespace

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return FALSE;
  ws.InvalidateTree(*window, rect != nullptr ? *rect : WindowSystem::ClientRectOf(*window), erase != FALSE);
  return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT* rect) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return FALSE;
  if (rect == nullptr) {
    ws.MarkValid(*window);
    return TRUE;
  }
  const RECT& invalid = window->invalidRect;
  if (rect->left <= invalid.left && rect->top <= invalid.top && rect->right >= invalid.right &&
      rect->bottom >= invalid.bottom) {
    ws.MarkValid(*window);
  }
  return TRUE;
}

BOOL UpdateWindow(HWND handle) {
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return FALSE;
    if (!window->invalid || !WindowSystem::IsVisibleOnScreen(*window)) return TRUE;
  }
  SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND handle, PAINTSTRUCT* paint) {
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  RECT paintRect{};
  bool erase = false;
  HDC dc = OpenWindowContext(handle, true, &paintRect, &erase);
  if (dc == nullptr) return nullptr;
  paint->hdc = dc;
  paint->rcPaint = paintRect;
  paint->fErase = TRUE;
  if (erase) paint->fErase = SendMessageW(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? TRUE : FALSE;
  else paint->fErase = FALSE;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  return CloseWindowContext(paint->hdc);
}

HDC GetDC(HWND handle) { return OpenWindowContext(handle, false, nullptr, nullptr); }

int ReleaseDC(HWND, HDC dc) { return CloseWindowContext(dc) ? 1 : 0; }

void DamageScreen(const RECT& rect) {
  if (RectEmpty(rect)) return;
  Compositor::Get().Damage(rect);
}

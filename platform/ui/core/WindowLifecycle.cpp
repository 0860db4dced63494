// Creating and destroying windows.
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/kernel/Thread.h"
#include "platform/kernel/WideText.h"
#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
constexpr DWORD kErrorAccessDenied = 5;

std::shared_ptr<const WindowClass> FindClass(WindowSystem& ws, LPCWSTR className) {
  if (className == nullptr) return nullptr;
  if (IS_INTRESOURCE(className)) {
    const ATOM atom = ATOM(reinterpret_cast<uintptr_t>(className));
    for (const auto& entry : ws.classes) {
      if (entry.second->atom == atom) return entry.second;
    }
    return nullptr;
  }
  std::u16string key(className);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  }
  auto it = ws.classes.find(key);
  return it == ws.classes.end() ? nullptr : it->second;
}

std::u16string LowerCase(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  }
  return text;
}

// Tests only (ORVAN_FAIL_WINDOW_CLASS): windows of this class cannot be created, as on a device that
// is out of memory, so that a program's handling of that failure can be exercised from outside it.
bool CreationRefused(LPCWSTR className) {
  static const std::u16string refused = [] {
    const char* name = std::getenv("ORVAN_FAIL_WINDOW_CLASS");
    return name == nullptr ? std::u16string() : LowerCase(Utf8ToUtf16(name));
  }();
  return !refused.empty() && className != nullptr && !IS_INTRESOURCE(className) &&
         LowerCase(std::u16string(className)) == refused;
}

void PlaceTopLevel(int* x, int* y, int* width, int* height) {
  const RECT work = WorkArea();
  if (*x == CW_USEDEFAULT) {
    *x = work.left;
    *y = work.top;
  }
  if (*width == CW_USEDEFAULT) {
    *width = work.right - work.left;
    *height = work.bottom - work.top;
  }
}

// Sends WM_DESTROY to the window and then to each of its children, depth first.
void SendDestroyTree(HWND handle) {
  SendMessageW(handle, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr) return;
    for (Window* child : window->children) children.push_back(ToHandle(child));
  }
  for (HWND child : children) SendDestroyTree(child);
}

void RemoveTree(WindowSystem& ws, Window* window) {
  while (!window->children.empty()) RemoveTree(ws, window->children.back());
  ws.Remove(window);
}
}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  if (!EnsureDeviceScreen()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (CreationRefused(className)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  WindowSystem& ws = WindowSystem::Get();
  const bool child = (style & WS_CHILD) != 0;
  if (!child) {
    PlaceTopLevel(&x, &y, &width, &height);
    width = BackingStore::LimitSide(width);
    height = BackingStore::LimitSide(height);
  }
  if (child && x == CW_USEDEFAULT) x = y = 0;
  if (child && width == CW_USEDEFAULT) width = height = 0;
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  const bool showAfterCreate = (style & WS_VISIBLE) != 0;
  HWND handle = nullptr;
  const std::shared_ptr<MessageQueue>& queue = ws.CurrentQueue();
  {
    std::unique_lock<std::mutex> held(ws.lock);
    auto windowClass = FindClass(ws, className);
    if (!windowClass) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    Window* parentWindow = nullptr;
    if (parent != nullptr) {
      parentWindow = ws.Find(parent);
      if (parentWindow == nullptr || parentWindow->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
      }
    } else if (child) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (ws.NextHandle() >= kRemoteHandleBit) {  // every local handle value has been used
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    auto window = std::make_unique<Window>();
    window->windowClass = windowClass;
    window->procedure = windowClass->procedure;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->id = child ? int(reinterpret_cast<intptr_t>(menuOrId)) : 0;
    window->extraBytes.assign(size_t(windowClass->extraWindowBytes + int(sizeof(intptr_t)) - 1) / sizeof(intptr_t), 0);
    window->rect = RECT{x, y, x + width, y + height};
    if (windowName != nullptr && !IS_INTRESOURCE(windowName)) window->text = windowName;
    window->queue = queue;
    window->doneButton = (exStyle & WS_EX_CAPTIONOKBTN) != 0;
    if (child) {
      window->parent = parentWindow;
    } else {
      window->owner = WindowSystem::TopLevelOf(parentWindow);
      window->store = std::make_shared<BackingStore>(width, height);
    }
    Window* added = ws.Add(std::move(window));  // gives it its handle
    if (child) {
      parentWindow->children.push_back(added);
    } else {
      ws.zOrder.push_back(added);
    }
    handle = ToHandle(added);
  }

  CREATESTRUCTW create{param, instance, menuOrId,    parent,     height,    width,
                       y,     x,        LONG(style), windowName, className, exStyle};
  if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  RECT client{};
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr) return nullptr;  // destroyed while it was being created
    window->created = true;
    client = WindowSystem::ClientRectOf(*window);
  }
  SendMessageW(handle, WM_SIZE, 0, MAKELPARAM(WORD(client.right), WORD(client.bottom)));
  SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(WORD(x), WORD(y)));
  if (showAfterCreate) ShowWindow(handle, SW_SHOW);
  return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::vector<HWND> owned;
  bool closingProgram = false;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return FALSE;
    if (window->queue && window->queue->threadId != GetCurrentThreadId()) {
      SetLastError(kErrorAccessDenied);
      return FALSE;
    }
    if (window->destroying) return FALSE;
    closingProgram = window->parent == nullptr && window->owner == nullptr && window->IsVisibleFlag();
    ws.ForEachWindow([&](Window* other) {
      if (other->owner == window && other->parent == nullptr) owned.push_back(ToHandle(other));
    });
  }
  if (closingProgram) NotifyProgramWindowClosing();
  // Windows it owns go first (those of other threads are left to their threads; they lose the owner).
  for (HWND ownedWindow : owned) DestroyWindow(ownedWindow);

  // The window holding the capture in the tree that goes is told first, while it still works.
  HWND lostCapture = nullptr;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window != nullptr && !window->destroying) lostCapture = DropCaptureWithin(ws, window);
  }
  NotifyCaptureLost(lostCapture, nullptr);

  RECT damage{};
  bool wasForeground = false;
  std::vector<HWND> departed;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr || window->destroying) return window != nullptr ? FALSE : TRUE;
    std::function<void(Window*)> mark = [&](Window* w) {
      w->destroying = true;
      departed.push_back(ToHandle(w));
      if (ws.capture == w) ws.capture = nullptr;  // taken again by a capture-changed handler
      if (ws.focus == w) ws.focus = nullptr;
      if (ws.foreground == w) wasForeground = true;
      for (Window* c : w->children) mark(c);
    };
    mark(window);
    if (window->IsVisibleFlag() && WindowSystem::IsVisibleOnScreen(*window)) {
      damage = WindowSystem::WindowRectOnScreen(*window);
      if (window->parent != nullptr) ws.InvalidateTree(*window->parent, window->rect, true);
    }
    window->style &= ~WS_VISIBLE;
  }
  DamageScreen(damage);
  SendDestroyTree(handle);
  {
    std::lock_guard<std::mutex> held(ws.lock);
    if (Window* window = ws.Find(handle)) {
      if (ws.foreground != nullptr && WindowSystem::IsDescendant(window, ws.foreground)) wasForeground = true;
      RemoveTree(ws, window);
    }
    // A thread waiting for messages of a window that is gone ends its wait (with -1).
    ws.ForEachQueue([&ws](MessageQueue& queue) { ws.Wake(queue); });
  }
  for (HWND gone : departed) WithdrawInstanceEntry(gone);
  if (wasForeground) ActivateNextWindow(handle);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  if (IsRemoteWindowHandle(handle)) return IsRemoteWindowLive(handle) ? TRUE : FALSE;
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  return ws.Find(handle) != nullptr ? TRUE : FALSE;
}

Window* LookUpWindow(WindowSystem& ws, HWND handle) {
  Window* window = ws.Find(handle);
  if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

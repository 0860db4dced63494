// A window's title, identifiers, styles, stored values, parent and enabled state.
#include "platform/kernel/WideText.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/WindowCalls.h"

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window) || IsRemoteWindowHandle(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  if (IsRemoteWindowHandle(window) || !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return int(SendMessageW(window, WM_GETTEXT, WPARAM(capacity), reinterpret_cast<LPARAM>(buffer)));
}

void ApplyWindowText(HWND handle, const char16_t* text) {
  WindowSystem& ws = WindowSystem::Get();
  RECT damage{};
  {
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr) return;
    window->text = text != nullptr ? text : u"";
    if ((window->style & WS_CAPTION) == WS_CAPTION) {
      window->frameDirty = true;
      ws.MarkInvalid(*window, RECT{0, 0, 0, 0}, false);
    }
    if (ws.foreground == window) damage = RECT{0, 0, Compositor::Get().Width(), 1};
  }
  DamageScreen(damage);  // the task bar redraws itself when the title it shows changed
  UpdateInstanceEntry(handle);
}

HWND GetParent(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return nullptr;
  return ToHandle(window->parent != nullptr ? window->parent : window->owner);
}

HWND GetWindowOwner(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  return window != nullptr ? ToHandle(window->owner) : nullptr;
}

HWND GetDlgItem(HWND dialog, int id) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, dialog);
  if (window == nullptr) return nullptr;
  for (Window* child : window->children) {
    if (child->id == id) return ToHandle(child);
  }
  return nullptr;
}

int GetDlgCtrlID(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  return window != nullptr ? window->id : 0;
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  bool wasDisabled = false;
  HWND lostCapture = nullptr;
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = LookUpWindow(ws, handle);
    if (window == nullptr) return FALSE;
    wasDisabled = !window->IsEnabledFlag();
    if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
    if (enable) {
      window->style &= ~WS_DISABLED;
    } else {
      window->style |= WS_DISABLED;
      lostCapture = DropCaptureWithin(ws, window);
    }
  }
  NotifyCaptureLost(lostCapture, nullptr);
  SendMessageW(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  return window != nullptr && window->IsEnabledFlag() ? TRUE : FALSE;
}

intptr_t GetWindowLongPtrW(HWND handle, int index) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return 0;
  switch (index) {
    case GWL_STYLE: return intptr_t(window->style);
    case GWL_EXSTYLE: return intptr_t(window->exStyle);
    case GWL_ID: return window->id;
    case GWL_USERDATA: return window->userData;
    case GWL_WNDPROC: return reinterpret_cast<intptr_t>(window->procedure);
    default: break;
  }
  if (index >= 0 && index % int(sizeof(intptr_t)) == 0 &&
      size_t(index) / sizeof(intptr_t) < window->extraBytes.size()) {
    return window->extraBytes[size_t(index) / sizeof(intptr_t)];
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

intptr_t SetWindowLongPtrW(HWND handle, int index, intptr_t value) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return 0;
  intptr_t previous = 0;
  switch (index) {
    case GWL_STYLE:
      previous = intptr_t(window->style);
      // Visibility changes through ShowWindow; the rest of the style is taken as given.
      window->style = (DWORD(value) & ~WS_VISIBLE) | (window->style & WS_VISIBLE);
      window->frameDirty = true;
      return previous;
    case GWL_EXSTYLE:
      previous = intptr_t(window->exStyle);
      window->exStyle = DWORD(value);
      return previous;
    case GWL_ID:
      previous = window->id;
      window->id = int(value);
      return previous;
    case GWL_USERDATA:
      previous = window->userData;
      window->userData = value;
      return previous;
    case GWL_WNDPROC:
      if (value == 0) break;
      previous = reinterpret_cast<intptr_t>(window->procedure);
      window->procedure = reinterpret_cast<WNDPROC>(value);
      ws.procedureGeneration.fetch_add(1, std::memory_order_release);
      return previous;
    default:
      if (index >= 0 && index % int(sizeof(intptr_t)) == 0 &&
          size_t(index) / sizeof(intptr_t) < window->extraBytes.size()) {
        intptr_t& slot = window->extraBytes[size_t(index) / sizeof(intptr_t)];
        previous = slot;
        slot = value;
        return previous;
      }
      break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

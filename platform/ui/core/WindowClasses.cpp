// Window classes: registered per process by name (compared without ASCII case).
#include <algorithm>

#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/WindowSystem.h"

namespace {
std::u16string ClassKey(const char16_t* name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  }
  return key;
}
}  // namespace

bool SameClassName(const std::u16string& a, const char16_t* b) { return ClassKey(a.c_str()) == ClassKey(b); }

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
      IS_INTRESOURCE(windowClass->lpszClassName) || windowClass->lpszClassName[0] == 0 || windowClass->cbWndExtra < 0 ||
      windowClass->cbWndExtra > 4096) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  EnsureDeviceScreen();
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  const std::u16string key = ClassKey(windowClass->lpszClassName);
  if (ws.classes.count(key) != 0) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto entry = std::make_shared<WindowClass>();
  entry->name = windowClass->lpszClassName;
  entry->style = windowClass->style;
  entry->procedure = windowClass->lpfnWndProc;
  entry->extraWindowBytes = windowClass->cbWndExtra;
  entry->instance = windowClass->hInstance;
  entry->icon = windowClass->hIcon;
  entry->cursor = windowClass->hCursor;
  entry->background = windowClass->hbrBackground;
  entry->atom = ws.nextAtom++;
  ws.classes[key] = entry;
  return entry->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  if (className == nullptr || IS_INTRESOURCE(className)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  if (ws.classes.erase(ClassKey(className)) == 0) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
  }
  return TRUE;
}

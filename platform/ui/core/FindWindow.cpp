// FindWindowW: a visible top-level window by class and title, in this process first, then in the
// other processes of the user.
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/WindowCalls.h"

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if (className != nullptr && IS_INTRESOURCE(className)) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);  // class atoms are not looked up by name here
    return nullptr;
  }
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
      Window* window = *it;
      if (!window->IsVisibleFlag() || window->destroying) continue;
      if (className != nullptr && !SameClassName(window->windowClass->name, className)) continue;
      if (windowName != nullptr && window->text != windowName) continue;
      return ToHandle(window);
    }
  }
  return FindRemoteWindow(className, windowName);
}

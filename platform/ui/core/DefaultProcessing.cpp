// DefWindowProcW: what a window does with the messages its procedure passes on.
#include <algorithm>

#include "platform/ui/core/WindowCalls.h"

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_CLOSE: DestroyWindow(handle); return 0;
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      RECT client{};
      {
        WindowSystem& ws = WindowSystem::Get();
        std::lock_guard<std::mutex> held(ws.lock);
        Window* window = ws.Find(handle);
        if (window == nullptr) return 0;
        brush = window->windowClass->background;
        client = WindowSystem::ClientRectOf(*window);
      }
      if (brush == nullptr) return 0;
      FillRect(reinterpret_cast<HDC>(first), &client, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (BeginPaint(handle, &paint) != nullptr) EndPaint(handle, &paint);
      return 0;
    }
    case WM_SETTEXT: ApplyWindowText(handle, reinterpret_cast<const char16_t*>(second)); return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      std::u16string text;
      {
        WindowSystem& ws = WindowSystem::Get();
        std::lock_guard<std::mutex> held(ws.lock);
        Window* window = ws.Find(handle);
        if (window == nullptr) return 0;
        text = window->text;
      }
      if (message == WM_GETTEXTLENGTH) return LRESULT(text.size());
      auto* buffer = reinterpret_cast<char16_t*>(second);
      const size_t capacity = size_t(first);
      if (buffer == nullptr || capacity == 0) return 0;
      const size_t count = std::min(text.size(), capacity - 1);
      std::copy(text.begin(), text.begin() + ptrdiff_t(count), buffer);
      buffer[count] = 0;
      return LRESULT(count);
    }
    case WM_ACTIVATE:
      if (LOWORD(first) != WA_INACTIVE) {
        HWND focus = GetFocus();
        bool inside = false;
        {
          WindowSystem& ws = WindowSystem::Get();
          std::lock_guard<std::mutex> held(ws.lock);
          Window* window = ws.Find(handle);
          Window* focused = ws.Find(focus);
          inside = window != nullptr && focused != nullptr && WindowSystem::IsDescendant(window, focused);
        }
        if (!inside) SetFocus(handle);
      }
      return 0;
    // A wheel turn a child does not use scrolls its parent.
    case WM_MOUSEWHEEL:
      if ((GetWindowLongPtrW(handle, GWL_STYLE) & WS_CHILD) != 0) {
        if (HWND parent = GetParent(handle)) return SendMessageW(parent, message, first, second);
      }
      return 0;
    default: return 0;
  }
}

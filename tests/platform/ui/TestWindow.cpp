#include "TestWindow.h"

namespace {
LRESULT TestWindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(second);
    SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<intptr_t>(create->lpCreateParams));
  }
  auto* record = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(window, GWL_USERDATA));
  if (record == nullptr) return DefWindowProcW(window, message, first, second);
  {
    std::lock_guard<std::mutex> held(record->lock);
    record->log.push_back({window, message, first, second});
  }
  LRESULT result = 0;
  if (record->hook && record->hook(window, message, first, second, &result)) return result;
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(record->fill);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcW(window, message, first, second);
}
}  // namespace

HWND TestWindow::Create(DWORD style, int x, int y, int width, int height, HWND parent, const char16_t* title,
                        DWORD exStyle) {
  WNDCLASSW registration{};
  registration.lpfnWndProc = TestWindowProc;
  registration.lpszClassName = u"UiTestWindow";
  registration.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassW(&registration);  // fails with ERROR_CLASS_ALREADY_EXISTS after the first time
  handle = CreateWindowExW(exStyle, u"UiTestWindow", title, style, x, y, width, height, parent, nullptr, nullptr, this);
  return handle;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void StartTestScreen() {
  static const bool started = [] {
    DeviceScreenConfig config{"headless", 240, 320, 1};
    return StartDeviceScreenWith(config) != FALSE;
  }();
  (void)started;
}

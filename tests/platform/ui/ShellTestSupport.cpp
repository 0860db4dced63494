#include "tests/platform/ui/ShellTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace shell_test {

namespace {

constexpr const char16_t* kClassName = u"ShellTestCommandWindow";
constexpr const char16_t* kScriptClassName = u"ShellTestInputScript";
constexpr UINT kRunStep = WM_APP + 1;

}  // namespace

void StartHeadlessScreen() {
  static std::once_flag once;
  static BOOL started = FALSE;
  std::call_once(once, [] { started = StartDeviceScreenWith(DeviceScreenConfig{"headless", 240, 320, 1}); });
  ASSERT_TRUE(started);
}

void PumpMessages() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {  // kept for the test that looks for it
      PostQuitMessage(int(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Tap(POINT screen) {
  InjectStylusDown(screen.x, screen.y);
  PumpMessages();
  InjectStylusUp(screen.x, screen.y);
  PumpMessages();
}

POINT CentreOf(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  return POINT{(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
}

CommandWindow::CommandWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);  // already registered by an earlier window: fine
  window_ = CreateWindowExW(0, kClassName, u"Test", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  EXPECT_NE(window_, nullptr);
  PumpMessages();
}

CommandWindow::~CommandWindow() {
  if (IsWindow(window_)) DestroyWindow(window_);
  PumpMessages();
}

LRESULT CommandWindow::Procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    auto* self = static_cast<CommandWindow*>(reinterpret_cast<CREATESTRUCTW*>(second)->lpCreateParams);
    SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<intptr_t>(self));
    return 0;
  }
  auto* self = reinterpret_cast<CommandWindow*>(GetWindowLongPtrW(window, GWL_USERDATA));
  if (message == WM_COMMAND && self != nullptr) {
    self->commands_.push_back(Command{LOWORD(first), HIWORD(first), second});
    return 0;
  }
  return DefWindowProcW(window, message, first, second);
}

InputScript::InputScript(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Procedure;
  windowClass.lpszClassName = kScriptClassName;
  RegisterClassW(&windowClass);
  window_ = CreateWindowExW(0, kScriptClassName, nullptr, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
  EXPECT_NE(window_, nullptr);
}

InputScript::~InputScript() {
  if (IsWindow(window_)) DestroyWindow(window_);
}

void InputScript::Start() { PostMessageW(window_, kRunStep, 0, 0); }

LRESULT InputScript::Procedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    auto* self = static_cast<InputScript*>(reinterpret_cast<CREATESTRUCTW*>(second)->lpCreateParams);
    SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<intptr_t>(self));
    return 0;
  }
  auto* self = reinterpret_cast<InputScript*>(GetWindowLongPtrW(window, GWL_USERDATA));
  if (message == kRunStep && self != nullptr && !self->Finished()) {
    self->steps_[self->next_++]();
    if (!self->Finished()) PostMessageW(window, kRunStep, 0, 0);
    return 0;
  }
  return DefWindowProcW(window, message, first, second);
}

}  // namespace shell_test

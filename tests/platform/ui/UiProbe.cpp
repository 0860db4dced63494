// A small program the window system's tests run as a separate process:
//   ui_probe show             one red window titled "Probe" under RunProgram (ends by ORVAN_RUN_MS)
//   ui_probe first CLASS T    a window CLASS/T, then a second window in front of it; prints "ready",
//                             and "forward" when another process brings the first window forward
//   ui_probe hold CLASS T     a window CLASS/T; prints "ready" and runs until killed
//   ui_probe input            like show; prints "ready", then each stylus and key message it gets
//   ui_probe find CLASS T     finds CLASS/T (any process) and brings it forward: prints "found"
//                             (exit 0) or "none" (exit 1)
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/kernel/WideText.h"
#include "platform/ui/DeviceScreen.h"

namespace {
bool ready = false;
bool echoInput = false;
std::u16string className;
std::u16string title;

LRESULT ProbeProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
      FillRect(dc, &client, red);
      DeleteObject(red);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_CHAR:
      if (echoInput) {
        std::printf("%s %d %d\n",
                    message == WM_LBUTTONDOWN ? "down"
                    : message == WM_LBUTTONUP ? "up"
                    : message == WM_MOUSEMOVE ? "move"
                    : message == WM_KEYDOWN   ? "key"
                                              : "char",
                    message == WM_KEYDOWN || message == WM_CHAR ? int(first) : GET_X_LPARAM(second),
                    message == WM_KEYDOWN || message == WM_CHAR ? 0 : GET_Y_LPARAM(second));
        std::fflush(stdout);
      }
      return 0;
    case WM_ACTIVATE:
      if (ready && LOWORD(first) != WA_INACTIVE) {
        std::printf("forward\n");
        std::fflush(stdout);
        PostQuitMessage(0);
      }
      return DefWindowProcW(window, message, first, second);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}

HWND MakeWindow(const char16_t* windowClass, const char16_t* windowTitle) {
  WNDCLASSW registration{};
  registration.lpfnWndProc = ProbeProc;
  registration.lpszClassName = windowClass;
  RegisterClassW(&registration);
  return CreateWindowExW(0, windowClass, windowTitle, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
}

int Loop() {
  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? int(message.wParam) : 3;
}

const char* mode = "";

int ProbeMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  echoInput = std::strcmp(mode, "input") == 0;
  if (std::strcmp(mode, "show") == 0 || echoInput) {
    if (MakeWindow(u"ProbeWindow", u"Probe") == nullptr) return 4;
    if (echoInput) {
      std::printf("ready\n");
      std::fflush(stdout);
    }
    return Loop();
  }
  if (std::strcmp(mode, "find") == 0) {
    HWND found = FindWindowW(className.c_str(), title.c_str());
    if (found == nullptr) {
      std::printf("none\n");
      return 1;
    }
    // Passed through a 32-bit integer on its way, as code written for the 32-bit device does.
    const DWORD withOwned = DWORD(reinterpret_cast<uintptr_t>(found)) | 1;
    std::printf(SetForegroundWindow(reinterpret_cast<HWND>(uintptr_t(withOwned))) ? "found\n" : "failed\n");
    return 0;
  }
  if (MakeWindow(className.c_str(), title.c_str()) == nullptr) return 4;
  if (std::strcmp(mode, "first") == 0) MakeWindow(u"ProbeCover", u"Cover");
  ready = true;
  std::printf("ready\n");
  std::fflush(stdout);
  return Loop();
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  mode = argv[1];
  if (argc >= 4) {
    className = Utf8ToUtf16(argv[2]);
    title = Utf8ToUtf16(argv[3]);
  }
  return RunProgram(1, argv, ProbeMain);
}

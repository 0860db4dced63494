// uidemo: a window with a "Press" button, the soft-key menu bar and an About dialog. On stdout
// (each line flushed at once) it writes "button <x> <y>" (the button's centre on the device screen)
// and "ready 0" once its window is shown, then every command it receives as "command <id>" and the
// About dialog's result as "dialog <result>". It ends with status 0 when its window is closed.
#include <cstdio>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/Shell.h"
#include "tools/uidemo/UiDemoIds.h"

namespace {

using namespace uidemo;

constexpr int kTextCapacity = 100;
constexpr int kButtonHeight = 30;

HINSTANCE programInstance = nullptr;
HWND menuBar = nullptr;
HWND pressButton = nullptr;

void Report(const char* what, long value) {
  std::printf("%s %ld\n", what, value);
  std::fflush(stdout);
}

void ReportPosition(const char* what, HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  std::printf("%s %ld %ld\n", what, long(frame.left + frame.right) / 2, long(frame.top + frame.bottom) / 2);
  std::fflush(stdout);
}

BOOL AboutProcedure(HWND dialog, UINT message, WPARAM first, LPARAM /*second*/) {
  switch (message) {
    case WM_INITDIALOG: {
      SHINITDLGINFO init{SHIDIM_FLAGS, dialog,
                         SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
      SHInitDialog(&init);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(first) == IDOK) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

void CreateChildren(HWND window) {
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = window;
  bar.nToolBarId = kMenu;
  bar.hInstRes = programInstance;
  if (SHCreateMenuBar(&bar)) menuBar = bar.hwndMB;
  RECT client{};
  GetClientRect(window, &client);
  pressButton = CreateWindowExW(0, u"button", u"Press", WS_CHILD | WS_VISIBLE, client.right / 4,
                                client.bottom / 2 - kButtonHeight, client.right / 2, kButtonHeight, window,
                                reinterpret_cast<HMENU>(uintptr_t(kPressCommand)), programInstance, nullptr);
}

LRESULT MainProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_CREATE: CreateChildren(window); return 0;
    case WM_COMMAND: {
      const WORD command = LOWORD(first);
      Report("command", command);
      if (command == kOkCommand) SendMessageW(window, WM_CLOSE, 0, 0);
      if (command == kAboutCommand) {
        Report("dialog",
               long(DialogBoxParamW(programInstance, MAKEINTRESOURCEW(kAboutDialog), window, AboutProcedure, 0)));
      }
      return 0;
    }
    case WM_DESTROY:
      if (menuBar) DestroyWindow(menuBar);
      menuBar = nullptr;
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}

int DemoMain(HINSTANCE instance, HINSTANCE /*previous*/, LPWSTR /*commandLine*/, int showCommand) {
  programInstance = instance;
  SHInitExtraControls();
  WCHAR title[kTextCapacity] = {}, className[kTextCapacity] = {};
  LoadStringW(instance, kTitleString, title, kTextCapacity);
  LoadStringW(instance, kClassString, className, kTextCapacity);
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainProcedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  if (menuBar) {  // the window ends where the soft-key bar begins
    RECT frame{}, barFrame{};
    GetWindowRect(window, &frame);
    GetWindowRect(menuBar, &barFrame);
    MoveWindow(window, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top - (barFrame.bottom - barFrame.top), FALSE);
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  if (pressButton) ReportPosition("button", pressButton);
  Report("ready", 0);

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kAccelerators));
  MSG message{};
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (got < 0) return 1;
    if (accelerators && TranslateAcceleratorW(window, accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (accelerators) DestroyAcceleratorTable(accelerators);
  return int(message.wParam);
}

}  // namespace

int main(int argc, char** argv) { return RunProgram(argc, argv, DemoMain); }

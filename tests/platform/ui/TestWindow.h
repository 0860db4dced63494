// A window for the window system's tests: it records the messages it gets, paints its client
// area in one colour, and lets a test hook any message. Its procedure finds its record through
// the creation parameter, stored in GWL_USERDATA.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/ui/DeviceScreen.h"

struct TestWindow {
  struct Received {
    HWND window;
    UINT message;
    WPARAM first;
    LPARAM second;
  };

  COLORREF fill = RGB(255, 0, 0);
  std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;  // true: handled, result set
  HWND handle = nullptr;

  std::vector<Received> Log() {
    std::lock_guard<std::mutex> held(lock);
    return log;
  }
  int Count(UINT message) {
    std::lock_guard<std::mutex> held(lock);
    int n = 0;
    for (const Received& r : log) n += r.message == message ? 1 : 0;
    return n;
  }
  void Clear() {
    std::lock_guard<std::mutex> held(lock);
    log.clear();
  }

  // Makes the window (class "UiTestWindow"), on the calling thread.
  HWND Create(DWORD style, int x, int y, int width, int height, HWND parent = nullptr, const char16_t* title = u"",
              DWORD exStyle = 0);

  std::mutex lock;
  std::vector<Received> log;
};

// Dispatches everything waiting in the calling thread's queue, paints included.
void PumpMessages();
// Starts the shared headless screen (240 x 320) once per test program.
void StartTestScreen();

// The emulated device's screen and its settings, and the hooks tests use to act as the device's
// user. Product code does not include this header; programs' entry files and tests do.
//
// Settings (environment, read once when the screen starts; README.md has the full table):
//   ORVAN_BACKEND     sdl | headless (default: sdl when a display is available, else headless)
//   ORVAN_SCREEN      WxH, default 240x320 (each side 120..4096)
//   ORVAN_SCALE       SDL window scale (1..8); unset: the display's (2 at 96 dpi, fitting its area)
//   ORVAN_SCREENSHOT  the PNG the screen is written to once, as it showed just before the
//                     program's windows start going away: when ORVAN_RUN_MS expires, else when the
//                     first ownerless top-level window starts being destroyed, else when the
//                     program's entry point returns (RunProgram)
//   ORVAN_RUN_MS      after this many milliseconds the program's ownerless top-level windows get
//                     WM_CLOSE, as if the user closed them, so that its message loop ends by itself
// A bad value gives one line on stderr naming the setting and what is used instead; an SDL display
// that cannot start falls back to headless with one line.
#pragma once

#include <cstdint>

#include "platform/ui/Windows.h"

struct DeviceScreenConfig {
  const char* backend;  // "sdl" or "headless"
  int32_t width;
  int32_t height;
  int32_t scale;
};

// Starts the screen from the settings (done implicitly by the first window call); idempotent.
// FALSE when no backend could start.
BOOL StartDeviceScreen();
// Starts the screen with explicit values (tests): only before anything started it.
BOOL StartDeviceScreenWith(const DeviceScreenConfig& config);
DeviceScreenConfig CurrentDeviceScreen();
// Heights of the task bar (top) and soft-key menu bar (bottom): 26 at 240 wide, scaled with width.
int32_t TaskBarHeight();
int32_t MenuBarHeight();
// The work area: the screen below the task bar, e.g. (0, 26, 240, 320).
RECT WorkArea();

// Composes the screen as it would be presented now and writes it as a PNG. TRUE on success.
BOOL WriteScreenshot(const char* path);
// Reads the composed screen's pixel (0x00RRGGBB) at screen coordinates; 0xFFFFFFFF outside.
uint32_t ScreenPixel(int32_t x, int32_t y);

// The device's user: stylus and keys, delivered through the same path as the SDL backend's input.
void InjectStylusDown(int32_t screenX, int32_t screenY);
void InjectStylusMove(int32_t screenX, int32_t screenY);
void InjectStylusUp(int32_t screenX, int32_t screenY);
void InjectKey(WORD virtualKey, bool down);  // VK_CONTROL etc. keep their state between calls
void InjectWheel(int32_t screenX, int32_t screenY, int32_t delta);  // WHEEL_DELTA per notch, + away

// Runs a program's entry point the way the device starts a program: starts the screen from the
// settings, then calls winMain(instance, null, command line, SW_SHOW) on this thread and returns
// its exit code. Exit status 2 with one line on stderr when the screen cannot start.
using WinMainFunction = int (*)(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
int RunProgram(int argc, char** argv, WinMainFunction winMain);

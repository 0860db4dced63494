// The emulated device's settings read from the environment (ORVAN_BACKEND, ORVAN_SCREEN,
// ORVAN_SCALE, ORVAN_SCREENSHOT, ORVAN_RUN_MS). A value that cannot be used is reported on stderr in
// one line naming the setting and what is used instead.
#pragma once

#include <cstdint>
#include <string>

struct DeviceSettings {
  std::string backend;  // empty: the first available
  int32_t width = 240;
  int32_t height = 320;
  int32_t scale = 2;
  bool scaleGiven = false;  // ORVAN_SCALE was set (else the display's own scale is used)
  std::string screenshotPath;  // empty: none
  int64_t runMs = 0;           // 0: run until the program ends
};

constexpr int32_t kDefaultScreenWidth = 240;
constexpr int32_t kDefaultScreenHeight = 320;
constexpr int32_t kMinScreenSide = 120;
constexpr int32_t kMaxScreenSide = 4096;
constexpr int32_t kDefaultScale = 2;
constexpr int32_t kMaxScale = 8;
constexpr int64_t kMaxRunMs = 24LL * 3600 * 1000;

DeviceSettings ReadDeviceSettings();
// Parses "WxH" strictly (decimal digits, an 'x', digits, nothing else); FALSE when it is not that.
bool ParseScreenSize(const char* text, int32_t* width, int32_t* height);
// A decimal integer without sign or trailing text, within [min, max].
bool ParseBoundedInteger(const char* text, int64_t min, int64_t max, int64_t* value);

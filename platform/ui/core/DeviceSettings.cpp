#include "platform/ui/core/DeviceSettings.h"

#include <cstdio>
#include <cstdlib>

#include "platform/kernel/DecimalText.h"

bool ParseBoundedInteger(const char* text, int64_t min, int64_t max, int64_t* value) {
  int64_t result = 0;
  if (text == nullptr || !ParseDecimal(text, &result) || result < min || result > max) return false;
  *value = result;
  return true;
}

bool ParseScreenSize(const char* text, int32_t* width, int32_t* height) {
  if (text == nullptr) return false;
  const char* cross = text;
  while (*cross != 0 && *cross != 'x' && *cross != 'X') ++cross;
  if (*cross == 0) return false;
  const std::string first(text, cross);
  int64_t w = 0;
  int64_t h = 0;
  if (!ParseBoundedInteger(first.c_str(), kMinScreenSide, kMaxScreenSide, &w)) return false;
  if (!ParseBoundedInteger(cross + 1, kMinScreenSide, kMaxScreenSide, &h)) return false;
  *width = int32_t(w);
  *height = int32_t(h);
  return true;
}

DeviceSettings ReadDeviceSettings() {
  DeviceSettings settings;
  if (const char* backend = std::getenv("ORVAN_BACKEND"); backend != nullptr && *backend != 0) {
    settings.backend = backend;  // checked against the backend table when the screen starts
  }
  if (const char* screen = std::getenv("ORVAN_SCREEN"); screen != nullptr && *screen != 0) {
    if (!ParseScreenSize(screen, &settings.width, &settings.height)) {
      std::fprintf(stderr, "orvan: ORVAN_SCREEN=%s is not WxH with sides %d..%d; using %dx%d\n", screen, kMinScreenSide,
                   kMaxScreenSide, kDefaultScreenWidth, kDefaultScreenHeight);
    }
  }
  if (const char* scale = std::getenv("ORVAN_SCALE"); scale != nullptr && *scale != 0) {
    settings.scaleGiven = true;
    int64_t value = 0;
    if (ParseBoundedInteger(scale, 1, kMaxScale, &value)) {
      settings.scale = int32_t(value);
    } else {
      std::fprintf(stderr, "orvan: ORVAN_SCALE=%s is not a whole number 1..%d; using %d\n", scale, kMaxScale,
                   kDefaultScale);
    }
  }
  if (const char* path = std::getenv("ORVAN_SCREENSHOT"); path != nullptr && *path != 0) {
    settings.screenshotPath = path;
  }
  if (const char* runMs = std::getenv("ORVAN_RUN_MS"); runMs != nullptr && *runMs != 0) {
    int64_t value = 0;
    if (ParseBoundedInteger(runMs, 1, kMaxRunMs, &value)) {
      settings.runMs = value;
    } else {
      std::fprintf(stderr, "orvan: ORVAN_RUN_MS=%s is not a whole number 1..%lld; running until the program ends\n",
                   runMs, static_cast<long long>(kMaxRunMs));
    }
  }
  return settings;
}

// The device's internet time-outs and the minimum speed: process-wide, read by each request when it
// is sent. Defaults are the platform's; the environment variables ORVAN_NET_CONNECT_TIMEOUT_MS and
// ORVAN_NET_RECEIVE_TIMEOUT_MS (read once) replace the time-outs, InternetSetDeviceTimeouts replaces
// both, InternetSetDeviceMinimumSpeed replaces the minimum speed and its window.
#pragma once

#include "platform/kernel/PlatformTypes.h"

struct DeviceTimeouts {
  DWORD connectMs;
  DWORD receiveMs;
  DWORD minimumSpeed;  // bytes per second
  DWORD minimumSpeedWindowMs;

  static DeviceTimeouts Current();
  // 0 restores the default of that time-out.
  static void Set(DWORD connectMs, DWORD receiveMs);
  // 0 restores the default of that value.
  static void SetMinimumSpeed(DWORD bytesPerSecond, DWORD windowMs);
};

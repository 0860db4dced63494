// The device's internet time-outs: process-wide, read by each request when it is sent.
// Defaults are the platform's; the environment variables ORVAN_NET_CONNECT_TIMEOUT_MS and
// ORVAN_NET_RECEIVE_TIMEOUT_MS (read once) replace them, InternetSetDeviceTimeouts replaces both.
#pragma once

#include "platform/kernel/PlatformTypes.h"

struct DeviceTimeouts {
  DWORD connectMs;
  DWORD receiveMs;

  static DeviceTimeouts Current();
  // 0 restores the default of that time-out.
  static void Set(DWORD connectMs, DWORD receiveMs);
};

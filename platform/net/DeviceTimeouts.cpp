#include "platform/net/DeviceTimeouts.h"

#include <atomic>
#include <cstdlib>

#include "platform/kernel/DecimalText.h"
#include "platform/net/WinInet.h"

namespace {

constexpr const char* kConnectVariable = "ORVAN_NET_CONNECT_TIMEOUT_MS";
constexpr const char* kReceiveVariable = "ORVAN_NET_RECEIVE_TIMEOUT_MS";
constexpr int64_t kLargestTimeoutMs = 0x7FFFFFFF;

// A positive decimal number of milliseconds from the environment (space before it and a plus sign
// allowed), or `fallback`.
DWORD FromEnvironment(const char* name, DWORD fallback) {
  const char* text = std::getenv(name);
  int64_t value = 0;
  if (text == nullptr || !ParseDecimal(text, &value, {.leadingSpace = true, .sign = DecimalSign::kPlusOrMinus}) ||
      value < 1 || value > kLargestTimeoutMs) {
    return fallback;
  }
  return static_cast<DWORD>(value);
}

struct Defaults {
  DWORD connectMs = FromEnvironment(kConnectVariable, kInternetDefaultConnectTimeoutMs);
  DWORD receiveMs = FromEnvironment(kReceiveVariable, kInternetDefaultReceiveTimeoutMs);
};

const Defaults& EnvironmentDefaults() {
  static const Defaults defaults;  // read once, thread-safe
  return defaults;
}

// 0 means "not overridden".
std::atomic<DWORD> connectOverride{0};
std::atomic<DWORD> receiveOverride{0};
std::atomic<DWORD> speedOverride{0};
std::atomic<DWORD> speedWindowOverride{0};

DWORD OrDefault(const std::atomic<DWORD>& value, DWORD fallback) {
  const DWORD v = value.load();
  return v != 0 ? v : fallback;
}

}  // namespace

DeviceTimeouts DeviceTimeouts::Current() {
  const Defaults& defaults = EnvironmentDefaults();
  return {OrDefault(connectOverride, defaults.connectMs), OrDefault(receiveOverride, defaults.receiveMs),
          OrDefault(speedOverride, kInternetDefaultMinimumSpeed),
          OrDefault(speedWindowOverride, kInternetDefaultMinimumSpeedWindowMs)};
}

void DeviceTimeouts::Set(DWORD connectMs, DWORD receiveMs) {
  connectOverride.store(connectMs);
  receiveOverride.store(receiveMs);
}

void DeviceTimeouts::SetMinimumSpeed(DWORD bytesPerSecond, DWORD windowMs) {
  speedOverride.store(bytesPerSecond);
  speedWindowOverride.store(windowMs);
}

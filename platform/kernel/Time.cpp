#include "platform/kernel/Time.h"

#include <chrono>
#include <thread>

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

DWORD GetTickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  return static_cast<DWORD>(static_cast<uint64_t>(ms));  // keeps the low 32 bits: wraps like the device
}

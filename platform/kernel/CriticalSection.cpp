#include "platform/kernel/CriticalSection.h"

namespace {
std::recursive_mutex& MutexOf(CRITICAL_SECTION* section) {
  return *std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}
}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  new (section->storage) std::recursive_mutex();
  section->initialized = true;
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  if (!section->initialized) return;
  MutexOf(section).~recursive_mutex();
  section->initialized = false;
}

void EnterCriticalSection(CRITICAL_SECTION* section) { MutexOf(section).lock(); }

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) { return MutexOf(section).try_lock() ? TRUE : FALSE; }

void LeaveCriticalSection(CRITICAL_SECTION* section) { MutexOf(section).unlock(); }

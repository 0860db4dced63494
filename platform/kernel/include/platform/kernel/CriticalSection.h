// Critical sections: re-entrant mutual exclusion locks, created and deleted explicitly.
#pragma once

#include <mutex>
#include <new>

#include "platform/kernel/PlatformTypes.h"

struct CRITICAL_SECTION {
  // Storage for the lock; it exists between InitializeCriticalSection and DeleteCriticalSection.
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
  bool initialized;
};

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
// Re-entrant: the owning thread may enter again; it must leave as often as it entered.
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

// Holds a critical section for the lifetime of a scope.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
  ~CriticalSectionLock() { LeaveCriticalSection(section_); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

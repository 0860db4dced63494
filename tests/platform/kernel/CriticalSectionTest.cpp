#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/CriticalSection.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"

namespace {

TEST(CriticalSection, TheOwnerMayEnterAgainAndMustLeaveAsOften) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // would deadlock on a plain mutex
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);
}

struct Counter {
  CRITICAL_SECTION cs;
  long value = 0;  // deliberately not atomic: only the lock protects it
  std::atomic<int> inside{0};
  std::atomic<int> maxInside{0};
};

DWORD AddMany(LPVOID p) {
  auto* c = static_cast<Counter*>(p);
  for (int i = 0; i < 20000; ++i) {
    EnterCriticalSection(&c->cs);
    const int now = ++c->inside;
    if (now > c->maxInside) c->maxInside = now;
    c->value = c->value + 1;
    --c->inside;
    LeaveCriticalSection(&c->cs);
  }
  return 0;
}

TEST(CriticalSection, ExcludesOtherThreads) {
  Counter c;
  InitializeCriticalSection(&c.cs);
  HANDLE a = CreateThread(nullptr, 0, AddMany, &c, 0, nullptr);
  HANDLE b = CreateThread(nullptr, 0, AddMany, &c, 0, nullptr);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  WaitForSingleObject(a, INFINITE);
  WaitForSingleObject(b, INFINITE);
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_EQ(c.value, 40000);
  EXPECT_EQ(c.maxInside, 1);
  DeleteCriticalSection(&c.cs);
}

struct Held {
  CRITICAL_SECTION cs;
  std::atomic<bool> gotIt{false};
};

DWORD TryTake(LPVOID p) {
  auto* h = static_cast<Held*>(p);
  h->gotIt = TryEnterCriticalSection(&h->cs) != 0;
  if (h->gotIt) LeaveCriticalSection(&h->cs);
  return 0;
}

TEST(CriticalSection, AnotherThreadCannotEnterWhileItIsHeld) {
  Held h;
  InitializeCriticalSection(&h.cs);
  EnterCriticalSection(&h.cs);
  HANDLE t = CreateThread(nullptr, 0, TryTake, &h, 0, nullptr);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  EXPECT_FALSE(h.gotIt);
  LeaveCriticalSection(&h.cs);
  t = CreateThread(nullptr, 0, TryTake, &h, 0, nullptr);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
  EXPECT_TRUE(h.gotIt);
  DeleteCriticalSection(&h.cs);
}

}  // namespace

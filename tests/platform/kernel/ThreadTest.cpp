#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"

namespace {

struct Shared {
  std::atomic<int> value{0};
  HANDLE ownHandle = nullptr;
  std::atomic<bool> handleReady{false};
};

DWORD SetValue(LPVOID p) {
  static_cast<Shared*>(p)->value = 42;
  return 7;
}

// Closes its own handle as its very last step, after a pause, like a download worker.
DWORD CloseOwnHandleLast(LPVOID p) {
  auto* shared = static_cast<Shared*>(p);
  while (!shared->handleReady) Sleep(1);
  Sleep(100);
  shared->value = 1;
  CloseHandle(shared->ownHandle);
  return 1;
}

TEST(Thread, RunsTheStartRoutineWithItsArgumentAndReportsItsExitCode) {
  Shared shared;
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, SetValue, &shared, 0, &id);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(shared.value, 42);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(h));
}

TEST(Thread, WaitOnAHandleTheThreadClosesItselfLastsUntilTheThreadEnds) {
  const size_t before = LiveThreadObjectCount();
  Shared shared;
  HANDLE h = CreateThread(nullptr, 0, CloseOwnHandleLast, &shared, 0, nullptr);
  ASSERT_NE(h, nullptr);
  shared.ownHandle = h;
  shared.handleReady = true;
  // The worker closes `h` while this thread waits on it; the wait must still end normally.
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(shared.value, 1);
  // Once the thread has ended and its handle is closed, its kernel object is gone ...
  for (int i = 0; i < 200 && LiveThreadObjectCount() != before; ++i) Sleep(5);
  EXPECT_EQ(LiveThreadObjectCount(), before);
  // ... and the stale handle is refused rather than naming something else.
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(h));
}

DWORD SleepLong(LPVOID) {
  Sleep(300);
  return 0;
}

TEST(Thread, TimedWaitTimesOutWhileTheThreadRunsAndClosingTwiceFails) {
  HANDLE h = CreateThread(nullptr, 0, SleepLong, nullptr, 0, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 10), WAIT_TIMEOUT);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
}

TEST(Thread, RejectsANullStartRoutine) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

}  // namespace

namespace {

DWORD WaitForFlag(LPVOID p) {
  auto* flag = static_cast<std::atomic<bool>*>(p);
  while (!*flag) Sleep(1);
  return 0;
}

TEST(Thread, TheDeviceThreadLimitRefusesNewThreadsWhileThatManyRun) {
  std::atomic<bool> release{false};
  const size_t running = RunningThreadCount();
  SetThreadLimit(running + 1);
  HANDLE first = CreateThread(nullptr, 0, WaitForFlag, &release, 0, nullptr);
  ASSERT_NE(first, nullptr);
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, WaitForFlag, &release, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  release = true;
  EXPECT_EQ(WaitForSingleObject(first, INFINITE), WAIT_OBJECT_0);
  CloseHandle(first);
  // Once the first has ended there is room again.
  HANDLE second = CreateThread(nullptr, 0, WaitForFlag, &release, 0, nullptr);
  EXPECT_NE(second, nullptr);
  SetThreadLimit(SIZE_MAX);
  WaitForSingleObject(second, INFINITE);
  CloseHandle(second);
}

}  // namespace

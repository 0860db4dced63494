// The message queue: order, paint coalescing, quit, error returns, and the cross-thread paths
// (wake-ups, sends in both directions).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestWindow.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"

namespace {
class MessageQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { StartTestScreen(); }
};

TEST_F(MessageQueueTest, PostedMessagesComeInOrderAndOnePaintFollowsThemAll) {
  TestWindow record;
  HWND window = record.Create(WS_VISIBLE, 0, 26, 100, 100);
  ASSERT_NE(window, nullptr);
  PumpMessages();
  record.Clear();
  for (int i = 0; i < 50; ++i) InvalidateRect(window, nullptr, TRUE);
  PostMessageW(window, WM_APP + 1, 1, 0);
  PostMessageW(window, WM_APP + 2, 2, 0);
  PostQuitMessage(7);

  MSG message;
  ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_APP + 1);  // invalidated first, yet painted only when nothing else waits
  ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_APP + 2);
  EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), FALSE);
  EXPECT_EQ(message.wParam, WPARAM(7));
  ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_PAINT);
  EXPECT_EQ(message.hwnd, window);
  DispatchMessageW(&message);
  EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) << "fifty invalidations make one paint";
  EXPECT_EQ(record.Count(WM_PAINT), 1);
  EXPECT_EQ(record.Count(WM_ERASEBKGND), 1);
  DestroyWindow(window);
}

TEST_F(MessageQueueTest, CharacterKeysAreTranslatedWithTheShiftAndControlStateOfTheirMoment) {
  TestWindow record;
  HWND window = record.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  PumpMessages();
  InjectKey('A', true);
  InjectKey('A', false);
  InjectKey(VK_CONTROL, true);
  InjectKey('Q', true);
  InjectKey('Q', false);
  InjectKey(VK_CONTROL, false);
  InjectKey(VK_LEFT, true);
  PumpMessages();
  std::vector<WPARAM> chars;
  for (const auto& r : record.Log()) {
    if (r.message == WM_CHAR) chars.push_back(r.first);
  }
  EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 17}));  // Ctrl+Q is character 17; arrows give none
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_NE(GetKeyState(VK_LEFT) & 0x8000, 0);
  InjectKey(VK_LEFT, false);
  PumpMessages();
  DestroyWindow(window);
}

TEST_F(MessageQueueTest, AnInvalidFilterFailsAtOnceAndAWaitForADestroyedWindowEnds) {
  MSG message;
  SetLastError(0);
  EXPECT_EQ(GetMessageW(&message, reinterpret_cast<HWND>(uintptr_t(0x12340)), 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

  // A thread that waits for the messages of a window it does not own gets none; once the window
  // is destroyed its wait ends with -1 (and does not spin on).
  TestWindow record;
  HWND window = record.Create(0, 0, 26, 10, 10);
  std::atomic<int> result{99};
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    MSG m;
    result = GetMessageW(&m, window, 0, 0);
    returned = true;
  });
  Sleep(50);
  EXPECT_FALSE(returned.load());
  DestroyWindow(window);
  waiter.join();
  EXPECT_EQ(result.load(), -1);
}

TEST_F(MessageQueueTest, AnInvalidationFromAnotherThreadWakesTheWaitingOwner) {
  TestWindow record;
  HWND window = record.Create(WS_VISIBLE, 0, 26, 50, 50);
  PumpMessages();
  std::thread other([window] {
    Sleep(30);
    InvalidateRect(window, nullptr, FALSE);
  });
  MSG message;
  ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_PAINT);
  DispatchMessageW(&message);
  other.join();
  DestroyWindow(window);
}

TEST_F(MessageQueueTest, ASendFromAnotherThreadRunsOnTheOwnerAndReturnsItsResult) {
  TestWindow record;
  const DWORD owner = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  record.hook = [&](HWND, UINT message, WPARAM first, LPARAM, LRESULT* result) {
    if (message != WM_APP) return false;
    ranOn = GetCurrentThreadId();
    *result = LRESULT(first * 2);
    if (first == 21) PostQuitMessage(0);
    return true;
  };
  HWND window = record.Create(0, 0, 26, 10, 10);
  std::atomic<LRESULT> answer{0};
  std::thread sender([&] { answer = SendMessageW(window, WM_APP, 21, 0); });
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  sender.join();
  EXPECT_EQ(answer.load(), 42);
  EXPECT_EQ(ranOn.load(), owner);
  DestroyWindow(window);
}

TEST_F(MessageQueueTest, TwoThreadsSendingToEachOtherBothFinish) {
  // Each thread's window, on receiving WM_APP, sends WM_APP + 1 to the other's window: each sender
  // must handle the other's send while it waits for its own answer.
  std::atomic<HWND> windows[2] = {nullptr, nullptr};
  std::atomic<int> ready{0};
  std::atomic<LRESULT> answers[2] = {0, 0};
  auto run = [&](int self) {
    TestWindow record;
    record.hook = [&, self](HWND, UINT message, WPARAM, LPARAM, LRESULT* result) {
      if (message == WM_APP + 1) {
        *result = 100 + self;
        return true;
      }
      return false;
    };
    windows[self] = record.Create(0, 0, 26, 10, 10);
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();
    answers[self] = SendMessageW(windows[1 - self].load(), WM_APP + 1, 0, 0);
    ++ready;
    // Keep answering until the other thread has its answer too.
    while (ready.load() < 4) {
      MSG m;
      if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      std::this_thread::yield();
    }
    DestroyWindow(windows[self].load());
  };
  std::thread a(run, 0);
  std::thread b(run, 1);
  a.join();
  b.join();
  EXPECT_EQ(answers[0].load(), 101);
  EXPECT_EQ(answers[1].load(), 100);
}
}  // namespace

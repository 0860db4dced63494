// One thread's message queue: posted messages, messages sent to it from other threads, the quit
// request, the count of its windows waiting for paint and its key state. Every member is read and
// written under the window system's lock; the queue's thread sleeps on `wakeup` (or, on the
// display thread, in the display backend) while it waits.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <vector>

#include "platform/ui/Windows.h"
#include "platform/ui/core/MessageRing.h"

class MessageQueue;

// A window timer of this queue's thread (platform/ui/core/Timers.cpp).
struct QueueTimer {
  HWND window;
  UINT_PTR id;
  uint64_t intervalMs;
  uint64_t dueMs;  // on the monotonic millisecond clock of MonotonicMs()
};

// A message sent across threads: the sender waits until `done`.
struct SentMessage {
  HWND window;
  UINT message;
  WPARAM first;
  LPARAM second;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<MessageQueue> sender;
};

class MessageQueue {
 public:
  explicit MessageQueue(DWORD threadId) : threadId(threadId) {}

  const DWORD threadId;
  bool alive = true;  // false once the thread has ended
  MessageRing posted;
  std::deque<std::shared_ptr<SentMessage>> incoming;
  bool quitPosted = false;
  int quitCode = 0;
  int windowsToPaint = 0;  // windows of this thread with an invalid area
  bool waiting = false;    // the thread sleeps in a wait
  bool wakePending = false;
  std::condition_variable wakeup;
  // Per-thread key state as the thread has retrieved its key messages: bit 0x80 down, 0x01 toggled.
  BYTE keys[256] = {};
  std::vector<QueueTimer> timers;
};

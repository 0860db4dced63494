// The message queue calls: posting, sending (across threads too), retrieving, translating and
// dispatching, and default processing.
#include <time.h>
#include "platform/kernel/Thread.h"

#include "platform/kernel/Time.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/InputRouter.h"
#include "platform/ui/core/Timers.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
// The tick count stamped on messages: the same clock as GetTickCount, read at the system clock's
// tick resolution (a few milliseconds), which costs a fraction of a precise read.
DWORD MessageTime() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return DWORD(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

// The procedure of the window the calling thread retrieved a message for last, valid while the
// window system's procedure generation is unchanged: dispatching that message needs no lock.
struct RetrievedProcedure {
  HWND window = nullptr;
  WNDPROC procedure = nullptr;
  uint64_t generation = ~uint64_t(0);
};
thread_local RetrievedProcedure lastRetrieved;
// The time stamp of the latest message this thread retrieved (GetMessageTime).
thread_local DWORD lastMessageTime = 0;

enum class Retrieved { kMessage, kQuit, kError, kNothing };

bool InRange(UINT message, UINT filterMin, UINT filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message >= filterMin && message <= filterMax;
}

bool MatchesWindow(WindowSystem& ws, HWND filter, HWND target) {
  if (filter == nullptr) return true;
  if (target == nullptr) return false;
  if (filter == target) return true;
  Window* filterWindow = ws.Find(filter);
  Window* targetWindow = ws.Find(target);
  return filterWindow != nullptr && targetWindow != nullptr && WindowSystem::IsDescendant(filterWindow, targetWindow);
}

// Calls the window's current procedure (lock not held).
LRESULT CallProcedure(HWND handle, UINT message, WPARAM first, LPARAM second) {
  WNDPROC procedure = nullptr;
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    Window* window = ws.Find(handle);
    if (window == nullptr) return 0;
    procedure = window->procedure;
  }
  return procedure != nullptr ? procedure(handle, message, first, second) : 0;
}

// Handles every message other threads have sent to this one (lock held on entry and return).
void HandleIncomingSends(WindowSystem& ws, MessageQueue& queue, std::unique_lock<std::mutex>& held) {
  while (!queue.incoming.empty()) {
    std::shared_ptr<SentMessage> sent = queue.incoming.front();
    queue.incoming.pop_front();
    held.unlock();
    const LRESULT result = CallProcedure(sent->window, sent->message, sent->first, sent->second);
    held.lock();
    sent->result = result;
    sent->done = true;
    if (sent->sender) ws.Wake(*sent->sender);
  }
}

inline void NoteKeyState(MessageQueue& queue, const MSG& message) {
  if (message.message != WM_KEYDOWN && message.message != WM_KEYUP) return;
  const BYTE key = BYTE(message.wParam);
  if (message.message == WM_KEYDOWN) {
    if ((queue.keys[key] & 0x80) == 0) queue.keys[key] ^= 0x01;
    queue.keys[key] |= 0x80;
  } else if (message.message == WM_KEYUP) {
    queue.keys[key] &= BYTE(~0x80);
  }
}

// The first window of this thread, parents before children, that is shown and waits for paint.
Window* FindWindowToPaint(WindowSystem& ws, MessageQueue& queue, HWND filter, Window* window) {
  if (!window->IsVisibleFlag()) return nullptr;
  if (window->invalid && window->queue.get() == &queue && MatchesWindow(ws, filter, ToHandle(window))) return window;
  for (Window* child : window->children) {
    if (Window* found = FindWindowToPaint(ws, queue, filter, child)) return found;
  }
  return nullptr;
}

Retrieved Retrieve(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove, bool wait) {
  WindowSystem& ws = WindowSystem::Get();
  MessageQueue* queue = &ws.CurrentQueueRef();
  DisplayBackend* backend = CurrentDisplayBackend();
  if (!wait && backend != nullptr && backend->EventThreadId() == queue->threadId) backend->PollEvents();
  std::unique_lock<std::mutex> held(ws.lock);
  // The common case first: no filter, and the oldest posted message is the answer.
  if (filter == nullptr && filterMin == 0 && filterMax == 0 && queue->incoming.empty() && !queue->posted.empty()) {
    MessageRing& posted = queue->posted;
    *out = posted[0];
    if (Window* target = ws.Find(out->hwnd)) {
      lastRetrieved =
          RetrievedProcedure{out->hwnd, target->procedure, ws.procedureGeneration.load(std::memory_order_relaxed)};
    }
    if (remove) {
      NoteKeyState(*queue, *out);
      posted.erase(0);
    }
    return Retrieved::kMessage;
  }
  if (filter != nullptr && ws.Find(filter) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return Retrieved::kError;
  }
  for (;;) {
    if (!queue->incoming.empty()) HandleIncomingSends(ws, *queue, held);
    MessageRing& posted = queue->posted;
    for (size_t i = 0; i < posted.size(); ++i) {
      const MSG& candidate = posted[i];
      if (!InRange(candidate.message, filterMin, filterMax) || !MatchesWindow(ws, filter, candidate.hwnd)) continue;
      if (filter != nullptr && candidate.hwnd == nullptr) continue;
      *out = candidate;
      if (Window* target = ws.Find(candidate.hwnd)) {
        lastRetrieved = RetrievedProcedure{candidate.hwnd, target->procedure,
                                           ws.procedureGeneration.load(std::memory_order_relaxed)};
      }
      if (remove) {
        NoteKeyState(*queue, candidate);
        posted.erase(i);
      }
      return Retrieved::kMessage;
    }
    if (queue->quitPosted && InRange(WM_QUIT, filterMin, filterMax)) {
      *out = MSG{nullptr, WM_QUIT, WPARAM(queue->quitCode), 0, MessageTime(), POINT{0, 0}};
      if (remove) queue->quitPosted = false;
      return Retrieved::kQuit;
    }
    if (queue->windowsToPaint > 0 && InRange(WM_PAINT, filterMin, filterMax)) {
      for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
        if (Window* window = FindWindowToPaint(ws, *queue, filter, *it)) {
          *out = MSG{ToHandle(window), WM_PAINT, 0, 0, MessageTime(), StylusPosition()};
          return Retrieved::kMessage;
        }
      }
    }
    if (filter != nullptr && ws.Find(filter) == nullptr) {
      // The window waited for went away while waiting.
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return Retrieved::kError;
    }
    // Timers last, as the platform does: a due timer never delays input or paint.
    int64_t untilTimer = -1;
    if (!queue->timers.empty() && InRange(WM_TIMER, filterMin, filterMax) &&
        TakeDueTimer(
            ws, *queue, [&](HWND target) { return MatchesWindow(ws, filter, target); }, remove, out, &untilTimer)) {
      return Retrieved::kMessage;
    }
    if (!wait) return Retrieved::kNothing;
    ws.Wait(*queue, held, untilTimer);
  }
}
}  // namespace

BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  switch (Retrieve(message, window, filterMin, filterMax, true, true)) {
    case Retrieved::kMessage: lastMessageTime = message->time; return TRUE;
    case Retrieved::kQuit: return FALSE;
    default: return -1;
  }
}

BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (message == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (Retrieve(message, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false)) {
    case Retrieved::kMessage: lastMessageTime = message->time; return TRUE;
    case Retrieved::kQuit: return TRUE;
    default: return FALSE;
  }
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM first, LPARAM second) {
  if (handle == nullptr) return PostThreadMessageW(GetCurrentThreadId(), message, first, second);
  const MSG posted{handle, message, first, second, MessageTime(), StylusPosition()};
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  MessageQueue& queue = *window->queue;
  if (!queue.alive) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  queue.posted.push_back(posted);
  if (queue.waiting) ws.Wake(queue);
  return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM first, LPARAM second) {
  WindowSystem& ws = WindowSystem::Get();
  if (threadId == GetCurrentThreadId()) ws.CurrentQueue();
  std::lock_guard<std::mutex> held(ws.lock);
  std::shared_ptr<MessageQueue> queue = ws.QueueOf(threadId);
  if (!queue || !queue->alive) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  queue->posted.push_back(MSG{nullptr, message, first, second, MessageTime(), StylusPosition()});
  ws.Wake(*queue);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  WindowSystem& ws = WindowSystem::Get();
  const std::shared_ptr<MessageQueue>& queue = ws.CurrentQueue();
  std::lock_guard<std::mutex> held(ws.lock);
  queue->quitPosted = true;
  queue->quitCode = exitCode;
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM first, LPARAM second) {
  WindowSystem& ws = WindowSystem::Get();
  const std::shared_ptr<MessageQueue>& self = ws.CurrentQueue();
  std::unique_lock<std::mutex> held(ws.lock);
  Window* window = LookUpWindow(ws, handle);
  if (window == nullptr) return 0;
  if (window->queue == self) {
    WNDPROC procedure = window->procedure;
    held.unlock();
    return procedure != nullptr ? procedure(handle, message, first, second) : 0;
  }
  std::shared_ptr<MessageQueue> target = window->queue;
  if (!target->alive) return 0;
  auto sent = std::make_shared<SentMessage>(SentMessage{handle, message, first, second, 0, false, self});
  target->incoming.push_back(sent);
  ws.Wake(*target);
  // While waiting, handle what others send to this thread, so that two threads sending to each
  // other both go on.
  while (!sent->done) {
    HandleIncomingSends(ws, *self, held);
    if (sent->done) break;
    if (!target->alive) return 0;
    ws.Wait(*self, held);
  }
  return sent->result;
}

LONG GetMessageTime() { return LONG(lastMessageTime); }

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || message->message != WM_KEYDOWN) return FALSE;
  const WORD key = WORD(message->wParam);
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  WPARAM character = 0;
  if (key >= 'A' && key <= 'Z') {
    character = control ? WPARAM(key - 'A' + 1) : shift ? WPARAM(key) : WPARAM(key - 'A' + 'a');
  } else if ((key >= '0' && key <= '9') || key == ' ') {
    character = key;
  } else if (key == VK_RETURN || key == VK_BACK || key == VK_TAB || key == VK_ESCAPE) {
    character = key;
  } else {
    return FALSE;
  }
  return PostMessageW(message->hwnd, WM_CHAR, character, message->lParam);
}

LRESULT DispatchMessageW(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  if (message->hwnd == lastRetrieved.window && lastRetrieved.procedure != nullptr &&
      WindowSystem::Get().procedureGeneration.load(std::memory_order_acquire) == lastRetrieved.generation) {
    return lastRetrieved.procedure(message->hwnd, message->message, message->wParam, message->lParam);
  }
  return CallProcedure(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM first, LPARAM second) {
  return procedure != nullptr ? procedure(window, message, first, second) : 0;
}

int16_t GetKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  WindowSystem& ws = WindowSystem::Get();
  const std::shared_ptr<MessageQueue>& queue = ws.CurrentQueue();
  std::lock_guard<std::mutex> held(ws.lock);
  const BYTE state = queue->keys[virtualKey];
  return int16_t(((state & 0x80) != 0 ? 0x8000 : 0) | (state & 0x01));
}

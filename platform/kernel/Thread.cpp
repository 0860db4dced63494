#include "platform/kernel/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/kernel/HandleTable.h"

namespace {

// The kernel object behind a thread handle.
struct ThreadObject {
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;
  bool handleOpen = true;
  DWORD exitCode = STILL_ACTIVE;
};

// Open handles and running threads. An entry stays while its handle is open or its thread runs;
// waiters hold their own reference, so a handle closed during a wait stays usable by the waiter.
HandleTable<ThreadObject>& Threads() {
  static auto* table = new HandleTable<ThreadObject>(kThreadHandleTag);  // never destroyed: threads may outlive main
  return *table;
}

std::shared_ptr<ThreadObject> FindThread(HANDLE handle) { return Threads().Find(reinterpret_cast<uintptr_t>(handle)); }

// Drops the entry once its handle is closed and its thread has finished. Both flags only ever go
// one way, so whichever of the closer and the thread sees both set may drop it (a second drop
// finds nothing).
void DropIfUnused(HANDLE handle) {
  std::shared_ptr<ThreadObject> object = FindThread(handle);
  if (object == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(object->mutex);
    if (object->handleOpen || !object->finished) return;
  }
  Threads().Remove(reinterpret_cast<uintptr_t>(handle));
}

std::atomic<DWORD> nextThreadId{1};
std::atomic<size_t> runningThreads{0};
std::atomic<size_t> threadLimit{SIZE_MAX};
thread_local DWORD currentThreadId = 0;

}  // namespace

HANDLE CreateThread(void* attributes, size_t /*stackSize*/, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId) {
  if (attributes != nullptr || start == nullptr || flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Count the new thread before it exists so that two creators cannot both pass the limit.
  if (runningThreads.fetch_add(1) >= threadLimit.load()) {
    runningThreads.fetch_sub(1);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto object = std::make_shared<ThreadObject>();
  const DWORD id = nextThreadId.fetch_add(1);
  HANDLE handle = reinterpret_cast<HANDLE>(Threads().Insert(object));
  if (handle == nullptr) {
    runningThreads.fetch_sub(1);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    std::thread([object, handle, start, parameter, id] {
      currentThreadId = id;
      const DWORD code = start(parameter);
      {
        std::lock_guard<std::mutex> guard(object->mutex);
        object->exitCode = code;
        object->finished = true;
      }
      runningThreads.fetch_sub(1);
      object->ended.notify_all();
      DropIfUnused(handle);
    }).detach();
  } catch (const std::system_error&) {
    runningThreads.fetch_sub(1);
    {
      std::lock_guard<std::mutex> guard(object->mutex);
      object->finished = true;
      object->handleOpen = false;
    }
    DropIfUnused(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) *threadId = id;
  return handle;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<ThreadObject> object = FindThread(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock<std::mutex> lock(object->mutex);
  if (milliseconds == INFINITE) {
    object->ended.wait(lock, [&] { return object->finished; });
    return WAIT_OBJECT_0;
  }
  const bool done =
      object->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return object->finished; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode) {
  std::shared_ptr<ThreadObject> object = FindThread(handle);
  if (object == nullptr || exitCode == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(object->mutex);
  *exitCode = object->exitCode;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<ThreadObject> object = FindThread(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(object->mutex);
    if (!object->handleOpen) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object->handleOpen = false;
  }
  DropIfUnused(handle);
  return TRUE;
}

DWORD GetCurrentThreadId() {
  if (currentThreadId == 0) currentThreadId = nextThreadId.fetch_add(1);
  return currentThreadId;
}

void SetThreadLimit(size_t maxRunning) { threadLimit.store(maxRunning); }

size_t RunningThreadCount() { return runningThreads.load(); }

size_t LiveThreadObjectCount() { return Threads().LiveCount(); }

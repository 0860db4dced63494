// Threads and waits of the platform kernel, on std::thread.
//
// A thread handle names a kernel object that stays alive while the handle is open, while the
// thread runs, and while anyone waits on it: a thread may close its own handle as its very last
// step while another thread waits on that handle. A closed handle names no later thread until
// its slot has been reused 2^24 times (HandleTable).
#pragma once

#include "platform/kernel/PlatformTypes.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD STILL_ACTIVE = 259;

// Starts `start(parameter)` at once on a new thread with the default stack size. `attributes`
// must be null, `stackSize` is ignored (the default is used), `flags` must be 0. Returns the
// thread's handle and writes its identifier to `threadId` when given; null when the thread
// cannot be created.
HANDLE CreateThread(void* attributes, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    DWORD* threadId);

// Waits until the thread has ended or `milliseconds` have passed (INFINITE: no limit).
// WAIT_OBJECT_0 when it has ended, WAIT_TIMEOUT, or WAIT_FAILED for a handle that is not open.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// The thread's exit code, or STILL_ACTIVE while it runs.
BOOL GetExitCodeThread(HANDLE handle, DWORD* exitCode);

// Closes a handle. Closing does not end the thread; its kernel object lives on while the thread
// runs or a waiter uses it.
BOOL CloseHandle(HANDLE handle);

DWORD GetCurrentThreadId();

// The emulated device's limit on threads running at once in the process: CreateThread fails (null,
// ERROR_NOT_ENOUGH_MEMORY) while that many run. The default is no limit; tests lower it to exercise
// the paths where a thread cannot be created.
void SetThreadLimit(size_t maxRunning);
size_t RunningThreadCount();

// Number of thread kernel objects still alive (open handles, running threads); for leak checks.
size_t LiveThreadObjectCount();

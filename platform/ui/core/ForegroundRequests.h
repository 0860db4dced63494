// Requests between processes to bring a window forward: each process with listed windows listens
// on a datagram socket in the instance directory and activates the named window on request.
#pragma once

#include <cstdint>

// Starts listening (once per process until stopped); false when the socket cannot be made.
bool ListenForForegroundRequests();
// Stops listening and removes the socket (when the process's last listed window goes, and at exit).
void StopListeningForForegroundRequests();
// Asks process `pid` to bring its window `handle` forward (with `lastOwned`, the topmost window it
// owns); true when the request was delivered to its socket.
bool SendForegroundRequest(long pid, uintptr_t handle, bool lastOwned);

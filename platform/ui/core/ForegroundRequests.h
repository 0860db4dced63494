// Requests between processes to bring a window forward: each process with listed windows listens
// on a datagram socket in the instance directory and activates the named window on request.
#pragma once

#include <cstdint>

// Starts listening (once per process); false when the socket cannot be made.
bool ListenForForegroundRequests();
// Asks process `pid` to bring its window `handle` forward (with `lastOwned`, the topmost window it
// owns); true when the request was delivered to its socket.
bool SendForegroundRequest(long pid, uintptr_t handle, bool lastOwned);

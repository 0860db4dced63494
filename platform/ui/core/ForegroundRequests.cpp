#include "platform/ui/core/ForegroundRequests.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/InstanceDirectory.h"
#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
bool SocketAddress(long pid, sockaddr_un* address) {
  const std::string path = InstanceSocketPath(pid);
  *address = sockaddr_un{};
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Answers requests until the stop pipe's write end is closed; then closes both of its descriptors.
void HandleRequests(int socket, int stop) {
  pollfd items[2] = {{socket, POLLIN, 0}, {stop, POLLIN, 0}};
  char buffer[128];
  for (;;) {
    if (poll(items, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (items[1].revents != 0) break;
    if ((items[0].revents & POLLIN) == 0) break;
    const ssize_t got = recv(socket, buffer, sizeof buffer - 1, MSG_DONTWAIT);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      break;
    }
    buffer[got] = 0;
    unsigned long long handle = 0;
    int lastOwned = 0;
    if (std::sscanf(buffer, "F %llu %d", &handle, &lastOwned) != 2) continue;
    HWND window = reinterpret_cast<HWND>(uintptr_t(handle));
    if (!IsWindow(window) || IsRemoteWindowHandle(window)) continue;
    ActivateWindow(window, lastOwned != 0);
    // Another program asked for this one: the display comes forward even when the window was
    // already in front within this program (ActivateWindow raises only on a change).
    if (DisplayBackend* backend = CurrentDisplayBackend()) backend->Raise();
  }
  close(socket);
  close(stop);
}

// This process's listening socket: its path, and the write end of the pipe whose closing ends the
// thread that answers it (-1: not listening).
struct Listener {
  std::mutex lock;
  long pid = 0;
  std::string path;
  int stop = -1;
};

Listener& TheListener() {
  static Listener* listener = new Listener();
  return *listener;
}

// A child made by fork inherits the parent's listener but not its thread or its socket's name.
void ForgetInheritedListener(Listener& listener) {
  if (listener.stop >= 0 && listener.pid != long(getpid())) {
    close(listener.stop);
    listener.stop = -1;
  }
}
}  // namespace

bool ListenForForegroundRequests() {
  Listener& listener = TheListener();
  std::lock_guard<std::mutex> held(listener.lock);
  ForgetInheritedListener(listener);
  if (listener.stop >= 0) return true;
  sockaddr_un address;
  if (InstanceDirectory().empty() || !SocketAddress(long(getpid()), &address)) return false;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int stop[2];
  if (pipe2(stop, O_CLOEXEC) != 0) {
    close(fd);
    return false;
  }
  // Shared, so that no other process takes the earlier socket under this name for a stale one
  // while this one replaces it. Held for a few system calls only, so a short wait for another
  // process's removal of a stale socket suffices; without the lock the bind goes ahead anyway.
  int directoryLock = -1;
  for (int attempt = 0; attempt < 10 && (directoryLock = LockInstanceDirectory(LOCK_SH)) < 0; ++attempt) {
    usleep(1000);
  }
  unlink(address.sun_path);  // left by an earlier process with this id
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (directoryLock >= 0) close(directoryLock);
  if (!bound) {
    close(fd);
    close(stop[0]);
    close(stop[1]);
    return false;
  }
  listener.pid = long(getpid());
  listener.path = address.sun_path;
  listener.stop = stop[1];
  static bool removedAtExit = false;
  if (!removedAtExit) {
    // A program that ends with windows still listed (exit from its entry point) removes it too.
    removedAtExit = std::atexit([] { StopListeningForForegroundRequests(); }) == 0;
  }
  std::thread(HandleRequests, fd, stop[0]).detach();
  return true;
}

void StopListeningForForegroundRequests() {
  Listener& listener = TheListener();
  std::lock_guard<std::mutex> held(listener.lock);
  ForgetInheritedListener(listener);
  if (listener.stop < 0) return;
  // The name goes first: nobody finds a socket that no longer answers.
  unlink(listener.path.c_str());
  close(listener.stop);
  listener.stop = -1;
}

bool SendForegroundRequest(long pid, uintptr_t handle, bool lastOwned) {
  sockaddr_un address;
  if (!SocketAddress(pid, &address)) return false;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  char request[64];
  const int length =
      std::snprintf(request, sizeof request, "F %llu %d\n", static_cast<unsigned long long>(handle), lastOwned ? 1 : 0);
  // Never waits: a process that stopped answering (its queue full) does not hold this one up.
  const bool sent = sendto(fd, request, size_t(length), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                           sizeof address) == length;
  close(fd);
  return sent;
}

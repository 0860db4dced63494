#include "platform/ui/core/ForegroundRequests.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

void HandleRequests(int socket) {
  char buffer[128];
  for (;;) {
    const ssize_t got = recv(socket, buffer, sizeof buffer - 1, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;
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
}

}  // namespace

bool ListenForForegroundRequests() {
  static std::mutex lock;
  static bool listening = false;
  std::lock_guard<std::mutex> held(lock);
  if (listening) return true;
  sockaddr_un address;
  if (InstanceDirectory().empty() || !SocketAddress(long(getpid()), &address)) return false;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  unlink(address.sun_path);  // left by an earlier process with this id
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return false;
  }
  listening = true;
  std::thread(HandleRequests, fd).detach();
  return true;
}

bool SendForegroundRequest(long pid, uintptr_t handle, bool lastOwned) {
  sockaddr_un address;
  if (!SocketAddress(pid, &address)) return false;
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  char request[64];
  const int length =
      std::snprintf(request, sizeof request, "F %llu %d\n", static_cast<unsigned long long>(handle), lastOwned ? 1 : 0);
  const bool sent =
      sendto(fd, request, size_t(length), 0, reinterpret_cast<sockaddr*>(&address), sizeof address) == length;
  close(fd);
  return sent;
}

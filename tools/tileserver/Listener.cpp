#include "tools/tileserver/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <system_error>
#include <thread>

namespace tileserver {

Listener::~Listener() {
  if (fd_ >= 0) ::close(fd_);
}

std::string Listener::Open(uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return std::string("socket: ") + std::strerror(errno);
  const int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return "bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
  if (::listen(fd_, kBacklog) != 0) return std::string("listen: ") + std::strerror(errno);
  socklen_t length = sizeof address;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return std::string("getsockname: ") + std::strerror(errno);
  port_ = ntohs(address.sin_port);
  return {};
}

void Listener::Run(const std::function<void(int fd)>& serve) {
  for (;;) {
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      return;
    }
    if (open_.load() >= kMaxConnections) {
      ::close(client);
      continue;
    }
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    open_.fetch_add(1);
    try {
      std::thread([this, client, serve] {
        serve(client);
        open_.fetch_sub(1);
      }).detach();
    } catch (const std::system_error&) {
      open_.fetch_sub(1);
      ::close(client);
    }
  }
}

}  // namespace tileserver

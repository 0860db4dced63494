#include "tools/tileserver/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace tileserver {
namespace {

struct ThreadStart {
  std::function<void()> body;
};

void* RunThread(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  start->body();
  return nullptr;
}

// Starts `body` on a thread that is detached from its creation, so that no moment exists in
// which a finished thread is neither joined nor detached.
bool StartDetached(std::function<void()> body) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  auto* start = new ThreadStart{std::move(body)};
  pthread_t thread;
  const bool started = pthread_create(&thread, &attributes, RunThread, start) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) delete start;
  return started;
}

}  // namespace

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
    const bool started = StartDetached([this, client, serve] {
      serve(client);
      open_.fetch_sub(1);
    });
    if (!started) {
      open_.fetch_sub(1);
      ::close(client);
    }
  }
}

}  // namespace tileserver

#include "tests/support/SilentListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kMaxFillers = 16;
constexpr int kConnectCheckMs = 100;
constexpr int kPollStepMs = 50;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A listening socket on 127.0.0.1 with a free port.
int Listen(int backlog, uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail("socket");
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, backlog) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    Fail("listen");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

UnansweredListener::UnansweredListener() {
  fd_ = Listen(0, &port_);
  // Connect until one connection stays unanswered: from then on the queue is full.
  for (int i = 0; i < kMaxFillers; ++i) {
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (filler < 0) Fail("socket");
    fillers_.push_back(filler);
    const sockaddr_in address = Loopback(port_);
    if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) continue;
    if (errno != EINPROGRESS) Fail("connect");
    pollfd p{filler, POLLOUT, 0};
    if (::poll(&p, 1, kConnectCheckMs) == 0) return;  // this one hangs: the queue is full
  }
  throw std::runtime_error("the accept queue never filled up");
}

UnansweredListener::~UnansweredListener() {
  for (int filler : fillers_) ::close(filler);
  ::close(fd_);
}

ScriptedServer::ScriptedServer(std::string answer, bool holdAfterAnswer)
    : answer_(std::move(answer)), hold_(holdAfterAnswer) {
  fd_ = Listen(16, &port_);
  thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  thread_.join();
  ::close(fd_);
}

std::vector<std::string> ScriptedServer::Requests() {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

void ScriptedServer::Serve() {
  // Polls in short steps so that the destructor is never kept waiting.
  while (!stopping_) {
    pollfd listening{fd_, POLLIN, 0};
    if (::poll(&listening, 1, kPollStepMs) <= 0) continue;
    const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::string received;
    bool open = true;
    while (open && !stopping_) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, kPollStepMs) <= 0) continue;
      char buffer[4096];
      const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      received.append(buffer, static_cast<size_t>(got));
      for (size_t end; (end = received.find("\r\n\r\n")) != std::string::npos;) {
        {
          std::lock_guard<std::mutex> guard(mutex_);
          requests_.push_back(received.substr(0, end));
        }
        received.erase(0, end + 4);
        if (::send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL) < 0 || !hold_) open = false;
        if (!open) break;
      }
    }
    ::close(client);
  }
}

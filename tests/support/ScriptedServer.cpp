#include "tests/support/ScriptedServer.h"

#include <poll.h>

#include "tests/support/LoopbackListen.h"

namespace {

constexpr int kBacklog = 16;
constexpr int kPollStepMs = 50;

}  // namespace

ScriptedServer::ScriptedServer(std::string answer, bool holdAfterAnswer)
    : answer_(std::move(answer)), hold_(holdAfterAnswer) {
  fd_ = loopback::Listen(kBacklog, &port_);
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

#include "tests/support/UnansweredListener.h"

#include <poll.h>

#include "tests/support/LoopbackListen.h"

namespace {

constexpr int kMaxFillers = 16;
constexpr int kConnectCheckMs = 100;

}  // namespace

UnansweredListener::UnansweredListener() {
  fd_ = loopback::Listen(0, &port_);
  // Connect until one connection stays unanswered: from then on the queue is full.
  for (int i = 0; i < kMaxFillers; ++i) {
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (filler < 0) break;
    fillers_.push_back(filler);
    const sockaddr_in address = loopback::Address(port_);
    if (::connect(filler, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) continue;
    if (errno != EINPROGRESS) break;
    pollfd p{filler, POLLOUT, 0};
    if (::poll(&p, 1, kConnectCheckMs) == 0) return;  // this one hangs: the queue is full
  }
  for (int filler : fillers_) ::close(filler);
  ::close(fd_);
  throw std::runtime_error("UnansweredListener: the accept queue never filled up");
}

UnansweredListener::~UnansweredListener() {
  for (int filler : fillers_) ::close(filler);
  ::close(fd_);
}

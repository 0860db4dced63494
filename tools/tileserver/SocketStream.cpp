#include "tools/tileserver/SocketStream.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace tileserver {
namespace {

constexpr size_t kReadChunk = 16384;

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SocketStream::~SocketStream() {
  if (fd_ >= 0) ::close(fd_);
}

bool SocketStream::SendAll(std::string_view data) {
  if (fd_ < 0) return false;
  while (!data.empty()) {
    const ssize_t sent = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

ReadResult SocketStream::ReadSome(std::string& into, int timeoutMs) {
  if (fd_ < 0) return ReadResult::Error;
  pollfd pfd{fd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&pfd, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return ReadResult::Timeout;
  if (ready < 0) return ReadResult::Error;
  char chunk[kReadChunk];
  ssize_t got;
  do {
    got = ::recv(fd_, chunk, sizeof chunk, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 0) return ReadResult::Closed;
  if (got < 0) return ReadResult::Error;
  into.append(chunk, static_cast<size_t>(got));
  return ReadResult::Data;
}

bool SocketStream::WaitForPeerClose(int waitMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string dropped;
  for (;;) {
    const int left = RemainingMs(deadline);
    if (left == 0) return false;
    dropped.clear();
    const ReadResult r = ReadSome(dropped, left);
    if (r == ReadResult::Closed || r == ReadResult::Error) return true;
    if (r == ReadResult::Timeout) return false;
  }
}

void SocketStream::CloseGracefully() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  WaitForPeerClose(kLingerMs);
  ::close(fd_);
  fd_ = -1;
}

void SocketStream::Reset() {
  if (fd_ < 0) return;
  linger hard{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace tileserver

// One accepted TCP connection: whole writes, reads with a time limit, a graceful close that
// lets the peer read everything sent, and an abortive close (RST).
#pragma once

#include <string>
#include <string_view>

namespace tileserver {

enum class ReadResult { Data, Closed, Timeout, Error };

class SocketStream {
 public:
  static constexpr int kLingerMs = 2000;  // how long a graceful close drains the peer's bytes

  explicit SocketStream(int fd) : fd_(fd) {}
  ~SocketStream();
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;

  // Writes all bytes; false when the peer has gone.
  bool SendAll(std::string_view data);
  // Appends what arrives within timeoutMs to `into`.
  ReadResult ReadSome(std::string& into, int timeoutMs);
  // Waits up to waitMs; true when the peer closed (or failed) meanwhile. Bytes it sends are dropped.
  bool WaitForPeerClose(int waitMs);
  // Sends FIN, drains what the peer still sends for at most kLingerMs, then closes.
  void CloseGracefully();
  // Closes with SO_LINGER 0: the peer sees a connection reset.
  void Reset();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_;
};

}  // namespace tileserver

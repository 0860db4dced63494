// The listening socket on 127.0.0.1 and the accept loop: one thread per connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace tileserver {

class Listener {
 public:
  static constexpr int kBacklog = 1024;
  static constexpr int kMaxConnections = 4096;  // further connections are closed at once

  ~Listener();

  // Binds 127.0.0.1:port (0: a free port) and listens. Returns an error text, empty on success.
  std::string Open(uint16_t port);
  uint16_t Port() const { return port_; }

  // Accepts for ever, running `serve(fd)` on a new thread for every connection.
  void Run(const std::function<void(int fd)>& serve);

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<int> open_{0};
};

}  // namespace tileserver

// A port on 127.0.0.1 where connect() never completes, for tests of clients that must not hang
// while connecting. It listens with the smallest backlog, never accepts, and fills its accept queue
// with connections of its own, so the kernel drops every further SYN and a client's connect waits
// (for the client's own time-out). It stays on this machine: no address outside loopback is used.
#pragma once

#include <cstdint>
#include <vector>

class UnansweredListener {
 public:
  UnansweredListener();  // throws std::runtime_error when it cannot set itself up
  ~UnansweredListener();
  UnansweredListener(const UnansweredListener&) = delete;
  UnansweredListener& operator=(const UnansweredListener&) = delete;

  uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

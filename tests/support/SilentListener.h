// Loopback listeners that misbehave on purpose, for tests of clients that must not hang.
//
// UnansweredListener: a port on 127.0.0.1 where connect() never completes. It listens with the
// smallest backlog, never accepts, and fills its accept queue with connections of its own, so the
// kernel drops every further SYN and a client's connect waits (for its own time-out).
//
// ScriptedServer: accepts one connection at a time on 127.0.0.1, reads a request head, and answers
// every request with the same bytes; with `holdAfterAnswer` it then keeps the connection open and
// silent until the client closes it or the server is destroyed.
#pragma once

#include <atomic>
#include <mutex>
#include <cstdint>
#include <string>
#include <thread>
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

class ScriptedServer {
 public:
  ScriptedServer(std::string answer, bool holdAfterAnswer);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  // The request heads received so far, oldest first.
  std::vector<std::string> Requests();

 private:
  void Serve();

  const std::string answer_;
  const bool hold_;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

// A server on 127.0.0.1 that answers every request head with the same bytes, for wire-level tests
// of what a client makes of an answer (a proxy's answer to CONNECT, for instance). It serves one
// connection at a time; with `holdAfterAnswer` it keeps each connection open and silent after
// answering, until the client closes it or the server is destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedServer {
 public:
  ScriptedServer(std::string answer, bool holdAfterAnswer);  // throws std::runtime_error
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

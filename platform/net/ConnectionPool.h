// The process-wide pool of idle, kept-alive connections of the HTTP client.
//
// A connection is a live connection whose last answer was read to its end, together with whatever
// holds it (IdleConnection: for libcurl, the easy and multi handles whose connection cache keeps
// it), and the socket it runs on, which the pool watches while it is idle. It is filed under a
// key naming where it leads: the proxy it is connected to ("proxy http://host:port"), or the server
// for a direct request ("http://host:port"). A request for the same key takes an idle connection
// instead of connecting; only one request holds a connection at a time, since taking removes it
// from the pool.
//
// Bounded: at most `perKey` idle connections under one key and `total` in all (the oldest is closed
// to make room), and none older than `idleMs` is handed out (expired ones are closed whenever the
// pool is used). A connection whose peer has closed it, or that has bytes nobody asked for, is
// closed rather than handed out. Thread-safe; connections are closed outside the lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What holds one idle connection; destroying it closes the connection.
class IdleConnection {
 public:
  explicit IdleConnection(int fd) : fd_(fd) {}
  virtual ~IdleConnection() = default;
  IdleConnection(const IdleConnection&) = delete;
  IdleConnection& operator=(const IdleConnection&) = delete;
  int Socket() const { return fd_; }

 private:
  int fd_;
};

class ConnectionPool {
 public:
  using Clock = std::chrono::steady_clock;

  struct Limits {
    size_t perKey;
    size_t total;
    Clock::duration idle;
  };

  // The client's pool, with the device's limits (WinInet.h).
  static ConnectionPool& Shared();

  explicit ConnectionPool(Limits limits) : limits_(limits) {}
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // An idle connection filed under `key`, or null.
  std::unique_ptr<IdleConnection> Take(const std::string& key, Clock::time_point now);
  // Files a connection under `key`; closes it instead when it is no longer usable.
  void Give(const std::string& key, std::unique_ptr<IdleConnection> connection, Clock::time_point now);

  // Idle connections held now (after closing the expired ones).
  size_t IdleCount(Clock::time_point now);
  // Closes every idle connection.
  void Clear();

  // True when `fd` has neither been closed by its peer nor received unasked bytes.
  static bool IsQuiet(int fd);

 private:
  struct Idle {
    std::string key;
    std::unique_ptr<IdleConnection> connection;
    Clock::time_point since;
  };
  using Doomed = std::vector<std::unique_ptr<IdleConnection>>;  // closed when it goes out of scope

  // Moves the expired connections out of idle_ into `doomed`. Called under mutex_.
  void TakeExpired(Clock::time_point now, Doomed& doomed);

  const Limits limits_;
  std::mutex mutex_;
  std::deque<Idle> idle_;  // oldest first
};

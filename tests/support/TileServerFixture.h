// Runs the local tile server (tools/tileserver) for a test or a benchmark: starts it on a free
// loopback port, waits until it answers, talks to its control endpoints, and stops it again.
// Failures to start or to reach it throw std::runtime_error with a clear message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One line of the server's request log.
struct TileServerLogEntry {
  int64_t timeMs = 0;     // milliseconds since the server started
  std::string form;       // "absolute" (proxy form) or "origin"
  std::string host;       // the host the request named ("-" when none)
  std::string path;       // e.g. "/mt?v=w2.92&hl=ko&x=53&y=24&z=6"
  std::string userAgent;  // "-" when none
  std::string outcome;    // e.g. "200 tile", "404 rule", "reset after 0 bytes"
};

struct TileServerCounters {
  uint64_t requests = 0;     // tile requests since start or the last Reset
  uint64_t inFlight = 0;     // tile requests being answered now
  uint64_t maxInFlight = 0;  // the most answered at once
  uint64_t connections = 0;  // connections that carried a tile request
};

// Starts tools/tileserver on a free loopback port, waits until it answers (bounded), and stops
// it in the destructor (SIGTERM, then SIGKILL after a bounded wait). The server also exits by
// itself when this process ends. Create it on a thread that outlives it (the main thread).
class TileServer {
 public:
  static constexpr int kStartTimeoutMs = 20000;
  static constexpr int kStopTimeoutMs = 5000;
  static constexpr int kControlTimeoutMs = 10000;

  explicit TileServer(std::vector<std::string> extraArgs = {});
  ~TileServer();
  TileServer(const TileServer&) = delete;
  TileServer& operator=(const TileServer&) = delete;

  // The server program's path (for tests that run it themselves).
  static const char* ExecutablePath();

  uint16_t Port() const { return port_; }
  std::string HostPort() const;  // "127.0.0.1:PORT"

  void AddRule(const std::string& rule);  // same text syntax as --rule; throws when rejected
  void Reset();                           // clear run-time rules, log and counters
  std::vector<TileServerLogEntry> Log();  // parsed request log, oldest first
  // The log once no request in it is "pending" (at most timeoutMs, then as it stands). A request is
  // logged when it starts and its outcome filled in after the answer is written, so a client can
  // hold the whole answer before the server has recorded how it went.
  std::vector<TileServerLogEntry> AnsweredLog(int timeoutMs = kControlTimeoutMs);
  TileServerCounters Counters();
  bool WaitForRequests(size_t count, int timeoutMs);  // polls the counters
  // Ends the server at once with SIGKILL, as a crash or a power cut would, and reaps it.
  void Kill();

 private:
  std::string Control(const std::string& method, const std::string& path, const std::string& body = "");
  void Stop();

  int pid_ = -1;
  uint16_t port_ = 0;
};

// Sets http_proxy to the server (http://127.0.0.1:PORT) and clears no_proxy, NO_PROXY,
// HTTP_PROXY, ALL_PROXY and all_proxy for its lifetime; restores the old values afterwards.
// Environment changes are not thread-safe: create it before the threads that read it.
class ProxyEnvironment {
 public:
  explicit ProxyEnvironment(const TileServer& server);
  ~ProxyEnvironment();
  ProxyEnvironment(const ProxyEnvironment&) = delete;
  ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

 private:
  struct Saved {
    std::string name;
    bool wasSet = false;
    std::string value;
  };
  std::vector<Saved> saved_;
};

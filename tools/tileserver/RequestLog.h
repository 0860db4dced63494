// The request log (one entry per tile request, written when its answer is finished) and the
// counters (requests, requests in flight now, the most in flight at once, connections).
// Control requests are neither logged nor counted. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace tileserver {

struct LogEntry {
  int64_t timeMs = 0;     // milliseconds since the server started, when the request arrived
  std::string form;       // "absolute" (proxy form, http://host/path) or "origin" (/path)
  std::string host;
  std::string path;
  std::string userAgent;
  std::string outcome;    // e.g. "200 tile", "404 rule", "reset after 0 bytes"
};

class RequestLog {
 public:
  static constexpr size_t kMaxEntries = 200000;  // beyond this the oldest entries are dropped

  RequestLog() : start_(std::chrono::steady_clock::now()) {}

  int64_t NowMs() const;
  void SetEcho(bool echo) { echo_ = echo; }  // also print each entry to stderr (set before serving)

  void ConnectionOpened();
  void RequestBegan();
  void RequestEnded(LogEntry entry);
  void Reset();  // clears entries and counts; requests still in flight stay counted as such

  // One line per entry: time, form, host, path, user agent, outcome, separated by tabs.
  // Tabs and control characters inside a field become '?'; an empty field is "-".
  std::string Text() const;
  static std::string Line(const LogEntry& entry);
  // "requests N", "inFlight N", "maxInFlight N", "connections N", one per line.
  std::string CountersText() const;

 private:
  const std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  std::deque<LogEntry> entries_;
  uint64_t requests_ = 0;
  uint64_t inFlight_ = 0;
  uint64_t maxInFlight_ = 0;
  uint64_t connections_ = 0;
  bool echo_ = false;
};

// Counts a request in flight for its lifetime.
class InFlightRequest {
 public:
  explicit InFlightRequest(RequestLog& log) : log_(log) { log_.RequestBegan(); }
  ~InFlightRequest() = default;
  InFlightRequest(const InFlightRequest&) = delete;
  InFlightRequest& operator=(const InFlightRequest&) = delete;
  void Finish(LogEntry entry) { log_.RequestEnded(std::move(entry)); }

 private:
  RequestLog& log_;
};

}  // namespace tileserver

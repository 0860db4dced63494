// The request log (one entry per tile request) and the counters (requests, requests in flight
// now, the most in flight at once, connections). Control requests are neither logged nor
// counted. An entry is made when a request arrives, with the outcome "pending"; its outcome is
// set, and the request stops counting as in flight, just before the answer's last bytes are
// written, so a client that has read a whole answer always finds it logged. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_set>

namespace tileserver {

struct LogEntry {
  int64_t timeMs = 0;  // milliseconds since the server started, when the request arrived
  std::string form;    // "absolute" (proxy form, http://host/path) or "origin" (/path)
  std::string host;
  std::string path;
  std::string userAgent;
  std::string outcome;  // e.g. "200 tile", "404 rule", "reset after 0 bytes"
};

inline constexpr const char* kPendingOutcome = "pending";

class RequestLog {
 public:
  static constexpr size_t kMaxEntries = 200000;  // beyond this the oldest entries are dropped

  RequestLog() : start_(std::chrono::steady_clock::now()) {}

  int64_t NowMs() const;
  void SetEcho(bool echo) { echo_ = echo; }  // also print each outcome to stderr (set before serving)

  void ConnectionOpened();
  // Logs a new request (its outcome pending) and counts it in flight. Returns its id.
  uint64_t RequestBegan(LogEntry entry);
  // Sets the request's outcome; the first call also ends its time in flight. A later call
  // corrects the outcome (e.g. when the last write failed after all).
  void RequestFinished(uint64_t id, const std::string& outcome);
  // Clears entries and counts; requests still in flight stay counted as such.
  void Reset();

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
  uint64_t firstId_ = 0;  // id of entries_.front()
  uint64_t nextId_ = 0;
  std::unordered_set<uint64_t> inFlightIds_;
  uint64_t requests_ = 0;
  uint64_t maxInFlight_ = 0;
  uint64_t connections_ = 0;
  bool echo_ = false;
};

}  // namespace tileserver

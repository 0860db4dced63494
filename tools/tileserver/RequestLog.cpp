#include "tools/tileserver/RequestLog.h"

#include <algorithm>
#include <cstdio>

namespace tileserver {
namespace {

std::string Field(const std::string& value) {
  if (value.empty()) return "-";
  std::string out = value;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

}  // namespace

int64_t RequestLog::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

void RequestLog::ConnectionOpened() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++connections_;
}

uint64_t RequestLog::RequestBegan(LogEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint64_t id = nextId_++;
  entry.outcome = kPendingOutcome;
  entries_.push_back(std::move(entry));
  if (entries_.size() > kMaxEntries) {
    entries_.pop_front();
    ++firstId_;
  }
  ++requests_;
  inFlightIds_.insert(id);
  maxInFlight_ = std::max<uint64_t>(maxInFlight_, inFlightIds_.size());
  return id;
}

void RequestLog::RequestFinished(uint64_t id, const std::string& outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  inFlightIds_.erase(id);
  if (id < firstId_ || id - firstId_ >= entries_.size()) return;  // dropped or reset meanwhile
  LogEntry& entry = entries_[id - firstId_];
  entry.outcome = outcome;
  if (echo_) std::fputs(Line(entry).c_str(), stderr);
}

void RequestLog::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  firstId_ = nextId_;
  requests_ = 0;
  connections_ = 0;
  maxInFlight_ = inFlightIds_.size();
}

std::string RequestLog::Line(const LogEntry& e) {
  return std::to_string(e.timeMs) + '\t' + Field(e.form) + '\t' + Field(e.host) + '\t' + Field(e.path) + '\t' +
         Field(e.userAgent) + '\t' + Field(e.outcome) + '\n';
}

std::string RequestLog::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  for (const LogEntry& e : entries_) out += Line(e);
  return out;
}

std::string RequestLog::CountersText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return "requests " + std::to_string(requests_) + "\ninFlight " + std::to_string(inFlightIds_.size()) +
         "\nmaxInFlight " + std::to_string(maxInFlight_) + "\nconnections " + std::to_string(connections_) + "\n";
}

}  // namespace tileserver

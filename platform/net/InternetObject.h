// The object behind a client handle: a root (session), a connection or a request.
#pragma once

#include <atomic>
#include <cstddef>

class InternetObject {
 public:
  enum class Kind { kSession, kConnection, kRequest };

  explicit InternetObject(Kind kind) : kind_(kind) { ++liveCount_; }
  virtual ~InternetObject() { --liveCount_; }
  InternetObject(const InternetObject&) = delete;
  InternetObject& operator=(const InternetObject&) = delete;

  Kind GetKind() const { return kind_; }

  // Called once when the handle is closed; the object itself lives on while a call still uses it.
  virtual void OnClose() {}

  // Objects alive in the process (open handles and objects still held by a call in progress).
  static size_t LiveCount() { return liveCount_.load(); }

 private:
  const Kind kind_;
  static inline std::atomic<size_t> liveCount_{0};
};

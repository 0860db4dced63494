// One HTTP GET on libcurl, read as a pull stream: the calling thread drives the transfer only while it
// waits inside WaitForHead, Read or Available.
//
// Each transfer has its own easy and multi handle; they are used by one thread at a time (the caller
// of the request, whose calls are serialised) and only Wake may be called from another thread.
// Body bytes go straight into the buffer of a waiting Read; bytes that arrive while no read waits go
// into a bounded overflow, and when that is full the transfer is paused until a read has drained it.
// The transfer's final libcurl result is kept, so that a clean end of the body is told apart from a
// broken one. Content-Length is interpreted here, not by libcurl (see BodyFraming), so that the
// header text always reaches the caller.
//
// Connections: each transfer has its own easy and multi handle, and the multi handle's connection
// cache (one connection at most) is what keeps a connection alive. When the settings name a pool key,
// a transfer starts on the handles of an idle connection from the client's pool (ConnectionPool), and
// libcurl sends the request on that connection (or on a new one when it has died, retrying once on
// its own when a kept connection fails before any answer). When the transfer is destroyed after its
// answer was read to its end and libcurl kept the connection open (HTTP/1.1, no "Connection: close",
// no failure), the handles go back to the pool with their connection; otherwise they are freed.
// Handles move between threads only through the pool's lock, so one thread at a time uses them.
//
// Minimum speed: once the request is sent, the bytes received (head and body) are counted over
// windows of the given length, timed like the receive time-out (only while a call waits and the
// transfer is not paused for want of a reader); a window with fewer than the minimum ends the
// transfer with ERROR_INTERNET_TIMEOUT, so that a server trickling bytes cannot hold it for ever.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/kernel/PlatformTypes.h"
#include "platform/net/BodyFraming.h"
#include "platform/net/ConnectionPool.h"
#include "platform/net/OverflowBuffer.h"
#include "platform/net/ResponseHead.h"

struct TransferSettings {
  std::string url;
  std::string userAgent;  // empty: none sent
  std::string proxy;      // the proxy URL; empty: none
  std::string poolKey;    // where the connection leads (ConnectionPool); empty: never pooled
  // libcurl refuses a head whose Content-Length is no number at all (e.g. "-5"); with this it does not
  // read the length, so that such a head can be read as sent.
  bool ignoreDeclaredLength = false;
  bool sendCredentials = false;
  std::string userName;
  std::string password;
  DWORD connectTimeoutMs = 0;
  DWORD receiveTimeoutMs = 0;
  DWORD minimumSpeed = 0;  // bytes per second; 0: no bound
  DWORD minimumSpeedWindowMs = 0;
};

class CurlTransfer {
 public:
  static constexpr size_t kOverflowCapacity = 64 * 1024;
  // A paused transfer resumes once the overflow has room for a whole delivery of libcurl.
  static constexpr size_t kResumeRoom = CURL_MAX_WRITE_SIZE;
  static_assert(kResumeRoom <= kOverflowCapacity);

  // Sets up the handles and starts connecting. Null and `error` set when that fails.
  static std::unique_ptr<CurlTransfer> Start(const TransferSettings& settings, DWORD* error);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  // Waits for the final response's head. ERROR_SUCCESS or the failure.
  DWORD WaitForHead(const std::atomic<bool>& cancelled);
  // Complete after WaitForHead succeeded.
  const ResponseHead& Head() const { return head_; }

  // Moves up to `capacity` body bytes to `out`, waiting until some are there. ERROR_SUCCESS with
  // *count 0 only at the end of the body; a failure is final, later calls repeat it.
  DWORD Read(uint8_t* out, size_t capacity, size_t* count, const std::atomic<bool>& cancelled);

  // The bytes that Read can return without waiting, waiting until there are some or the body has
  // ended. A broken body gives 0 here and its failure at the next Read.
  DWORD Available(size_t* count, const std::atomic<bool>& cancelled);

  // Makes a wait in progress in another thread look at its cancel flag at once. Thread-safe.
  void Wake();

  // True when WaitForHead failed because libcurl refused the head's Content-Length.
  bool HeadRefusedForItsLength() const;

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr int kLongestPollMs = 1000;

  CurlTransfer() : overflow_(kOverflowCapacity) {}

  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  size_t TakeBody(const uint8_t* data, size_t count);

  // Drives the transfer until `satisfied` holds, the transfer is done, or a failure (cancel,
  // receive time-out, libcurl error of the multi interface).
  DWORD Drive(const std::function<bool()>& satisfied, const std::atomic<bool>& cancelled);
  void CollectDone();
  // The handles with their connection, when the connection may serve another request once this
  // transfer is gone; else null.
  std::unique_ptr<IdleConnection> TakeReusableConnection();
  // True when a window of waiting has passed with fewer bytes than the minimum speed asks; else
  // starts the next window once one has passed.
  bool MinimumSpeedMissed();
  void ResumeIfRoom();

  bool NetworkBodyComplete() const;
  bool BodyEnded() const { return overflow_.Size() == 0 && NetworkBodyComplete(); }
  // The failure of a body that can no longer be completed, or ERROR_SUCCESS.
  DWORD BodyFailure() const;

  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  bool added_ = false;
  DWORD receiveTimeoutMs_ = 0;

  ResponseHead head_;
  std::optional<BodyFraming> framing_;
  uint64_t acceptedBytes_ = 0;  // body bytes taken so far (to a reader or the overflow)
  OverflowBuffer overflow_;
  bool paused_ = false;

  // The buffer of the Read that is waiting, if any.
  uint8_t* reader_ = nullptr;
  size_t readerCapacity_ = 0;
  size_t readerFilled_ = 0;

  bool done_ = false;
  CURLcode result_ = CURLE_OK;
  DWORD failure_ = ERROR_SUCCESS;  // sticky failure of the body

  bool requestSent_ = false;
  Clock::time_point lastProgress_;

  // Connection.
  std::string poolKey_;
  bool extraBytes_ = false;     // bytes arrived past the body's end
  uint64_t bytesReceived_ = 0;  // head and body bytes, for the minimum speed

  // Minimum speed.
  uint64_t minimumSpeed_ = 0;
  Clock::duration speedWindow_{};
  Clock::duration windowWaited_{};
  uint64_t windowStartBytes_ = 0;
};

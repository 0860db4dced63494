// A request handle's object: one GET, sent once, whose redirects it follows itself (one transfer per
// hop), then read as a stream.
//
// Calls are serialised by a lock held for the whole call. Closing the handle (OnClose) may come from
// any thread: it marks the request cancelled and wakes a wait in progress, which then fails with
// ERROR_INTERNET_OPERATION_CANCELLED; the transfer is freed when the last call using it has returned.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/kernel/PlatformTypes.h"
#include "platform/net/CurlTransfer.h"
#include "platform/net/InternetConnection.h"
#include "platform/net/InternetObject.h"
#include "platform/net/RequestUrl.h"

class HttpRequest : public InternetObject {
 public:
  static constexpr Kind kKind = Kind::kRequest;

  HttpRequest(std::shared_ptr<const ConnectionSettings> connection, RequestUrl url)
      : InternetObject(kKind), connection_(std::move(connection)), url_(std::move(url)) {}

  // Each returns ERROR_SUCCESS or the failure.
  DWORD Send();
  DWORD QueryInfo(DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
  DWORD Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead);
  DWORD Available(DWORD* bytesAvailable);

  void OnClose() override;

 private:
  enum class State { kOpened, kHeadReady, kFailed };

  void ReplaceTransfer(std::unique_ptr<CurlTransfer> transfer);
  DWORD Fail(DWORD error);

  const std::shared_ptr<const ConnectionSettings> connection_;
  const RequestUrl url_;

  std::mutex callLock_;  // held for the whole of each call
  State state_ = State::kOpened;

  // Written only by a call holding callLock_, always under transferLock_; OnClose reads it under
  // transferLock_ alone, to wake the call in progress.
  std::mutex transferLock_;
  std::unique_ptr<CurlTransfer> transfer_;
  std::atomic<bool> cancelled_{false};
};

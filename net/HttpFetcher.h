// Downloads the body of one HTTP URL on a worker thread of its own, into a ReceiveBuffer, and
// reports the outcome through one of two callbacks. One download at a time per fetcher; a fetcher
// can be used for any number of downloads.
#pragma once

#include <atomic>
#include <cstdint>

#include "net/ReceiveBuffer.h"
#include "platform/kernel/CriticalSection.h"
#include "platform/net/WinInet.h"

// Called on the worker thread with the received bytes (or null), a byte count and the context
// given to Fetch.
using FetchCallback = void (*)(const uint8_t* data, uint32_t count, void* context);

class HttpFetcher {
 public:
  static constexpr const char16_t* kUserAgent = u"unknown";
  static constexpr const char16_t* kSchemePrefix = u"http://";
  static constexpr const char16_t* kDefaultPath = u"/";
  static constexpr uint32_t kHostCapacity = 100;     // 99 characters and the terminator
  static constexpr uint32_t kPathCapacity = 500;     // 499 characters
  static constexpr uint32_t kUserNameCapacity = 50;  // 49 characters
  static constexpr uint32_t kPasswordCapacity = 50;  // 49 characters
  static constexpr DWORD kRequestFlags =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;  // 0x84400000
  static constexpr int64_t kAcceptedStatus = 200;
  static constexpr DWORD kHeaderQueryBytes = 32;            // 16 UTF-16 units per header query
  static constexpr uint32_t kMaxDeclaredLength = 10485760;  // largest accepted body, inclusive
  static constexpr uint32_t kUndeclaredReserve = 1048576;   // reserved when no length is declared
  static constexpr uint32_t kReadChunk = 1024;
  static constexpr DWORD kAvailabilityRetryMs = 50;

  struct RequestBlock {
    HttpFetcher* owner;
    char16_t host[kHostCapacity];
    char16_t path[kPathCapacity];
    char16_t userName[kUserNameCapacity];
    char16_t password[kPasswordCapacity];
    uint16_t port;
    FetchCallback onSuccess;
    FetchCallback onFailure;
    void* context;
  };

  HttpFetcher();
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;
  // Closes any handles left and deletes the lock. It does not stop a worker: call Cancel first.
  virtual ~HttpFetcher();

  // Starts downloading `url` into `buffer` on a new worker thread. 1 when the worker was started;
  // 0 for a null URL or buffer, while a worker runs, or when the thread cannot be created.
  int32_t Fetch(const char16_t* url, ReceiveBuffer* buffer, FetchCallback onSuccess, FetchCallback onFailure,
                void* context, const char16_t* userName, const char16_t* password, uint16_t port);
  // Asks a running worker to stop, aborting the network call it may be blocked in (by closing its
  // request handle), and waits, without a time limit, until it has ended; that wait is short, as
  // the worker no longer waits on the network. A cancelled download ends with a failure report
  // (null data and the bytes received so far), as one whose cancel came during its body always
  // did. 1 when a worker existed, 0 when there was none.
  int32_t Cancel();
  // Closes the request, connection and root handles that are open, in that order.
  void CloseHandles();

  bool HasWorker() const { return workerThread.load(std::memory_order_acquire) != nullptr; }

  HINTERNET internet = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  std::atomic<uint8_t> cancelRequested{0};    // 1 asks the worker to stop
  std::atomic<HANDLE> workerThread{nullptr};  // set exactly while a worker exists
  ReceiveBuffer* receiveBuffer = nullptr;     // not owned
  RequestBlock requestBlock;
  CRITICAL_SECTION lock;

 private:
  static DWORD WorkerMain(LPVOID parameter);
  bool OpenAndSend();
  // The answer's status code, or -1 when it cannot be read (the request was closed by a cancel).
  int64_t ReadStatus();
  int64_t DeclaredLength();
  bool ReadBody(ReceiveBuffer* buffer, uint32_t declaredLength, uint32_t* count);
  void FinishWorker();
};

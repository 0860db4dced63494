#include "net/HttpFetcher.h"

#include <cstring>

#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/WideText.h"

HttpFetcher::HttpFetcher() {
  std::memset(&requestBlock, 0, sizeof requestBlock);
  InitializeCriticalSection(&lock);
}

HttpFetcher::~HttpFetcher() {
  CloseHandles();
  DeleteCriticalSection(&lock);
}

int32_t HttpFetcher::Fetch(const char16_t* url, ReceiveBuffer* buffer, FetchCallback onSuccess,
                           FetchCallback onFailure, void* context, const char16_t* userName,
                           const char16_t* password, uint16_t port) {
  if (url == nullptr || buffer == nullptr) return 0;
  if (HasWorker()) return 0;

  std::memset(&requestBlock, 0, sizeof requestBlock);
  requestBlock.owner = this;
  const char16_t* rest = WideStartsWith(url, kSchemePrefix) ? url + WideLength(kSchemePrefix) : url;
  const char16_t* slash = WideFind(rest, u'/');
  if (slash != nullptr) {
    WideCopyToField(requestBlock.host, kHostCapacity, rest, static_cast<size_t>(slash - rest));
    WideCopyToField(requestBlock.path, kPathCapacity, slash);
  } else {
    WideCopyToField(requestBlock.host, kHostCapacity, rest);
    WideCopyToField(requestBlock.path, kPathCapacity, kDefaultPath);
  }
  if (userName != nullptr) WideCopyToField(requestBlock.userName, kUserNameCapacity, userName);
  if (password != nullptr) WideCopyToField(requestBlock.password, kPasswordCapacity, password);
  requestBlock.port = port;
  requestBlock.onSuccess = onSuccess;
  requestBlock.onFailure = onFailure;
  requestBlock.context = context;
  receiveBuffer = buffer;

  cancelRequested.store(0);
  // The worker takes the lock before it looks at its own handle, so holding it here guarantees the
  // handle is stored before the worker can close it, however fast the download ends.
  EnterCriticalSection(&lock);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, WorkerMain, this, 0, &id);
  workerThreadId = id;
  workerThread.store(thread, std::memory_order_release);
  LeaveCriticalSection(&lock);
  return thread != nullptr ? 1 : 0;
}

int32_t HttpFetcher::Cancel() {
  HANDLE thread = workerThread.load(std::memory_order_acquire);
  if (thread == nullptr) return 0;
  cancelRequested.store(1);
  // The worker may close this handle as its last step while we wait; the wait still lasts until
  // the thread has ended (or fails at once when it already has).
  WaitForSingleObject(thread, INFINITE);
  // A worker that was already past its own reset of the flag leaves it to us: an idle fetcher
  // always rests at 0.
  cancelRequested.store(0);
  CloseHandles();
  return 1;
}

void HttpFetcher::CloseHandles() {
  if (request != nullptr) {
    InternetCloseHandle(request);
    request = nullptr;
  }
  if (connection != nullptr) {
    InternetCloseHandle(connection);
    connection = nullptr;
  }
  if (internet != nullptr) {
    InternetCloseHandle(internet);
    internet = nullptr;
  }
}

DWORD HttpFetcher::WorkerMain(LPVOID parameter) {
  auto* self = static_cast<HttpFetcher*>(parameter);
  if (self == nullptr) return 1;
  const RequestBlock& block = self->requestBlock;

  if (self->OpenAndSend() && self->StatusIsAccepted()) {
    const int64_t declared = self->DeclaredLength();
    if (declared < 0 || declared > kMaxDeclaredLength) {
      // Negative lengths and lengths beyond 32 bits count as too large.
      if (block.onFailure != nullptr) block.onFailure(nullptr, 0, block.context);
    } else {
      uint32_t count = static_cast<uint32_t>(declared);
      bool ok = self->ReadBody(self->receiveBuffer, count, &count);
      EnterCriticalSection(&self->lock);
      if (self->cancelRequested.load() == 1) ok = false;
      LeaveCriticalSection(&self->lock);
      if (ok) {
        if (block.onSuccess != nullptr) block.onSuccess(self->receiveBuffer->base, count, block.context);
      } else if (block.onFailure != nullptr) {
        block.onFailure(nullptr, count, block.context);
      }
    }
  }
  self->FinishWorker();
  return 1;
}

bool HttpFetcher::OpenAndSend() {
  internet = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (internet == nullptr) return false;
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  connection = InternetConnectW(internet, requestBlock.host, requestBlock.port,
                                requestBlock.userName[0] != 0 ? requestBlock.userName : nullptr,
                                requestBlock.password[0] != 0 ? requestBlock.password : nullptr,
                                INTERNET_SERVICE_HTTP, 0, context);
  if (connection == nullptr) return false;
  request = HttpOpenRequestW(connection, nullptr, requestBlock.path, nullptr, nullptr, nullptr, kRequestFlags, context);
  if (request == nullptr) return false;
  return HttpSendRequestW(request, nullptr, 0, nullptr, 0) != 0;
}

bool HttpFetcher::StatusIsAccepted() {
  char16_t text[kHeaderQueryBytes / sizeof(char16_t)] = {};
  DWORD size = kHeaderQueryBytes;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr)) return false;
  return WideToInt64(text) == kAcceptedStatus;
}

int64_t HttpFetcher::DeclaredLength() {
  char16_t text[kHeaderQueryBytes / sizeof(char16_t)] = {};
  DWORD size = kHeaderQueryBytes;
  // A length too long for the 32-byte buffer is beyond any accepted length as well.
  if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? -1 : 0;
  }
  return WideToInt64(text);
}

bool HttpFetcher::ReadBody(ReceiveBuffer* buffer, uint32_t declaredLength, uint32_t* count) {
  if (buffer == nullptr) return false;
  if (buffer->base != nullptr) buffer->Release();
  if (!buffer->Reserve(declaredLength != 0 ? declaredLength : kUndeclaredReserve)) return false;

  uint32_t total = 0;
  bool complete = false;  // the body ended, or the declared length arrived
  do {
    DWORD available = 0;
    if (InternetQueryDataAvailable(request, &available, 0, 0)) {
      uint8_t chunk[kReadChunk];
      DWORD read = 0;
      if (!InternetReadFile(request, chunk, kReadChunk, &read)) return false;
      if (read == 0) {
        // The end of the body: complete only when nothing that was declared is missing.
        complete = declaredLength == 0 || total == declaredLength;
        break;
      }
      uint8_t* at = buffer->Append(read);
      if (at == nullptr) break;  // more bytes than the region holds: the body is not what was declared
      std::memcpy(at, chunk, read);
      total += read;
      if (declaredLength != 0 && total == declaredLength) complete = true;
    } else {
      Sleep(kAvailabilityRetryMs);
    }
    if (cancelRequested.load() == 1) break;
  } while (declaredLength == 0 || total < declaredLength);

  *count = total;
  return complete && !(cancelRequested.load() == 1 && total != declaredLength);
}

void HttpFetcher::FinishWorker() {
  CloseHandles();
  EnterCriticalSection(&lock);
  cancelRequested.store(0);
  HANDLE self = workerThread.load(std::memory_order_acquire);
  LeaveCriticalSection(&lock);
  CloseHandle(self);
  // The very last touch of the fetcher: once this is null the owner may destroy it.
  workerThread.store(nullptr, std::memory_order_release);
}

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

int32_t HttpFetcher::Fetch(const char16_t* url, ReceiveBuffer* buffer, FetchCallback onSuccess, FetchCallback onFailure,
                           void* context, const char16_t* userName, const char16_t* password, uint16_t port) {
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
  HANDLE thread = CreateThread(nullptr, 0, WorkerMain, this, 0, nullptr);
  workerThread.store(thread, std::memory_order_release);
  LeaveCriticalSection(&lock);
  return thread != nullptr ? 1 : 0;
}

int32_t HttpFetcher::Cancel() {
  HANDLE thread = workerThread.load(std::memory_order_acquire);
  if (thread == nullptr) return 0;
  cancelRequested.store(1);
  // Closing the request aborts the call the worker may be blocked in (connecting, waiting for the
  // head, reading), so the wait below never lasts as long as the network would take. A worker that
  // has not stored its request yet sees the flag when it does (OpenAndSend).
  EnterCriticalSection(&lock);
  HINTERNET running = request;
  LeaveCriticalSection(&lock);
  // The worker may close the same handle meanwhile; a handle value is never given out again, so
  // the second close just fails.
  if (running != nullptr) InternetCloseHandle(running);
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
  // Cancel reads `request` under the lock; the handles are closed outside it.
  EnterCriticalSection(&lock);
  HINTERNET handles[] = {request, connection, internet};
  request = connection = internet = nullptr;
  LeaveCriticalSection(&lock);
  for (HINTERNET handle : handles) {
    if (handle != nullptr) InternetCloseHandle(handle);
  }
}

DWORD HttpFetcher::WorkerMain(LPVOID parameter) {
  auto* self = static_cast<HttpFetcher*>(parameter);
  if (self == nullptr) return 1;
  const RequestBlock& block = self->requestBlock;

  const bool sent = self->OpenAndSend();
  const int64_t status = sent ? self->ReadStatus() : -1;
  EnterCriticalSection(&self->lock);
  const bool cancelledBeforeTheHead = status < 0 && self->cancelRequested.load() == 1;
  LeaveCriticalSection(&self->lock);
  if (cancelledBeforeTheHead) {
    // The cancel aborted the send, or closed the request before its status could be read. Left
    // alone, the answer would have come and the cancel would have ended its body: the same failure
    // report, with no byte received.
    if (block.onFailure != nullptr) block.onFailure(nullptr, 0, block.context);
  } else if (status == kAcceptedStatus) {
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
  connection = InternetConnectW(
      internet, requestBlock.host, requestBlock.port, requestBlock.userName[0] != 0 ? requestBlock.userName : nullptr,
      requestBlock.password[0] != 0 ? requestBlock.password : nullptr, INTERNET_SERVICE_HTTP, 0, context);
  if (connection == nullptr) return false;
  HINTERNET opened =
      HttpOpenRequestW(connection, nullptr, requestBlock.path, nullptr, nullptr, nullptr, kRequestFlags, context);
  EnterCriticalSection(&lock);
  request = opened;
  const bool cancelled = cancelRequested.load() == 1;
  LeaveCriticalSection(&lock);
  // A cancel that came before the request could be aborted: nothing is sent.
  if (request == nullptr || cancelled) return false;
  return HttpSendRequestW(request, nullptr, 0, nullptr, 0) != 0;
}

int64_t HttpFetcher::ReadStatus() {
  char16_t text[kHeaderQueryBytes / sizeof(char16_t)] = {};
  DWORD size = kHeaderQueryBytes;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &size, nullptr)) return -1;
  return WideToInt64(text);
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
  // The count reported is always the bytes received, whichever way the read ends.
  *count = 0;
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
      if (!InternetReadFile(request, chunk, kReadChunk, &read)) break;
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
    } else if (cancelRequested.load() != 1) {
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

#include "platform/net/CurlTransfer.h"

#include <algorithm>
#include <cstring>

#include "platform/net/ConnectionPool.h"
#include "platform/net/CurlErrors.h"
#include "platform/net/CurlGlobal.h"
#include "platform/net/WinInet.h"

namespace {

constexpr const char* kAllowedProtocols = "http,https";

// The handles of a transfer whose connection is kept alive in the multi handle's cache.
class CurlHandles : public IdleConnection {
 public:
  CurlHandles(CURL* easy, CURLM* multi, int fd) : IdleConnection(fd), easy_(easy), multi_(multi) {}
  ~CurlHandles() override {
    if (easy_ != nullptr) curl_easy_cleanup(easy_);
    if (multi_ != nullptr) curl_multi_cleanup(multi_);  // closes the connection
  }
  // Hands the handles over to a new transfer.
  void Release(CURL** easy, CURLM** multi) {
    *easy = easy_;
    *multi = multi_;
    easy_ = nullptr;
    multi_ = nullptr;
  }

 private:
  CURL* easy_;
  CURLM* multi_;
};

}  // namespace

std::unique_ptr<CurlTransfer> CurlTransfer::Start(const TransferSettings& settings, DWORD* error) {
  if (!CurlGlobal::Ready()) {
    *error = ERROR_INTERNET_INTERNAL_ERROR;
    return nullptr;
  }
  std::unique_ptr<CurlTransfer> transfer(new CurlTransfer());
  std::unique_ptr<IdleConnection> idle;
  if (!settings.ignoreDeclaredLength && !settings.poolKey.empty()) {
    idle = ConnectionPool::Shared().Take(settings.poolKey, Clock::now());
  }
  if (idle) {
    // Only transfers give connections to the shared pool, always as CurlHandles.
    static_cast<CurlHandles*>(idle.get())->Release(&transfer->easy_, &transfer->multi_);
    curl_easy_reset(transfer->easy_);  // the options go; the connection stays in the multi handle
  } else {
    transfer->easy_ = curl_easy_init();
    transfer->multi_ = curl_multi_init();
    if (transfer->easy_ == nullptr || transfer->multi_ == nullptr) {
      *error = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    // The cache keeps this transfer's one connection for the next transfer on these handles.
    curl_multi_setopt(transfer->multi_, CURLMOPT_MAXCONNECTS, 1L);
  }
  transfer->receiveTimeoutMs_ = settings.receiveTimeoutMs;
  transfer->poolKey_ = settings.ignoreDeclaredLength ? std::string() : settings.poolKey;
  transfer->minimumSpeed_ = settings.minimumSpeed;
  transfer->speedWindow_ = std::chrono::milliseconds(settings.minimumSpeedWindowMs);

  CURL* easy = transfer->easy_;
  bool ok = curl_easy_setopt(easy, CURLOPT_URL, settings.url.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, kAllowedProtocols) == CURLE_OK;
  // Never signals: transfers run on many threads at once.
  ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  // Freeing an aborted transfer must not wait for a name lookup still in progress: a cancel never
  // waits on the network.
  ok = ok && curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) == CURLE_OK;
  // libcurl ends the body at its declared length, so that the connection can serve the next request;
  // whether the body is whole is still judged here (BodyFraming). Redirects are followed by the
  // request, one transfer each.
  ok = ok && curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, settings.ignoreDeclaredLength ? 1L : 0L) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
  // The body is handed over as sent; only the chunked transfer coding is undone.
  ok = ok && curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L) == CURLE_OK;
  ok =
      ok && curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connectTimeoutMs)) == CURLE_OK;
  if (!settings.userAgent.empty()) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERAGENT, settings.userAgent.c_str()) == CURLE_OK;
  }
  // The proxy is chosen by the caller (DeviceProxy); libcurl must not consult the environment, so
  // both are always set (an empty proxy means none, an empty bypass list bypasses nothing).
  ok = ok && curl_easy_setopt(easy, CURLOPT_PROXY, settings.proxy.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
  // A proxy's answer to CONNECT is not the server's answer: keep it out of the head.
  ok = ok && curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) == CURLE_OK;
  if (settings.sendCredentials) {
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERNAME, settings.userName.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.password.c_str()) == CURLE_OK;
  }
  ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get()) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get()) == CURLE_OK;
  if (!ok) {
    *error = ERROR_INTERNET_INTERNAL_ERROR;
    return nullptr;
  }
  if (curl_multi_add_handle(transfer->multi_, easy) != CURLM_OK) {
    *error = ERROR_INTERNET_INTERNAL_ERROR;
    return nullptr;
  }
  transfer->added_ = true;
  *error = ERROR_SUCCESS;
  return transfer;
}

CurlTransfer::~CurlTransfer() {
  std::unique_ptr<IdleConnection> kept = TakeReusableConnection();
  if (added_) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
  if (kept) ConnectionPool::Shared().Give(poolKey_, std::move(kept), Clock::now());
}

void CurlTransfer::Wake() { curl_multi_wakeup(multi_); }

std::unique_ptr<IdleConnection> CurlTransfer::TakeReusableConnection() {
  if (!added_ || poolKey_.empty() || !head_.Complete() || !framing_ || failure_ != ERROR_SUCCESS || extraBytes_ ||
      framing_->GetKind() == BodyFraming::Kind::kInvalid || !BodyEnded()) {
    return nullptr;  // not read to its end, or not a body whose end was known
  }
  if (!done_) {
    // The last bytes were taken; libcurl may need one more turn to finish the transfer.
    int running = 0;
    curl_multi_perform(multi_, &running);
    CollectDone();
  }
  if (!done_ || result_ != CURLE_OK) return nullptr;
  // libcurl closes a connection the server asked to close, or that it cannot use again.
  curl_socket_t fd = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(easy_, CURLINFO_ACTIVESOCKET, &fd) != CURLE_OK || fd == CURL_SOCKET_BAD) return nullptr;
  curl_multi_remove_handle(multi_, easy_);  // the connection stays in the multi handle's cache
  added_ = false;
  auto kept = std::make_unique<CurlHandles>(easy_, multi_, static_cast<int>(fd));
  easy_ = nullptr;
  multi_ = nullptr;
  return kept;
}

bool CurlTransfer::HeadRefusedForItsLength() const {
  return done_ && result_ == CURLE_WEIRD_SERVER_REPLY && head_.HasStatusLine() && !head_.Complete();
}

bool CurlTransfer::MinimumSpeedMissed() {
  if (minimumSpeed_ == 0 || windowWaited_ < speedWindow_) return false;
  const auto waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(windowWaited_).count();
  const uint64_t needed = minimumSpeed_ * static_cast<uint64_t>(waitedMs) / 1000;
  if (bytesReceived_ - windowStartBytes_ < needed) return true;
  windowWaited_ = Clock::duration::zero();  // the next window
  windowStartBytes_ = bytesReceived_;
  return false;
}

size_t CurlTransfer::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<CurlTransfer*>(self);
  const size_t bytes = size * count;
  transfer->lastProgress_ = Clock::now();
  transfer->bytesReceived_ += bytes;
  if (transfer->head_.AddLine(std::string_view(data, bytes))) {
    transfer->framing_ = BodyFraming::FromHead(transfer->head_);
  }
  return bytes;
}

size_t CurlTransfer::OnBody(char* data, size_t size, size_t count, void* self) {
  return static_cast<CurlTransfer*>(self)->TakeBody(reinterpret_cast<const uint8_t*>(data), size * count);
}

size_t CurlTransfer::TakeBody(const uint8_t* data, size_t count) {
  lastProgress_ = Clock::now();
  if (!framing_) return count;  // no final head yet: nothing here belongs to the body
  size_t usable = 0;
  switch (framing_->GetKind()) {
    case BodyFraming::Kind::kEmpty:
    case BodyFraming::Kind::kInvalid:
      extraBytes_ = extraBytes_ || count > 0;
      return count;  // not part of any readable body
    case BodyFraming::Kind::kDeclaredLength:
      // Bytes past the declared length are not part of the body.
      usable = static_cast<size_t>(std::min<uint64_t>(count, framing_->Length() - acceptedBytes_));
      extraBytes_ = extraBytes_ || usable < count;
      break;
    case BodyFraming::Kind::kUntilTransferEnds: usable = count; break;
  }
  const size_t readerRoom = reader_ != nullptr ? readerCapacity_ - readerFilled_ : 0;
  if (usable > readerRoom + overflow_.Free()) {
    // libcurl keeps the whole delivery and hands it over again once resumed.
    paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  const size_t toReader = std::min(usable, readerRoom);
  if (toReader > 0) {
    std::memcpy(reader_ + readerFilled_, data, toReader);
    readerFilled_ += toReader;
  }
  overflow_.Push(data + toReader, usable - toReader);
  acceptedBytes_ += usable;
  bytesReceived_ += count;
  return count;
}

void CurlTransfer::CollectDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
      done_ = true;
      result_ = message->data.result;
    }
  }
}

void CurlTransfer::ResumeIfRoom() {
  if (!paused_ || overflow_.Free() < kResumeRoom) return;
  paused_ = false;
  // May deliver the held bytes at once, through TakeBody, which can pause again.
  if (curl_easy_pause(easy_, CURLPAUSE_CONT) != CURLE_OK) failure_ = ERROR_INTERNET_INTERNAL_ERROR;
}

DWORD CurlTransfer::Drive(const std::function<bool()>& satisfied, const std::atomic<bool>& cancelled) {
  // Only time spent waiting inside a call counts towards the receive time-out and the minimum speed.
  lastProgress_ = Clock::now();
  Clock::time_point mark = lastProgress_;
  for (;;) {
    if (cancelled.load()) return ERROR_INTERNET_OPERATION_CANCELLED;
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
    CollectDone();
    Clock::time_point now = Clock::now();
    if (requestSent_ && !paused_) windowWaited_ += now - mark;
    mark = now;
    if (satisfied() || done_) return ERROR_SUCCESS;

    int waitMs = kLongestPollMs;
    if (!requestSent_) {
      // Until the request is out, only the connect time-out (libcurl's own) applies.
      long sent = 0;
      if (curl_easy_getinfo(easy_, CURLINFO_REQUEST_SIZE, &sent) == CURLE_OK && sent > 0) {
        requestSent_ = true;
        lastProgress_ = Clock::now();
      }
    }
    now = Clock::now();
    if (requestSent_ && !paused_) {
      const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastProgress_).count();
      if (idle >= static_cast<long long>(receiveTimeoutMs_)) return ERROR_INTERNET_TIMEOUT;
      waitMs = static_cast<int>(std::min<long long>(waitMs, receiveTimeoutMs_ - idle));
      if (MinimumSpeedMissed()) return ERROR_INTERNET_TIMEOUT;
      if (minimumSpeed_ != 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(speedWindow_ - windowWaited_).count();
        waitMs = static_cast<int>(std::clamp<long long>(left, 1, waitMs));
      }
    }
    if (curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr) != CURLM_OK) return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

DWORD CurlTransfer::WaitForHead(const std::atomic<bool>& cancelled) {
  const DWORD error = Drive([this] { return head_.Complete(); }, cancelled);
  if (error != ERROR_SUCCESS) return error;
  if (head_.Complete()) return ERROR_SUCCESS;
  // The transfer ended without a complete head.
  if (result_ != CURLE_OK) return InternetErrorFromCurl(result_);
  return ERROR_HTTP_INVALID_SERVER_RESPONSE;
}

bool CurlTransfer::NetworkBodyComplete() const {
  if (!framing_) return false;
  switch (framing_->GetKind()) {
    case BodyFraming::Kind::kEmpty: return true;
    case BodyFraming::Kind::kDeclaredLength: return acceptedBytes_ == framing_->Length();
    case BodyFraming::Kind::kUntilTransferEnds: return done_ && result_ == CURLE_OK;
    case BodyFraming::Kind::kInvalid: return false;
  }
  return false;
}

DWORD CurlTransfer::BodyFailure() const {
  if (failure_ != ERROR_SUCCESS) return failure_;
  if (!framing_) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  if (framing_->GetKind() == BodyFraming::Kind::kInvalid) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (NetworkBodyComplete() || !done_) return ERROR_SUCCESS;
  // Done, but the body is not complete: a broken transfer, or a clean close before the declared length.
  if (result_ != CURLE_OK) return InternetErrorFromCurl(result_);
  return ERROR_INTERNET_CONNECTION_ABORTED;
}

DWORD CurlTransfer::Read(uint8_t* out, size_t capacity, size_t* count, const std::atomic<bool>& cancelled) {
  *count = 0;
  if (capacity == 0) return failure_;
  // Bytes received before a failure are still delivered; the failure comes after them.
  if (const size_t taken = overflow_.Pop(out, capacity); taken > 0) {
    *count = taken;
    ResumeIfRoom();
    return ERROR_SUCCESS;
  }
  if (BodyEnded()) return ERROR_SUCCESS;
  if (const DWORD failure = BodyFailure(); failure != ERROR_SUCCESS) return failure_ = failure;

  ResumeIfRoom();
  reader_ = out;
  readerCapacity_ = capacity;
  readerFilled_ = 0;
  DWORD error = ERROR_SUCCESS;
  if (overflow_.Size() == 0) error = Drive([this] { return readerFilled_ > 0; }, cancelled);
  const size_t filled = readerFilled_;
  reader_ = nullptr;
  readerCapacity_ = readerFilled_ = 0;

  if (filled > 0) {
    *count = filled;
    return ERROR_SUCCESS;
  }
  // A resume may have refilled the overflow without driving.
  if (const size_t taken = overflow_.Pop(out, capacity); taken > 0) {
    *count = taken;
    return ERROR_SUCCESS;
  }
  if (error != ERROR_SUCCESS) return failure_ = error;
  if (BodyEnded()) return ERROR_SUCCESS;
  const DWORD failure = BodyFailure();
  return failure_ = (failure != ERROR_SUCCESS ? failure : ERROR_INTERNET_INTERNAL_ERROR);
}

DWORD CurlTransfer::Available(size_t* count, const std::atomic<bool>& cancelled) {
  *count = overflow_.Size();
  if (*count > 0 || failure_ != ERROR_SUCCESS || BodyEnded()) return ERROR_SUCCESS;
  if (const DWORD failure = BodyFailure(); failure != ERROR_SUCCESS) {
    failure_ = failure;
    return ERROR_SUCCESS;
  }
  ResumeIfRoom();
  const DWORD error = Drive([this] { return overflow_.Size() > 0; }, cancelled);
  *count = overflow_.Size();
  if (error == ERROR_INTERNET_OPERATION_CANCELLED) return error;
  if (error != ERROR_SUCCESS) failure_ = error;
  return ERROR_SUCCESS;
}

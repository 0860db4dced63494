#include "platform/net/HttpRequest.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/kernel/DecimalText.h"
#include "platform/net/DeviceProxy.h"
#include "platform/net/DeviceTimeouts.h"
#include "platform/net/WinInet.h"

namespace {

constexpr DWORD kQueryModifierMask = 0xF0000000u;

bool IsFollowedRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A plain unsigned decimal that fits in 32 bits.
std::optional<DWORD> ParseNumber(const std::string& text) {
  DWORD value = 0;
  if (!ParseDecimal(text, &value)) return std::nullopt;
  return value;
}

// Copies `value` to the caller as UTF-16 text (each header byte one unit), sizes in bytes.
DWORD CopyText(const std::string& value, void* buffer, DWORD* bufferLength) {
  const uint64_t needed = (static_cast<uint64_t>(value.size()) + 1) * sizeof(char16_t);
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = static_cast<DWORD>(needed);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  auto* out = static_cast<char16_t*>(buffer);
  for (size_t i = 0; i < value.size(); ++i) out[i] = static_cast<unsigned char>(value[i]);
  out[value.size()] = u'\0';
  *bufferLength = static_cast<DWORD>(value.size() * sizeof(char16_t));
  return ERROR_SUCCESS;
}

DWORD CopyNumber(const std::string& value, void* buffer, DWORD* bufferLength) {
  const std::optional<DWORD> number = ParseNumber(value);
  if (!number) return ERROR_HTTP_INVALID_HEADER;
  if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, &*number, sizeof(DWORD));
  *bufferLength = sizeof(DWORD);
  return ERROR_SUCCESS;
}

constexpr std::string_view kPlainProxyScheme = "http://";

// Where a connection for `origin` through `proxy` leads, as the connection pool files it: a plain
// request through an http proxy goes to the proxy whatever its server; a direct request, or one
// tunnelled through the proxy (https), goes to its server.
std::string PoolKey(const RequestUrl::Origin& origin, const std::string& proxy) {
  if (!proxy.empty() && origin.scheme == "http" && proxy.compare(0, kPlainProxyScheme.size(), kPlainProxyScheme) == 0) {
    return "proxy " + proxy;
  }
  std::string key = origin.scheme + "://" + origin.host + ":" + origin.port;
  if (!proxy.empty()) key += " via " + proxy;
  return key;
}

}  // namespace

void HttpRequest::ReplaceTransfer(std::unique_ptr<CurlTransfer> transfer) {
  std::unique_ptr<CurlTransfer> old;
  {
    std::lock_guard<std::mutex> guard(transferLock_);
    old = std::move(transfer_);
    transfer_ = std::move(transfer);
  }
  // `old` is freed here, outside the lock.
}

DWORD HttpRequest::Fail(DWORD error) {
  state_ = State::kFailed;
  ReplaceTransfer(nullptr);
  return error;
}

void HttpRequest::OnClose() {
  cancelled_.store(true);
  std::lock_guard<std::mutex> guard(transferLock_);
  if (transfer_) transfer_->Wake();
}

DWORD HttpRequest::Send() {
  std::lock_guard<std::mutex> call(callLock_);
  if (state_ != State::kOpened) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  const DeviceTimeouts timeouts = DeviceTimeouts::Current();
  RequestUrl current = url_;
  for (DWORD redirects = 0;; ++redirects) {
    const std::optional<RequestUrl::Origin> origin = current.GetOrigin();
    if (!origin) return Fail(ERROR_INTERNET_INVALID_URL);
    TransferSettings settings;
    settings.url = current.Text();
    settings.userAgent = connection_->session->userAgent;
    settings.proxy = connection_->session->direct ? std::string() : DeviceProxy::ForHost(origin->host);
    settings.poolKey = PoolKey(*origin, settings.proxy);
    // Credentials go to the named server only, never to a server a redirect points to.
    settings.sendCredentials = connection_->sendCredentials && (redirects == 0 || current.SameOrigin(url_));
    settings.userName = connection_->userName;
    settings.password = connection_->password;
    settings.connectTimeoutMs = timeouts.connectMs;
    settings.receiveTimeoutMs = timeouts.receiveMs;
    settings.minimumSpeed = timeouts.minimumSpeed;
    settings.minimumSpeedWindowMs = timeouts.minimumSpeedWindowMs;

    for (bool readAsSent = false;; readAsSent = true) {
      settings.ignoreDeclaredLength = readAsSent;
      DWORD error = ERROR_SUCCESS;
      std::unique_ptr<CurlTransfer> transfer = CurlTransfer::Start(settings, &error);
      if (!transfer) return Fail(error);
      ReplaceTransfer(std::move(transfer));
      // A close that came before the transfer existed could not wake it.
      if (cancelled_.load()) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
      error = transfer_->WaitForHead(cancelled_);
      if (error == ERROR_SUCCESS) break;
      // libcurl refuses a Content-Length that is no number at all ("-5"); the answer is asked for once
      // more without reading the length, so that its head can be read as the server sent it.
      if (readAsSent || !transfer_->HeadRefusedForItsLength()) return Fail(error);
    }

    const ResponseHead& head = transfer_->Head();
    const std::string* location = head.Find("location");
    if (!IsFollowedRedirect(head.Status()) || location == nullptr) break;
    if (redirects == kInternetMaxRedirects) return Fail(ERROR_HTTP_REDIRECT_FAILED);
    std::optional<RequestUrl> next = current.Resolve(*location);
    if (!next) return Fail(ERROR_HTTP_REDIRECT_FAILED);
    current = std::move(*next);
  }
  state_ = State::kHeadReady;
  return ERROR_SUCCESS;
}

DWORD HttpRequest::QueryInfo(DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index) {
  if (bufferLength == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> call(callLock_);
  if (state_ != State::kHeadReady) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  const ResponseHead& head = transfer_->Head();
  const bool asNumber = (infoLevel & HTTP_QUERY_FLAG_NUMBER) != 0;
  const DWORD level = infoLevel & ~kQueryModifierMask;
  const DWORD which = index != nullptr ? *index : 0;

  const std::string* value = nullptr;
  switch (level) {
    case HTTP_QUERY_STATUS_CODE:
      if (which == 0) value = &head.StatusText();
      break;
    case HTTP_QUERY_CONTENT_LENGTH: value = head.Find("content-length", which); break;
    default: return ERROR_INVALID_PARAMETER;
  }
  if (value == nullptr) return ERROR_HTTP_HEADER_NOT_FOUND;
  const DWORD error = asNumber ? CopyNumber(*value, buffer, bufferLength) : CopyText(*value, buffer, bufferLength);
  if (error == ERROR_SUCCESS && index != nullptr) ++*index;
  return error;
}

DWORD HttpRequest::Read(void* buffer, DWORD bytesToRead, DWORD* bytesRead) {
  std::lock_guard<std::mutex> call(callLock_);
  if (state_ != State::kHeadReady) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  size_t count = 0;
  const DWORD error = transfer_->Read(static_cast<uint8_t*>(buffer), bytesToRead, &count, cancelled_);
  *bytesRead = static_cast<DWORD>(count);
  return error;
}

DWORD HttpRequest::Available(DWORD* bytesAvailable) {
  std::lock_guard<std::mutex> call(callLock_);
  if (state_ != State::kHeadReady) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
  size_t count = 0;
  const DWORD error = transfer_->Available(&count, cancelled_);
  *bytesAvailable = static_cast<DWORD>(count);
  return error;
}

#include "platform/net/RequestUrl.h"

#include <curl/curl.h>

#include <memory>

#include "platform/kernel/WideText.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsHostUnit(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' ||
         c == u'_';
}

bool NeedsEscape(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F || byte == '#'; }

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

struct CurlStringDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

std::optional<std::string> GetPart(CURLU* url, CURLUPart part, unsigned flags) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return std::nullopt;
  CurlString owned(text);
  return std::string(text);
}

UrlHandle Parse(const std::string& text) {
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return nullptr;
  return url;
}

}  // namespace

bool RequestUrl::IsValidHost(std::u16string_view host) {
  if (host.empty() || host.size() > kMaxHostLength) return false;
  for (char16_t c : host) {
    if (!IsHostUnit(c)) return false;
  }
  return true;
}

RequestUrl RequestUrl::Make(std::u16string_view host, uint16_t port, const char16_t* path) {
  std::string text = "http://" + Utf16ToUtf8(host) + ":" + std::to_string(port);
  const std::string utf8Path = path != nullptr ? Utf16ToUtf8(path) : std::string();
  if (utf8Path.empty() || utf8Path.front() != '/') text += '/';
  for (char c : utf8Path) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      text += '%';
      text += kHexDigits[byte >> 4];
      text += kHexDigits[byte & 0x0F];
    } else {
      text += c;
    }
  }
  Origin origin{"http", Utf16ToUtf8(host), std::to_string(port)};
  return RequestUrl(std::move(text), std::move(origin));
}

std::optional<RequestUrl> RequestUrl::Resolve(std::string_view location) const {
  UrlHandle url = Parse(text_);
  if (!url) return std::nullopt;
  const std::string target(location);
  if (curl_url_set(url.get(), CURLUPART_URL, target.c_str(), 0) != CURLUE_OK) return std::nullopt;
  const std::optional<std::string> scheme = GetPart(url.get(), CURLUPART_SCHEME, 0);
  if (!scheme || (*scheme != "http" && *scheme != "https")) return std::nullopt;
  std::optional<std::string> resolved = GetPart(url.get(), CURLUPART_URL, 0);
  if (!resolved) return std::nullopt;
  return RequestUrl(std::move(*resolved));
}

bool RequestUrl::SameOrigin(const RequestUrl& other) const {
  const std::optional<Origin> a = GetOrigin();
  const std::optional<Origin> b = other.GetOrigin();
  return a && b && a->scheme == b->scheme && a->host == b->host && a->port == b->port;
}

std::optional<RequestUrl::Origin> RequestUrl::GetOrigin() const {
  if (origin_) return origin_;
  UrlHandle url = Parse(text_);
  if (!url) return std::nullopt;
  std::optional<std::string> scheme = GetPart(url.get(), CURLUPART_SCHEME, 0);
  std::optional<std::string> host = GetPart(url.get(), CURLUPART_HOST, 0);
  std::optional<std::string> port = GetPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!scheme || !host || !port) return std::nullopt;
  return Origin{std::move(*scheme), std::move(*host), std::move(*port)};
}

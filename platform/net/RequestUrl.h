// The absolute URL of one request: made from a host, a port and a path, or resolved from a
// redirect's Location against the URL that answered with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class RequestUrl {
 public:
  static constexpr size_t kMaxHostLength = 253;

  // A host is accepted when it is 1 to kMaxHostLength ASCII letters, digits, '-', '.' or '_', so
  // that it can never carry user information, a port or a path into the URL.
  static bool IsValidHost(std::u16string_view host);

  // "http://host:port" + path. The path is sent as UTF-8; spaces, control characters, '#' and bytes
  // outside ASCII are percent-encoded, and a missing leading '/' is added. Null path: "/".
  static RequestUrl Make(std::u16string_view host, uint16_t port, const char16_t* path);

  // The URL a Location value names, relative to this one; nothing when it is not an http or https
  // URL that libcurl can parse.
  std::optional<RequestUrl> Resolve(std::string_view location) const;

  // True when both URLs name the same scheme, host and port (credentials go only there).
  bool SameOrigin(const RequestUrl& other) const;

  struct Origin {
    std::string scheme;  // lower case
    std::string host;
    std::string port;  // the scheme's default when the URL names none
  };
  // The scheme, host and port, or nothing when the URL cannot be parsed.
  std::optional<Origin> GetOrigin() const;

  const std::string& Text() const { return text_; }

 private:
  explicit RequestUrl(std::string text, std::optional<Origin> origin = std::nullopt)
      : text_(std::move(text)), origin_(std::move(origin)) {}

  std::string text_;
  std::optional<Origin> origin_;  // known without parsing for a URL made from its parts
};

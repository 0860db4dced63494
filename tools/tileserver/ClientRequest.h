// An HTTP/1.x request as read off the wire, and where it is aimed: a proxy-form request names
// its host in the target ("GET http://mt1.<domain>/mt?..."), an origin-form one in "Host".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tileserver {

struct ClientRequest {
  std::string method;
  std::string target;
  std::string version;  // "HTTP/1.1" or "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (case-insensitive), trimmed.
  std::optional<std::string> Header(std::string_view name) const;
  // Whether the client lets the connection stay open after the answer.
  bool KeepAlive() const;
};

struct RequestTarget {
  bool absolute = false;  // proxy form
  std::string host;       // as written, a port included when given
  std::string path;       // from the first "/" on; "/" when the URL has none
};

RequestTarget ResolveTarget(const ClientRequest& request);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace tileserver

#include "tools/tileserver/ClientRequest.h"

#include <cctype>

namespace tileserver {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::optional<std::string> ClientRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (EqualsIgnoreCase(key, name)) return value;
  return std::nullopt;
}

bool ClientRequest::KeepAlive() const {
  const std::optional<std::string> connection = Header("Connection");
  if (connection && EqualsIgnoreCase(*connection, "close")) return false;
  if (version == "HTTP/1.0") return connection && EqualsIgnoreCase(*connection, "keep-alive");
  return true;
}

RequestTarget ResolveTarget(const ClientRequest& request) {
  RequestTarget result;
  constexpr std::string_view kScheme = "http://";
  const std::string_view target = request.target;
  if (target.size() >= kScheme.size() && EqualsIgnoreCase(target.substr(0, kScheme.size()), kScheme)) {
    result.absolute = true;
    const std::string_view rest = target.substr(kScheme.size());
    const size_t end = rest.find_first_of("/?");
    result.host = std::string(rest.substr(0, end));
    if (end == std::string_view::npos) {
      result.path = "/";
    } else if (rest[end] == '?') {
      result.path = "/" + std::string(rest.substr(end));  // "http://h?q" asks for "/?q"
    } else {
      result.path = std::string(rest.substr(end));
    }
    return result;
  }
  result.host = request.Header("Host").value_or("");
  result.path = request.target;
  return result;
}

}  // namespace tileserver

#include "platform/net/DeviceProxy.h"

#include <cctype>
#include <cstdlib>

namespace {

constexpr const char* kProxyVariable = "http_proxy";
constexpr const char* kBypassVariable = "no_proxy";
constexpr std::string_view kSchemeSeparator = "://";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// `host` is `entry` or one of its sub-domains.
bool HostMatches(std::string_view entry, std::string_view host) {
  if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
  if (entry.empty()) return false;
  if (EqualNoCase(entry, host)) return true;
  return host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
         EqualNoCase(host.substr(host.size() - entry.size()), entry);
}

}  // namespace

namespace DeviceProxy {

bool Bypasses(std::string_view list, std::string_view host) {
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view entry = Trim(list.substr(0, comma));
    if (entry == "*" || HostMatches(entry, host)) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

std::string ForHost(std::string_view host) {
  const char* proxy = std::getenv(kProxyVariable);
  if (proxy == nullptr || Trim(proxy).empty()) return {};
  const char* bypass = std::getenv(kBypassVariable);
  if (bypass != nullptr && Bypasses(bypass, host)) return {};
  std::string url(Trim(proxy));
  if (url.find(kSchemeSeparator) == std::string::npos) url = "http://" + url;
  return url;
}

}  // namespace DeviceProxy

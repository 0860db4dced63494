// The device's proxy setting, as the preconfigured access type reads it.
//
// The device has one proxy for every request, the environment variable `http_proxy` (lower case):
// "host:port" or "http://host:port" (another scheme, such as "https://", is taken as written).
// It carries http requests in proxy form and https requests through a CONNECT tunnel. `no_proxy`
// (lower case) lists the hosts that bypass it, separated by commas: a name matches itself and its
// sub-domains (a leading dot is allowed), an address matches itself, "*" matches every host. No
// other variable is read (not HTTP_PROXY, https_proxy, ALL_PROXY, NO_PROXY): each request is sent
// exactly as this setting says, whichever variables the environment also has.
#pragma once

#include <string>
#include <string_view>

namespace DeviceProxy {

// The proxy URL for a request to `host`, or empty for a direct request. Reads the environment at
// each call (a changed setting applies to the next request).
std::string ForHost(std::string_view host);

// Whether `host` is on the bypass list `list` (the syntax of no_proxy).
bool Bypasses(std::string_view list, std::string_view host);

}  // namespace DeviceProxy

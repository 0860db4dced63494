// An upstream tile service's URL pattern, e.g. "https://{s}.tiles.example.org/{z}/{x}/{y}.png":
// http or https, {z}, {x} and {y} each present ({-y} for services that count rows from the
// south), optionally {s} for one of the service's subdomains ("a", "b", "c", or the list given as
// {s:one,two}), no other placeholder, and nothing a URL cannot hold (spaces, control characters).
// A tile always gets the same subdomain, so that caches along the way keep one copy of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilesources {

class UpstreamTemplate {
 public:
  struct Parse;
  static Parse FromText(std::string_view text);

  std::string Expand(int32_t z, int32_t x, int32_t y) const;
  const std::string& Text() const { return text_; }
  // "scheme://host[:port]", for the start-up output.
  std::string Origin() const;

 private:
  std::string text_;
  std::vector<std::string> subdomains_;  // for {s}; empty when the pattern has none
};

struct UpstreamTemplate::Parse {
  std::optional<UpstreamTemplate> value;
  std::string error;
};

}  // namespace tilesources

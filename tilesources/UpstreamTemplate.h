// An upstream tile service's URL pattern, e.g. "https://tiles.example.org/{z}/{x}/{y}.png":
// http or https, {z}, {x} and {y} each present ({-y} for services that count rows from the
// south), no other placeholder, and nothing a URL cannot hold (spaces, control characters).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
};

struct UpstreamTemplate::Parse {
  std::optional<UpstreamTemplate> value;
  std::string error;
};

}  // namespace tilesources

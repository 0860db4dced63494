#include "tilesources/UpstreamTemplate.h"

namespace tilesources {
namespace {

constexpr size_t kMaxTemplateLength = 2000;
constexpr std::string_view kPlaceholders[] = {"{z}", "{x}", "{y}", "{-y}"};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

UpstreamTemplate::Parse UpstreamTemplate::FromText(std::string_view text) {
  Parse result;
  auto fail = [&](const std::string& what) {
    result.error = "upstream template \"" + std::string(text.substr(0, 200)) + "\": " + what;
    return result;
  };
  if (text.size() > kMaxTemplateLength)
    return fail("longer than " + std::to_string(kMaxTemplateLength) + " characters");
  if (!StartsWith(text, "http://") && !StartsWith(text, "https://")) return fail("must start with http:// or https://");
  const size_t hostStart = text.find("//") + 2;
  if (hostStart >= text.size() || text[hostStart] == '/' || text[hostStart] == '{') return fail("names no host");
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return fail("holds a space or a control character");
  }
  bool haveZ = false, haveX = false, haveY = false;
  for (size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
    const size_t close = text.find('}', open);
    if (close == std::string_view::npos) return fail("a '{' is not closed");
    const std::string_view name = text.substr(open, close - open + 1);
    haveZ |= name == "{z}";
    haveX |= name == "{x}";
    haveY |= name == "{y}" || name == "{-y}";
    bool known = false;
    for (std::string_view p : kPlaceholders) known |= name == p;
    if (!known) return fail("unknown placeholder " + std::string(name) + " (known: {z} {x} {y} {-y})");
  }
  if (!haveZ || !haveX || !haveY) return fail("needs {z}, {x} and {y}");
  UpstreamTemplate value;
  value.text_ = std::string(text);
  result.value = std::move(value);
  return result;
}

std::string UpstreamTemplate::Expand(int32_t z, int32_t x, int32_t y) const {
  std::string out;
  out.reserve(text_.size() + 16);
  for (size_t i = 0; i < text_.size();) {
    bool replaced = false;
    for (std::string_view p : kPlaceholders) {
      if (std::string_view(text_).substr(i, p.size()) != p) continue;
      const int64_t value = p == "{z}" ? z : p == "{x}" ? x : p == "{y}" ? y : (int64_t{1} << z) - 1 - y;
      out += std::to_string(value);
      i += p.size();
      replaced = true;
      break;
    }
    if (!replaced) out += text_[i++];
  }
  return out;
}

std::string UpstreamTemplate::Origin() const {
  const size_t hostStart = text_.find("//") + 2;
  const size_t end = text_.find_first_of("/?#", hostStart);
  return text_.substr(0, end);
}

}  // namespace tilesources

#include "tilesources/UpstreamTemplate.h"

namespace tilesources {
namespace {

constexpr size_t kMaxTemplateLength = 2000;
constexpr std::string_view kPlaceholders[] = {"{z}", "{x}", "{y}", "{-y}"};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The subdomains of "{s}" (the usual three) or "{s:one,two}"; empty when the list is not sound
// (an empty item, a character a host name cannot hold).
std::vector<std::string> Subdomains(std::string_view placeholder) {
  if (placeholder == "{s}") return {"a", "b", "c"};
  std::vector<std::string> names;
  std::string_view list = placeholder.substr(3, placeholder.size() - 4);
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (item.empty() || item.size() > 63) return {};
    for (const char c : item)
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-')) return {};
    names.emplace_back(item);
    if (comma == std::string_view::npos) return names;
    list.remove_prefix(comma + 1);
  }
}

bool IsSubdomainPlaceholder(std::string_view name) { return name == "{s}" || StartsWith(name, "{s:"); }

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
  if (hostStart >= text.size() || text[hostStart] == '/' ||
      (text[hostStart] == '{' && !IsSubdomainPlaceholder(text.substr(hostStart, 3))))
    return fail("names no host");
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return fail("holds a space or a control character");
  }
  bool haveZ = false, haveX = false, haveY = false;
  std::vector<std::string> subdomains;
  for (size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
    const size_t close = text.find('}', open);
    if (close == std::string_view::npos) return fail("a '{' is not closed");
    const std::string_view name = text.substr(open, close - open + 1);
    haveZ |= name == "{z}";
    haveX |= name == "{x}";
    haveY |= name == "{y}" || name == "{-y}";
    if (IsSubdomainPlaceholder(name)) {
      if (!subdomains.empty()) return fail("has {s} twice");
      subdomains = Subdomains(name);
      if (subdomains.empty()) return fail("the subdomains of " + std::string(name) + " are not host names");
      continue;
    }
    bool known = false;
    for (std::string_view p : kPlaceholders) known |= name == p;
    if (!known) return fail("unknown placeholder " + std::string(name) + " (known: {z} {x} {y} {-y} {s})");
  }
  if (!haveZ || !haveX || !haveY) return fail("needs {z}, {x} and {y}");
  UpstreamTemplate value;
  value.text_ = std::string(text);
  value.subdomains_ = std::move(subdomains);
  result.value = std::move(value);
  return result;
}

std::string UpstreamTemplate::Expand(int32_t z, int32_t x, int32_t y) const {
  std::string out;
  out.reserve(text_.size() + 16);
  for (size_t i = 0; i < text_.size();) {
    if (!subdomains_.empty() && IsSubdomainPlaceholder(std::string_view(text_).substr(i, 3))) {
      const uint64_t pick = (uint64_t(uint32_t(x)) + uint64_t(uint32_t(y))) % subdomains_.size();
      out += subdomains_[pick];
      i = text_.find('}', i) + 1;
      continue;
    }
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

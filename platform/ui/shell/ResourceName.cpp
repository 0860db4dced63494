#include "platform/ui/shell/ResourceName.h"

#include <optional>

namespace ui::shell {

namespace {

// The identifier a name stands for: the integer itself or the digits after '#'.
std::optional<uint32_t> IdentifierOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return uint32_t(reinterpret_cast<uintptr_t>(name));
  if (name[0] != u'#' || name[1] == 0) return std::nullopt;
  uint32_t value = 0;
  for (LPCWSTR p = name + 1; *p; ++p) {
    if (*p < u'0' || *p > u'9' || value > 0xFFFF) return std::nullopt;
    value = value * 10 + uint32_t(*p - u'0');
  }
  return value <= 0xFFFF ? std::optional<uint32_t>(value) : std::nullopt;
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

}  // namespace

bool ResourceNamesMatch(LPCWSTR a, LPCWSTR b) {
  if (a == nullptr || b == nullptr) return false;
  const std::optional<uint32_t> idA = IdentifierOf(a);
  const std::optional<uint32_t> idB = IdentifierOf(b);
  if (idA || idB) return idA == idB;
  for (; *a && *b; ++a, ++b) {
    if (Upper(*a) != Upper(*b)) return false;
  }
  return *a == *b;
}

}  // namespace ui::shell

#include "platform/ui/shell/ResourceName.h"

#include <optional>
#include <string_view>

#include "platform/kernel/DecimalText.h"

namespace ui::shell {

namespace {

// The identifier a name stands for: the integer itself or the digits after '#'.
std::optional<uint32_t> IdentifierOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return uint32_t(reinterpret_cast<uintptr_t>(name));
  uint16_t value = 0;
  if (name[0] != u'#' || !ParseDecimal(std::u16string_view(name + 1), &value)) return std::nullopt;
  return value;
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

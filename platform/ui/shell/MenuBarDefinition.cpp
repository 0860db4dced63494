#include "platform/ui/shell/MenuBarDefinition.h"

namespace ui::shell {

namespace {

WORD WordAt(const uint8_t* p) { return WORD(p[0] | (p[1] << 8)); }

}  // namespace

std::optional<MenuBarDefinition> MenuBarDefinition::Parse(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kHeaderBytes) return std::nullopt;
  MenuBarDefinition definition;
  definition.menuId = WordAt(data);
  const size_t count = WordAt(data + 2);
  if (count > kMaxKeys || size < kHeaderBytes + count * kKeyBytes) return std::nullopt;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = data + kHeaderBytes + i * kKeyBytes;
    SoftKeyDefinition key;
    key.image = WordAt(p);
    key.command = WordAt(p + 2);
    key.state = p[4];
    key.style = p[5];
    key.stringId = WordAt(p + 6);
    key.popupIndex = WordAt(p + 10);
    definition.keys.push_back(key);
  }
  return definition;
}

}  // namespace ui::shell

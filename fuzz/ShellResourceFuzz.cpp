// Raw resource bytes the handheld shell reads. The first byte chooses:
//   0: a soft-key menu bar's definition (RT_RCDATA bytes)
//   1: an icon group's directory (RT_GROUP_ICON bytes), the size asked in the next two bytes
// Dialog templates have their own target (DialogTemplateFuzz): running them is a thousand times slower.
#include <cstddef>
#include <cstdint>

#include "platform/ui/shell/IconGroupChooser.h"
#include "platform/ui/shell/MenuBarDefinition.h"

using namespace ui::shell;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  switch (data[0] % 2) {
    case 0:
      if (const std::optional<MenuBarDefinition> bar = MenuBarDefinition::Parse(data + 1, size - 1)) {
        if (bar->keys.size() > MenuBarDefinition::kMaxKeys) __builtin_trap();
      }
      break;
    case 1:
      if (size >= 3) {
        if (const std::optional<IconChoice> icon = ChooseIconImage(data + 3, size - 3, data[1], data[2])) {
          if (icon->width <= 0 || icon->height <= 0) __builtin_trap();
        }
      }
      break;
  }
  return 0;
}

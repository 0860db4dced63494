// The raw definition of a soft-key menu bar (an RT_RCDATA resource), little-endian:
//   WORD menu id, WORD button count, then per button 12 bytes: WORD image, WORD command,
//   BYTE state, BYTE style, WORD string id, WORD 0, WORD popup index (0xFFFF: none).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ui/Shell.h"

namespace ui::shell {

struct SoftKeyDefinition {
  WORD image = I_IMAGENONE;
  WORD command = 0;
  BYTE state = 0;
  BYTE style = 0;
  WORD stringId = 0;
  WORD popupIndex = kNoPopup;

  static constexpr WORD kNoPopup = 0xFFFF;
  bool IsEnabled() const { return (state & TBSTATE_ENABLED) != 0; }
  bool IsDropDown() const { return (style & TBSTYLE_DROPDOWN) != 0; }
  bool HasPopup() const { return popupIndex != kNoPopup; }
};

struct MenuBarDefinition {
  WORD menuId = 0;
  std::vector<SoftKeyDefinition> keys;

  static constexpr size_t kHeaderBytes = 4;
  static constexpr size_t kKeyBytes = 12;
  static constexpr size_t kMaxKeys = 16;

  // Nullopt when the bytes are shorter than the header and the count of buttons it declares, or
  // declare more buttons than a bar can hold. Bytes past the last button are ignored.
  static std::optional<MenuBarDefinition> Parse(const uint8_t* data, size_t size);
};

}  // namespace ui::shell

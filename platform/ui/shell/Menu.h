// A loaded menu: its items in order; a popup item names its own menu by handle.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Windows.h"

namespace ui::shell {

struct MenuItem {
  UINT flags = MF_STRING;  // MF_STRING, MF_POPUP or MF_SEPARATOR
  UINT id = 0;
  std::u16string text;
  HMENU popup = nullptr;  // MF_POPUP: the submenu, destroyed with this menu

  bool IsSeparator() const { return (flags & MF_SEPARATOR) != 0; }
  bool IsPopup() const { return (flags & MF_POPUP) != 0; }
};

struct Menu {
  std::vector<MenuItem> items;
};

}  // namespace ui::shell

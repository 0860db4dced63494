// The soft-key menu bar: a window along the screen's bottom edge with its keys side by side, each
// labelled with its string. A push key posts WM_COMMAND (command) to the bar's owner; a drop-down
// key opens its popup above itself, whose chosen item posts WM_COMMAND (item id) to the owner.
// A disabled key is grey and does nothing. The bar owns the menu its popups come from.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/Windows.h"

namespace ui::shell {

struct SoftKey {
  std::u16string label;
  WORD command = 0;
  bool enabled = true;
  HMENU popup = nullptr;  // a drop-down key's popup, or null
};

constexpr const char16_t* kSoftKeyBarClassName = u"SoftKeyBar";
bool RegisterSoftKeyBarClass();

// Creates the bar for `owner`; `menu` (may be null) is destroyed with the bar, also when creating
// it fails. Null when the window cannot be made.
HWND CreateSoftKeyBar(HWND owner, HINSTANCE instance, std::vector<SoftKey> keys, HMENU menu);

}  // namespace ui::shell

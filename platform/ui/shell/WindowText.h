// A window's whole text as a string.
#pragma once

#include <string>

#include "platform/ui/Windows.h"

namespace ui::shell {

std::u16string WindowText(HWND window);

}  // namespace ui::shell

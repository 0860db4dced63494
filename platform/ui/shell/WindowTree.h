// Walks from a window up through its parents.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

// The window itself when it is not a child, else its nearest ancestor that is not a child.
HWND TopLevelOf(HWND window);
// True when `window` is `ancestor` or lies inside it.
bool IsSelfOrDescendant(HWND ancestor, HWND window);

}  // namespace ui::shell

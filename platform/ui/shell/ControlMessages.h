// Messages the system's own windows exchange that product code has no use for.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

// The font a control draws its text with (first: HFONT, null for the default; second: nonzero to
// repaint). The control does not own the font.
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;

}  // namespace ui::shell

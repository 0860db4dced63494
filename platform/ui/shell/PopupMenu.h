// A popup menu on the screen, run modally: the items of one menu in a framed column. The stylus
// picks an item on release over it; a stylus-down outside the menu, Escape, the owner going away
// or WM_QUIT (posted again for the caller's loop) closes it without a choice. Up, Down and Enter
// pick with the keys.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

constexpr const char16_t* kPopupMenuClassName = u"PopupMenu";
bool RegisterPopupMenuClass();

constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;

// Shows `menu` with the corner chosen by `flags` at (x, y) on the screen and runs it; the chosen
// item's identifier, 0 when none was chosen, -1 when the menu could not be shown.
int RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);

}  // namespace ui::shell

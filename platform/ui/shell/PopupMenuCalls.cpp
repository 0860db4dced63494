// TrackPopupMenuEx over the modal popup menu.
#include "platform/ui/shell/PopupMenu.h"

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* /*reserved*/) {
  const int chosen = ui::shell::RunPopupMenu(menu, flags, x, y, owner);
  if (chosen < 0) return FALSE;
  if (flags & TPM_RETURNCMD) return chosen;
  if (chosen > 0) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(WORD(chosen), 0), 0);
  return TRUE;
}

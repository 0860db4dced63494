#include "platform/ui/shell/AcceleratorTable.h"

namespace ui::shell {

std::optional<WORD> AcceleratorTable::Match(UINT message, WPARAM key, KeyModifiers modifiers) const {
  for (const ACCEL& entry : entries_) {
    const bool virtualKey = (entry.fVirt & FVIRTKEY) != 0;
    if (virtualKey ? message != WM_KEYDOWN : message != WM_CHAR) continue;
    if (entry.key != key) continue;
    if (((entry.fVirt & FCONTROL) != 0) != modifiers.control) continue;
    if (((entry.fVirt & FALT) != 0) != modifiers.alt) continue;
    if (virtualKey && ((entry.fVirt & FSHIFT) != 0) != modifiers.shift) continue;
    return entry.cmd;
  }
  return std::nullopt;
}

}  // namespace ui::shell

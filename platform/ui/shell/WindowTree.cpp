#include "platform/ui/shell/WindowTree.h"

namespace ui::shell {

namespace {

constexpr int kMaxDepth = 256;  // bounds the walk whatever the tree looks like

bool IsChild(HWND window) { return (DWORD(GetWindowLongPtrW(window, GWL_STYLE)) & WS_CHILD) != 0; }

}  // namespace

HWND TopLevelOf(HWND window) {
  for (int depth = 0; window != nullptr && depth < kMaxDepth; ++depth) {
    if (!IsChild(window)) return window;
    window = GetParent(window);
  }
  return nullptr;
}

bool IsSelfOrDescendant(HWND ancestor, HWND window) {
  if (ancestor == nullptr) return false;
  for (int depth = 0; window != nullptr && depth < kMaxDepth; ++depth) {
    if (window == ancestor) return true;
    if (!IsChild(window)) return false;
    window = GetParent(window);
  }
  return false;
}

}  // namespace ui::shell

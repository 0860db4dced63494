#include "platform/ui/shell/WindowText.h"

#include <vector>

namespace ui::shell {

std::u16string WindowText(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::vector<WCHAR> buffer(size_t(length) + 1, 0);
  const int copied = GetWindowTextW(window, buffer.data(), int(buffer.size()));
  return std::u16string(buffer.data(), size_t(copied > 0 ? copied : 0));
}

}  // namespace ui::shell

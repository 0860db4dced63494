// Messages the system's own windows exchange that product code has no use for.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

// The font a control draws its text with (first: HFONT, null for the default; second: nonzero to
// repaint). The control does not own the font.
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;

// The text and font messages every system control answers alike: a new text repaints the control,
// and so does a new font when its repaint flag is set. True when `message` was one of them, with the
// answer in `result`; `font` is the control's font field.
inline bool HandleTextAndFontMessage(HWND window, UINT message, WPARAM first, LPARAM second, HFONT* font,
                                     LRESULT* result) {
  switch (message) {
    case WM_SETTEXT:
      *result = DefWindowProcW(window, message, first, second);
      InvalidateRect(window, nullptr, FALSE);
      return true;
    case WM_SETFONT:
      *font = reinterpret_cast<HFONT>(first);
      if (second) InvalidateRect(window, nullptr, FALSE);
      *result = 0;
      return true;
    case WM_GETFONT: *result = reinterpret_cast<LRESULT>(*font); return true;
    default: return false;
  }
}

// Registers one of the system's window classes (repainted whole on a size change, the arrow
// cursor); true when the class exists afterwards.
inline bool RegisterSystemClass(LPCWSTR className, WNDPROC procedure) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = className;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace ui::shell

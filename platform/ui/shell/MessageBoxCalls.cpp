// MessageBoxW: a modal dialog with the text, the caption, an OK button and a Done button in the
// caption, laid out in pixels when it starts.
#include <algorithm>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/shell/ButtonControl.h"
#include "platform/ui/shell/ControlMessages.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/ModalDialog.h"
#include "platform/ui/shell/StaticControl.h"

namespace {

struct BoxGeometry {
  RECT box;     // screen, client area
  RECT text;    // client
  RECT button;  // client
};

BoxGeometry Measure(LPCWSTR text) {
  const RECT work = WorkArea();
  const int screenWidth = work.right - work.left;
  const int margin = std::max(screenWidth / 24, 2);
  const int boxWidth = screenWidth - 2 * margin;
  const int buttonHeight = std::max(MenuBarHeight(), 8);
  const int buttonWidth = screenWidth / 3;
  RECT textRect{margin, margin, boxWidth - margin, margin};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, ui::shell::DefaultControlFont());
  DrawTextW(dc, text, -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  if (oldFont) SelectObject(dc, oldFont);
  DeleteDC(dc);
  const int workHeight = work.bottom - work.top - MenuBarHeight();
  // Text taller than the screen is cut off at the bottom rather than pushing the button off it.
  const int textHeight = std::min(int(textRect.bottom - textRect.top), workHeight - buttonHeight - 3 * margin - 2);
  textRect = RECT{margin, margin, boxWidth - margin, margin + std::max(textHeight, 0)};
  const int boxHeight = textRect.bottom + margin + buttonHeight + margin;
  const int top = work.top + std::max(0, (workHeight - boxHeight) / 2);
  const int buttonLeft = (boxWidth - buttonWidth) / 2;
  return BoxGeometry{
      RECT{work.left + margin, top, work.left + margin + boxWidth, top + boxHeight}, textRect,
      RECT{buttonLeft, textRect.bottom + margin, buttonLeft + buttonWidth, textRect.bottom + margin + buttonHeight}};
}

void LayOut(HWND box, LPCWSTR text) {
  const BoxGeometry geometry = Measure(text);
  RECT frame{}, client{};
  GetWindowRect(box, &frame);
  GetClientRect(box, &client);
  const int extraX = (frame.right - frame.left) - client.right, extraY = (frame.bottom - frame.top) - client.bottom;
  MoveWindow(box, geometry.box.left, geometry.box.top, geometry.box.right - geometry.box.left + extraX,
             geometry.box.bottom - geometry.box.top + extraY, FALSE);
  const RECT& t = geometry.text;
  CreateWindowExW(0, ui::shell::kStaticClassName, text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, t.left, t.top,
                  t.right - t.left, t.bottom - t.top, box, nullptr, nullptr, nullptr);
  const RECT& b = geometry.button;
  HWND ok = CreateWindowExW(0, ui::shell::kButtonClassName, u"OK",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, b.left, b.top, b.right - b.left,
                            b.bottom - b.top, box, reinterpret_cast<HMENU>(uintptr_t(IDOK)), nullptr, nullptr);
  SetFocus(ok ? ok : box);
}

BOOL BoxProcedure(HWND box, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_INITDIALOG: LayOut(box, reinterpret_cast<LPCWSTR>(second)); return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(first) == IDOK || LOWORD(first) == IDCANCEL) {
        EndDialog(box, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(box, IDOK); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT /*type*/) {
  DialogTemplate box{};
  box.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  box.exStyle = WS_EX_CAPTIONOKBTN;
  box.cx = 160;  // any size with room for the caption; the box is laid out again when it starts
  box.cy = 80;
  box.caption = caption ? caption : u"Error";
  const INT_PTR result =
      ui::shell::RunModalDialog(nullptr, box, owner, BoxProcedure, reinterpret_cast<LPARAM>(text ? text : u""));
  return result < 0 ? 0 : int(result);
}

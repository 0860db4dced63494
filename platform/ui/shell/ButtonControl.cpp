#include "platform/ui/shell/ButtonControl.h"

#include "platform/ui/Windows.h"
#include "platform/ui/shell/Bevel.h"
#include "platform/ui/shell/ControlColors.h"
#include "platform/ui/shell/ControlMessages.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/WindowDataMap.h"
#include "platform/ui/shell/WindowText.h"

namespace ui::shell {

namespace {

struct ButtonState {
  bool tracking = false;  // the stylus went down on the button and is still down
  bool pressed = false;   // tracking and the stylus is over the button
  HFONT font = nullptr;
};

WindowDataMap<ButtonState>& States() {
  static WindowDataMap<ButtonState> states;
  return states;
}

bool Inside(HWND window, LPARAM point) {
  RECT client{};
  GetClientRect(window, &client);
  const int x = GET_X_LPARAM(point), y = GET_Y_LPARAM(point);
  return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

void Paint(HWND window, const ButtonState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  DrawBevel(dc, client, !state.pressed, state.pressed ? kPressedFaceColor : kFaceColor);
  const std::u16string text = WindowText(window);
  HGDIOBJ oldFont = SelectObject(dc, state.font ? state.font : DefaultControlFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(window) ? kTextColor : kGrayTextColor);
  RECT textRect = client;
  if (state.pressed) textRect = {client.left + 1, client.top + 1, client.right + 1, client.bottom + 1};
  DrawTextW(dc, text.c_str(), int(text.size()), &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (oldFont) SelectObject(dc, oldFont);
  EndPaint(window, &paint);
}

void SetPressed(HWND window, ButtonState& state, bool pressed) {
  if (state.pressed == pressed) return;
  state.pressed = pressed;
  InvalidateRect(window, nullptr, FALSE);
}

LRESULT ButtonProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    States().Set(window, std::make_shared<ButtonState>());
    return 0;
  }
  const std::shared_ptr<ButtonState> state = States().Find(window);
  if (state == nullptr) return DefWindowProcW(window, message, first, second);
  switch (message) {
    case WM_DESTROY: States().Erase(window); return 0;
    case WM_PAINT: Paint(window, *state); return 0;
    case WM_ERASEBKGND: return 1;  // the face covers the whole client area
    case WM_LBUTTONDOWN:
      if (!IsWindowEnabled(window)) return 0;
      SetCapture(window);
      state->tracking = true;
      SetPressed(window, *state, true);
      return 0;
    case WM_MOUSEMOVE:
      if (state->tracking) SetPressed(window, *state, Inside(window, second));
      return 0;
    case WM_LBUTTONUP: {
      if (!state->tracking) return 0;
      state->tracking = false;
      SetPressed(window, *state, false);
      if (GetCapture() == window) ReleaseCapture();
      if (Inside(window, second) && IsWindowEnabled(window)) {
        SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(WORD(GetDlgCtrlID(window)), BN_CLICKED),
                     reinterpret_cast<LPARAM>(window));
      }
      return 0;
    }
    case WM_ENABLE:
      if (!first) {
        state->tracking = false;
        state->pressed = false;
      }
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default: {
      LRESULT result = 0;
      if (HandleTextAndFontMessage(window, message, first, second, &state->font, &result)) return result;
      return DefWindowProcW(window, message, first, second);
    }
  }
}

}  // namespace

bool RegisterButtonClass() { return RegisterSystemClass(kButtonClassName, ButtonProcedure); }

}  // namespace ui::shell

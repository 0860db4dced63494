#include "platform/ui/shell/SoftKeyBar.h"

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/shell/Bevel.h"
#include "platform/ui/shell/ControlColors.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/PopupMenu.h"
#include "platform/ui/shell/WindowDataMap.h"

namespace ui::shell {

namespace {

struct BarState {
  HWND owner = nullptr;
  HMENU menu = nullptr;
  std::vector<SoftKey> keys;
  int tracked = -1;  // the key the stylus went down on
  int pressed = -1;  // the key drawn pressed
};

WindowDataMap<BarState>& States() {
  static WindowDataMap<BarState> states;
  return states;
}

RECT KeyRect(HWND bar, size_t count, size_t index) {
  RECT client{};
  GetClientRect(bar, &client);
  const LONG width = client.right - client.left;
  return RECT{LONG(client.left + width * LONG(index) / LONG(count)), client.top,
              LONG(client.left + width * LONG(index + 1) / LONG(count)), client.bottom};
}

int KeyAt(HWND bar, const BarState& state, int x, int y) {
  for (size_t i = 0; i < state.keys.size(); ++i) {
    const RECT r = KeyRect(bar, state.keys.size(), i);
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return int(i);
  }
  return -1;
}

void SetPressed(HWND bar, BarState& state, int index) {
  if (state.pressed == index) return;
  state.pressed = index;
  InvalidateRect(bar, nullptr, FALSE);
}

void Paint(HWND bar, const BarState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(bar, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(bar, &client);
  FillColor(dc, client, kBarColor);
  HGDIOBJ oldFont = SelectObject(dc, DefaultControlFont());
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < state.keys.size(); ++i) {
    RECT r = KeyRect(bar, state.keys.size(), i);
    if (int(i) == state.pressed) FillColor(dc, r, kBarPressedColor);
    if (i > 0) FillColor(dc, {r.left, r.top + 3, r.left + 1, r.bottom - 3}, kShadowColor);
    const SoftKey& key = state.keys[i];
    SetTextColor(dc, key.enabled ? kBarTextColor : kGrayTextColor);
    DrawTextW(dc, key.label.c_str(), int(key.label.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (oldFont) SelectObject(dc, oldFont);
  EndPaint(bar, &paint);
}

// Runs the key: posts its command, or opens its popup above it (kept drawn pressed meanwhile).
void Activate(HWND bar, BarState& state, int index) {
  const SoftKey key = state.keys[size_t(index)];
  if (key.popup == nullptr) {
    PostMessageW(state.owner, WM_COMMAND, MAKEWPARAM(key.command, 0), reinterpret_cast<LPARAM>(bar));
    return;
  }
  const RECT r = KeyRect(bar, state.keys.size(), size_t(index));
  RECT client{};
  GetClientRect(bar, &client);
  const bool rightHalf = r.left + r.right > client.left + client.right;  // its centre right of the bar's
  POINT corner{rightHalf ? r.right : r.left, r.top};
  ClientToScreen(bar, &corner);
  SetPressed(bar, state, index);
  UpdateWindow(bar);
  TrackPopupMenuEx(key.popup, TPM_BOTTOMALIGN | (rightHalf ? TPM_RIGHTALIGN : TPM_LEFTALIGN), corner.x, corner.y,
                   state.owner, nullptr);
  SetPressed(bar, state, -1);
}

LRESULT BarProcedure(HWND bar, UINT message, WPARAM first, LPARAM second) {
  const std::shared_ptr<BarState> state = States().Find(bar);
  if (state == nullptr) return DefWindowProcW(bar, message, first, second);
  const int x = GET_X_LPARAM(second), y = GET_Y_LPARAM(second);
  switch (message) {
    case WM_PAINT: Paint(bar, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
      const int index = KeyAt(bar, *state, x, y);
      if (index < 0 || !state->keys[size_t(index)].enabled) return 0;
      state->tracked = index;
      SetCapture(bar);
      SetPressed(bar, *state, index);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (state->tracked >= 0)
        SetPressed(bar, *state, KeyAt(bar, *state, x, y) == state->tracked ? state->tracked : -1);
      return 0;
    case WM_LBUTTONUP: {
      const int index = state->tracked;
      if (index < 0) return 0;
      state->tracked = -1;
      if (GetCapture() == bar) ReleaseCapture();
      SetPressed(bar, *state, -1);
      if (KeyAt(bar, *state, x, y) == index) Activate(bar, *state, index);
      return 0;
    }
    case WM_DESTROY:
      if (state->menu) DestroyMenu(state->menu);
      state->menu = nullptr;
      States().Erase(bar);
      return 0;
    default: return DefWindowProcW(bar, message, first, second);
  }
}

}  // namespace

bool RegisterSoftKeyBarClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = BarProcedure;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kSoftKeyBarClassName;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateSoftKeyBar(HWND owner, HINSTANCE instance, std::vector<SoftKey> keys, HMENU menu) {
  auto state = std::make_shared<BarState>();
  state->owner = owner;
  state->menu = menu;
  state->keys = std::move(keys);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const int barHeight = MenuBarHeight();
  HWND bar = CreateWindowExW(WS_EX_NOACTIVATE, kSoftKeyBarClassName, nullptr, WS_POPUP, 0, height - barHeight, width,
                             barHeight, owner, nullptr, instance, nullptr);
  if (bar == nullptr) {
    if (menu) DestroyMenu(menu);
    return nullptr;
  }
  States().Set(bar, std::move(state));
  SetWindowMenuBar(owner, bar);  // kept above its owner and destroyed with it
  ShowWindow(bar, SW_SHOW);
  return bar;
}

}  // namespace ui::shell

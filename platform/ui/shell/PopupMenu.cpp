#include "platform/ui/shell/PopupMenu.h"

#include <algorithm>
#include <atomic>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/shell/Bevel.h"
#include "platform/ui/shell/ControlColors.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/MenuHandles.h"
#include "platform/ui/shell/WindowDataMap.h"

namespace ui::shell {

namespace {

struct PopupState {
  std::shared_ptr<const Menu> menu;
  std::vector<RECT> itemRects;  // client coordinates, one per item
  int highlighted = -1;
  bool done = false;
  UINT chosen = 0;
};

WindowDataMap<PopupState>& States() {
  static WindowDataMap<PopupState> states;
  return states;
}

bool Selectable(const MenuItem& item) { return !item.IsSeparator() && !item.IsPopup(); }

int ItemAt(const PopupState& state, int x, int y) {
  for (size_t i = 0; i < state.itemRects.size(); ++i) {
    const RECT& r = state.itemRects[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      return Selectable(state.menu->items[i]) ? int(i) : -1;
    }
  }
  return -1;
}

bool InsideClient(HWND window, int x, int y) {
  RECT client{};
  GetClientRect(window, &client);
  return x >= client.left && x < client.right && y >= client.top && y < client.bottom;
}

void Highlight(HWND window, PopupState& state, int index) {
  if (state.highlighted == index) return;
  state.highlighted = index;
  InvalidateRect(window, nullptr, FALSE);
}

void Choose(PopupState& state, int index) {
  if (index < 0) return;
  state.chosen = state.menu->items[size_t(index)].id;
  state.done = true;
}

// Moves the highlight to the next selectable item in `step`'s direction, wrapping around.
void Step(HWND window, PopupState& state, int step) {
  const int count = int(state.menu->items.size());
  int index = state.highlighted;
  for (int tries = 0; tries < count; ++tries) {
    index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
    if (Selectable(state.menu->items[size_t(index)])) {
      Highlight(window, state, index);
      return;
    }
  }
}

void Paint(HWND window, const PopupState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  FillColor(dc, client, kFrameColor);
  FillColor(dc, {client.left + 1, client.top + 1, client.right - 1, client.bottom - 1}, kMenuColor);
  HGDIOBJ oldFont = SelectObject(dc, DefaultControlFont());
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < state.itemRects.size(); ++i) {
    const MenuItem& item = state.menu->items[i];
    RECT r = state.itemRects[i];
    if (item.IsSeparator()) {
      const int middle = (r.top + r.bottom) / 2;
      FillColor(dc, {r.left + 2, middle, r.right - 2, middle + 1}, kShadowColor);
      continue;
    }
    const bool selected = int(i) == state.highlighted;
    if (selected) FillColor(dc, r, kMenuSelectedColor);
    SetTextColor(dc, selected ? kMenuSelectedTextColor : (item.IsPopup() ? kGrayTextColor : kTextColor));
    r.left += (r.bottom - r.top) / 3;
    DrawTextW(dc, item.text.c_str(), int(item.text.size()), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  }
  if (oldFont) SelectObject(dc, oldFont);
  EndPaint(window, &paint);
}

LRESULT PopupProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  const std::shared_ptr<PopupState> state = States().Find(window);
  if (state == nullptr) return DefWindowProcW(window, message, first, second);
  const int x = GET_X_LPARAM(second), y = GET_Y_LPARAM(second);
  switch (message) {
    case WM_PAINT: Paint(window, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      if (!InsideClient(window, x, y)) {
        state->done = true;  // a tap outside closes the menu and is not passed on
        return 0;
      }
      Highlight(window, *state, ItemAt(*state, x, y));
      return 0;
    case WM_MOUSEMOVE:
      if (first & MK_LBUTTON) Highlight(window, *state, ItemAt(*state, x, y));
      return 0;
    case WM_LBUTTONUP:
      if (InsideClient(window, x, y)) Choose(*state, ItemAt(*state, x, y));
      return 0;
    case WM_DESTROY: States().Erase(window); return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}

struct Layout {
  std::vector<RECT> itemRects;
  SIZE size{};
};

Layout LayOut(const Menu& menu) {
  Layout layout;
  const int itemHeight = std::max(MenuBarHeight(), 1);
  const int separatorHeight = std::max(itemHeight / 4, 3);
  const int padding = itemHeight / 3;
  int width = GetSystemMetrics(SM_CXSCREEN) / 3;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(dc, DefaultControlFont());
  for (const MenuItem& item : menu.items) {
    SIZE extent{};
    if (!item.IsSeparator() && GetTextExtentPoint32W(dc, item.text.c_str(), int(item.text.size()), &extent)) {
      width = std::max(width, int(extent.cx) + 3 * padding + 2);
    }
  }
  if (oldFont) SelectObject(dc, oldFont);
  DeleteDC(dc);
  width = std::min(width, GetSystemMetrics(SM_CXSCREEN));
  int top = 1;
  for (const MenuItem& item : menu.items) {
    const int height = item.IsSeparator() ? separatorHeight : itemHeight;
    layout.itemRects.push_back(RECT{1, top, width - 1, top + height});
    top += height;
  }
  layout.size = SIZE{width, top + 1};
  return layout;
}

POINT Place(SIZE size, UINT flags, int x, int y) {
  int left = x, top = y;
  if (flags & TPM_RIGHTALIGN) left = x - size.cx;
  else if (flags & TPM_CENTERALIGN) left = x - size.cx / 2;
  if (flags & TPM_BOTTOMALIGN) top = y - size.cy;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  left = std::max(0, std::min(left, screenWidth - int(size.cx)));
  top = std::max(0, std::min(top, screenHeight - int(size.cy)));
  return POINT{left, top};
}

void HandleKey(HWND window, PopupState& state, WPARAM key) {
  switch (key) {
    case VK_UP: Step(window, state, -1); break;
    case VK_DOWN: Step(window, state, +1); break;
    case VK_RETURN: Choose(state, state.highlighted); break;
    case VK_ESCAPE: state.done = true; break;
    default: break;
  }
}

}  // namespace

bool RegisterPopupMenuClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PopupProcedure;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kPopupMenuClassName;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
  std::shared_ptr<const Menu> items = MenuHandles::Find(menu);
  if (items == nullptr) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  if (items->items.empty()) return 0;
  auto state = std::make_shared<PopupState>();
  state->menu = items;
  Layout layout = LayOut(*items);
  state->itemRects = std::move(layout.itemRects);
  const POINT corner = Place(layout.size, flags, x, y);
  HWND popup = CreateWindowExW(WS_EX_NOACTIVATE, kPopupMenuClassName, nullptr, WS_POPUP, corner.x, corner.y,
                               layout.size.cx, layout.size.cy, owner, nullptr, nullptr, nullptr);
  if (popup == nullptr) return -1;
  States().Set(popup, state);
  ShowWindow(popup, SW_SHOW);
  UpdateWindow(popup);
  SetCapture(popup);

  while (!state->done && IsWindow(popup) && IsWindow(owner)) {
    MSG message{};
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(int(message.wParam));  // for the caller's own loop
      break;
    }
    if (got < 0) break;
    if (message.message == WM_KEYDOWN) {  // the menu has the keys while it is open
      HandleKey(popup, *state, message.wParam);
      continue;
    }
    if (message.message == WM_CHAR || message.message == WM_KEYUP) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (!state->done && GetCapture() != popup) break;  // another window took the stylus
  }
  if (GetCapture() == popup) ReleaseCapture();
  if (IsWindow(popup)) DestroyWindow(popup);
  States().Erase(popup);
  return state->done ? int(state->chosen) : 0;
}

}  // namespace ui::shell

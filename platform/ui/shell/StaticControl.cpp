#include "platform/ui/shell/StaticControl.h"

#include "platform/ui/Windows.h"
#include "platform/ui/shell/Bevel.h"
#include "platform/ui/shell/ControlColors.h"
#include "platform/ui/shell/ControlMessages.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/WindowDataMap.h"
#include "platform/ui/shell/WindowText.h"

namespace ui::shell {

namespace {

constexpr DWORD kKindMask = 0x1F;

struct StaticState {
  HICON icon = nullptr;
  bool ownsIcon = false;  // loaded from the window text by the control itself
  HFONT font = nullptr;
};

WindowDataMap<StaticState>& States() {
  static WindowDataMap<StaticState> states;
  return states;
}

DWORD StyleOf(HWND window) { return DWORD(GetWindowLongPtrW(window, GWL_STYLE)); }
bool IsIcon(DWORD style) { return (style & kKindMask) == SS_ICON; }

// The group's image for the system icon size (32 pixels at 240 wide, 48 at 480), drawn at its own
// size from the control's corner: with or without SS_REALSIZEIMAGE it is never stretched.
HICON LoadNamedIcon(const CREATESTRUCTW& create) {
  if (create.lpszName == nullptr || create.lpszName[0] == 0) return nullptr;
  return LoadIconW(create.hInstance, create.lpszName);
}

void ReleaseIcon(StaticState& state) {
  if (state.ownsIcon && state.icon) DestroyIcon(state.icon);
  state.icon = nullptr;
  state.ownsIcon = false;
}

void Paint(HWND window, const StaticState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  FillColor(dc, client, kWindowColor);
  const DWORD style = StyleOf(window);
  if (IsIcon(style)) {
    if (state.icon) DrawIconEx(dc, 0, 0, state.icon, 0, 0, 0, nullptr, DI_NORMAL);
  } else {
    UINT format = DT_WORDBREAK;
    if ((style & kKindMask) == SS_CENTER) format |= DT_CENTER;
    if ((style & kKindMask) == SS_RIGHT) format |= DT_RIGHT;
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    const std::u16string text = WindowText(window);
    HGDIOBJ oldFont = SelectObject(dc, state.font ? state.font : DefaultControlFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(window) ? kTextColor : kGrayTextColor);
    DrawTextW(dc, text.c_str(), int(text.size()), &client, format);
    if (oldFont) SelectObject(dc, oldFont);
  }
  EndPaint(window, &paint);
}

LRESULT StaticProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    auto state = std::make_shared<StaticState>();
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(second);
    if (create && IsIcon(DWORD(create->style))) {
      state->icon = LoadNamedIcon(*create);
      state->ownsIcon = state->icon != nullptr;
    }
    States().Set(window, std::move(state));
    return 0;
  }
  const std::shared_ptr<StaticState> state = States().Find(window);
  if (state == nullptr) return DefWindowProcW(window, message, first, second);
  switch (message) {
    case WM_DESTROY:
      ReleaseIcon(*state);
      States().Erase(window);
      return 0;
    case WM_PAINT: Paint(window, *state); return 0;
    case WM_ERASEBKGND: return 1;  // painting fills the whole client area
    case STM_SETIMAGE: {
      if (first != IMAGE_ICON) return 0;
      HICON previous = state->ownsIcon ? nullptr : state->icon;
      ReleaseIcon(*state);
      state->icon = reinterpret_cast<HICON>(second);
      InvalidateRect(window, nullptr, FALSE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE: return first == IMAGE_ICON ? reinterpret_cast<LRESULT>(state->icon) : 0;
    case WM_ENABLE: {
      const LRESULT result = DefWindowProcW(window, message, first, second);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    default: {
      LRESULT result = 0;
      if (HandleTextAndFontMessage(window, message, first, second, &state->font, &result)) return result;
      return DefWindowProcW(window, message, first, second);
    }
  }
}

}  // namespace

bool RegisterStaticClass() { return RegisterSystemClass(kStaticClassName, StaticProcedure); }

}  // namespace ui::shell

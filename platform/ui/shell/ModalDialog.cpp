#include "platform/ui/shell/ModalDialog.h"

#include <atomic>
#include <string>

#include "platform/kernel/WideText.h"
#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/shell/ControlMessages.h"
#include "platform/ui/shell/DeviceFont.h"
#include "platform/ui/shell/DialogUnits.h"
#include "platform/ui/shell/WindowDataMap.h"
#include "platform/ui/shell/WindowTree.h"

namespace ui::shell {

namespace {

constexpr int kDefaultPoints = 9;

struct DialogState {
  DLGPROC procedure = nullptr;
  std::atomic<bool> ended{false};
  std::atomic<INT_PTR> result{0};
};

WindowDataMap<DialogState>& States() {
  static WindowDataMap<DialogState> states;
  return states;
}

LRESULT DefaultDialogProcessing(HWND dialog, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_CLOSE: return 0;  // the procedure decides how a dialog ends
    case WM_INITDIALOG: return FALSE;
    default: return DefWindowProcW(dialog, message, first, second);
  }
}

LRESULT DialogProcedure(HWND dialog, UINT message, WPARAM first, LPARAM second) {
  const std::shared_ptr<DialogState> state = States().Find(dialog);
  if (state == nullptr) return DefaultDialogProcessing(dialog, message, first, second);
  const BOOL handled = state->procedure ? state->procedure(dialog, message, first, second) : FALSE;
  if (handled) return handled;
  return DefaultDialogProcessing(dialog, message, first, second);
}

// The window text of a control: "#<id>" for an integer name (how an icon control names its icon).
std::u16string ControlText(LPCWSTR text) {
  if (text == nullptr) return {};
  if (!IS_INTRESOURCE(text)) return text;
  WCHAR name[16] = {};
  WideFormatV(name, 16, u"#%d", int32_t(reinterpret_cast<uintptr_t>(text)));
  return name;
}

// Resizes the window so that its client area is `width` x `height`, whatever frame it has.
void SetClientSize(HWND window, int x, int y, int width, int height) {
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  const int extraX = (frame.right - frame.left) - (client.right - client.left);
  const int extraY = (frame.bottom - frame.top) - (client.bottom - client.top);
  MoveWindow(window, x, y, width + extraX, height + extraY, FALSE);
}

bool CreateControls(HWND dialog, HINSTANCE instance, const DialogTemplate& source, const DialogBaseUnits& units,
                    HFONT font, HWND* firstTabStop) {
  for (WORD i = 0; i < source.itemCount; ++i) {
    const DialogItemTemplate& item = source.items[i];
    if (item.windowClass == nullptr) return false;
    const std::u16string text = ControlText(item.text);
    HWND control = CreateWindowExW(item.exStyle, item.windowClass, item.text ? text.c_str() : nullptr,
                                   (item.style | WS_CHILD) & ~WS_POPUP, units.Horizontal(item.x),
                                   units.Vertical(item.y), units.Horizontal(item.cx), units.Vertical(item.cy), dialog,
                                   reinterpret_cast<HMENU>(uintptr_t(item.id)), instance, nullptr);
    if (control == nullptr) return false;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (*firstTabStop == nullptr && (item.style & WS_TABSTOP)) *firstTabStop = control;
  }
  return true;
}

// Enter and Escape meant for the dialog (or for its disabled owner) become IDOK and IDCANCEL.
bool HandleDialogKey(HWND dialog, const MSG& message) {
  if (message.message != WM_KEYDOWN || (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE)) return false;
  const bool forDialog =
      message.hwnd == nullptr || IsSelfOrDescendant(dialog, message.hwnd) || !IsWindowEnabled(TopLevelOf(message.hwnd));
  if (!forDialog) return false;
  const WORD id = message.wParam == VK_RETURN ? WORD(IDOK) : WORD(IDCANCEL);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  return true;
}

// Runs the dialog's messages until EndDialog, the dialog's end, or WM_QUIT (posted again).
void RunLoop(HWND dialog, const DialogState& state) {
  while (!state.ended && IsWindow(dialog)) {
    MSG message{};
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(int(message.wParam));
      return;
    }
    if (got < 0) return;
    if (HandleDialogKey(dialog, message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

INT_PTR RunModalDialog(HINSTANCE instance, const DialogTemplate& source, HWND owner, DLGPROC procedure,
                       LPARAM initParam) {
  if ((owner != nullptr && !IsWindow(owner)) || (source.itemCount != 0 && source.items == nullptr)) {
    SetLastError(owner != nullptr && !IsWindow(owner) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  HFONT ownFont = nullptr;
  if ((source.style & DS_SETFONT) && source.typeface != nullptr) {
    ownFont = CreateDeviceFont(source.typeface, source.pointSize ? source.pointSize : kDefaultPoints, false);
  }
  HFONT font = ownFont ? ownFont : DefaultControlFont();
  const DialogBaseUnits units = DialogBaseUnits::Of(font);
  const RECT work = WorkArea();
  const int x = work.left + units.Horizontal(source.x), y = work.top + units.Vertical(source.y);
  const int width = units.Horizontal(source.cx), height = units.Vertical(source.cy);
  HWND ownerWindow = owner ? TopLevelOf(owner) : nullptr;

  auto state = std::make_shared<DialogState>();
  state->procedure = procedure;
  HWND dialog = CreateWindowExW(source.exStyle, kDialogClassName, source.caption,
                                (source.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP, x, y, width, height, ownerWindow,
                                nullptr, instance, nullptr);
  HWND focus = nullptr;
  bool made = dialog != nullptr;
  if (made) {
    SetClientSize(dialog, x, y, width, height);
    States().Set(dialog, state);
    made = CreateControls(dialog, instance, source, units, font, &focus);
    if (!made) {
      States().Erase(dialog);  // the procedure never hears of a dialog that was not made
      DestroyWindow(dialog);
    }
  }
  if (!made) {
    if (ownFont) DeleteObject(ownFont);
    return -1;
  }
  if (source.exStyle & WS_EX_CAPTIONOKBTN) SetWindowDoneButton(dialog, TRUE);

  const bool disabledOwner = ownerWindow != nullptr && IsWindowEnabled(ownerWindow);
  if (disabledOwner) EnableWindow(ownerWindow, FALSE);
  const LRESULT focusDefault = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), initParam);
  if (!state->ended && IsWindow(dialog)) {
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    SetFocus(focusDefault && focus ? focus : dialog);
    UpdateWindow(dialog);
    RunLoop(dialog, *state);
  }

  // The owner is enabled before the dialog goes, so that it can become the foreground again.
  if (disabledOwner && IsWindow(ownerWindow)) EnableWindow(ownerWindow, TRUE);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  States().Erase(dialog);
  if (ownFont) DeleteObject(ownFont);
  if (ownerWindow != nullptr && IsWindow(ownerWindow)) SetForegroundWindow(ownerWindow);
  return state->ended ? state->result.load() : 0;
}

bool EndModalDialog(HWND dialog, INT_PTR result) {
  const std::shared_ptr<DialogState> state = States().Find(dialog);
  if (state == nullptr) return false;
  state->result = result;
  state->ended = true;
  PostMessageW(dialog, WM_NULL, 0, 0);  // wakes the loop when called from another thread
  return true;
}

bool RegisterDialogClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DialogProcedure;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kDialogClassName;
  return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace ui::shell

// Modal dialogs from templates and message boxes, run on the real headless window system and
// driven from inside their own loops by injected input.
#include <gtest/gtest.h>

#include "platform/ui/Resources.h"
#include "platform/ui/core/TaskBar.h"
#include "tests/platform/ui/ShellTestSupport.h"

using namespace shell_test;

namespace {

constexpr WORD kVersion = 202;

const DialogItemTemplate kItems[] = {
    {WS_CHILD | WS_VISIBLE | SS_NOPREFIX | WS_GROUP, 0, 12, 36, 70, 8, kVersion, u"static", u"Version 1.0"},
    {WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 52, 100, 50, 14, IDOK, u"button", u"OK"},
};
const DialogTemplate kDialog = {
    WS_POPUP | WS_CAPTION | DS_SETFONT, WS_EX_CAPTIONOKBTN, 0, 0, 156, 129, u"About", 9, u"MS Shell Dlg", kItems, 2};
// Without the Done button of its own: SHInitDialog gives it one.
const DialogTemplate kPlainDialog = {
    WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 156, 129, u"About", 9, u"MS Shell Dlg", kItems, 2};
const DialogItemTemplate kUnknownItems[] = {{WS_CHILD, 0, 0, 0, 10, 10, 1, u"NoSuchClass", u""}};
const DialogTemplate kUnmakeable = {WS_POPUP, 0, 0, 0, 50, 50, u"Broken", 0, nullptr, kUnknownItems, 1};

constexpr UINT kStep = WM_APP + 7;

// What the dialog procedure saw, for the test to check afterwards.
struct Seen {
  LPARAM initParam = 0;
  bool ownerEnabledDuringLoop = true;
  RECT version{};  // control 202 in the dialog's client coordinates
  RECT dialog{};   // the dialog on the screen
  HWND softKeyBar = nullptr;
  HWND owner = nullptr;
  UINT shellFlags = 0;
  bool tapDone = false;  // tap the task bar's Done button rather than the dialog's OK button
};
Seen seen;

RECT ClientRectOf(HWND dialog, HWND control) {
  RECT frame{};
  GetWindowRect(control, &frame);
  POINT corner{frame.left, frame.top};
  ScreenToClient(dialog, &corner);
  return RECT{corner.x, corner.y, corner.x + frame.right - frame.left, corner.y + frame.bottom - frame.top};
}

// Records what it sees, then (at kStep, from inside the modal loop) taps the OK or Done button.
BOOL TappingProcedure(HWND dialog, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_INITDIALOG:
      seen.initParam = second;
      if (seen.shellFlags) {
        SHINITDLGINFO init{SHIDIM_FLAGS, dialog, seen.shellFlags};
        SHInitDialog(&init);
      }
      PostMessageW(dialog, kStep, 0, 0);
      return TRUE;
    case kStep: {
      seen.ownerEnabledDuringLoop = IsWindowEnabled(seen.owner);
      seen.version = ClientRectOf(dialog, GetDlgItem(dialog, kVersion));
      GetWindowRect(dialog, &seen.dialog);
      seen.softKeyBar = FindWindowW(u"SoftKeyBar", nullptr);
      const RECT done = TaskBar::OkButtonRectFor(240, TaskBarHeight());
      const POINT ok = seen.tapDone ? POINT{(done.left + done.right) / 2, (done.top + done.bottom) / 2}
                                    : CentreOf(GetDlgItem(dialog, IDOK));
      InjectStylusDown(ok.x, ok.y);
      InjectStylusUp(ok.x, ok.y);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(first) == IDOK) EndDialog(dialog, 42);
      return TRUE;
    default: return FALSE;
  }
}

class ShellDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    StartHeadlessScreen();
    seen = Seen{};
  }
};

TEST_F(ShellDialogs, ModalDialogLaysOutInDialogUnitsAndReturnsEndDialogsResult) {
  CommandWindow owner;
  seen.owner = owner.handle();
  EXPECT_EQ(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &kDialog, owner.handle(), TappingProcedure, 0x1234), 42);
  EXPECT_EQ(seen.initParam, 0x1234);
  EXPECT_FALSE(seen.ownerEnabledDuringLoop);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_EQ(GetForegroundWindow(), owner.handle());

  // Base units measured independently: the 9-point font at 96 dpi is 12 pixels high.
  LOGFONTW request{};
  request.lfHeight = -12;
  HFONT font = CreateFontIndirectW(&request);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE letters{};
  GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &letters);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  const int baseX = int((letters.cx / 26 + 1) / 2), baseY = int(letters.cy);
  EXPECT_EQ(seen.version.left, 3 * baseX);            // 12 units
  EXPECT_EQ(seen.version.top, (36 * baseY + 4) / 8);  // 36 units
  EXPECT_EQ(seen.version.right - seen.version.left, (70 * baseX + 2) / 4);
  EXPECT_EQ(seen.version.bottom - seen.version.top, baseY);  // 8 units
}

TEST_F(ShellDialogs, ShellInitialisedDialogFillsTheScreenWithItsOwnEmptySoftKeyBar) {
  CommandWindow owner;
  seen.owner = owner.handle();
  seen.shellFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
  seen.tapDone = true;
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kPlainDialog, owner.handle(), TappingProcedure, 0), 42);
  const RECT work = WorkArea();
  EXPECT_EQ(seen.dialog.left, work.left);
  EXPECT_EQ(seen.dialog.top, work.top);
  EXPECT_EQ(seen.dialog.right, work.right);
  EXPECT_EQ(seen.dialog.bottom, work.bottom - MenuBarHeight());
  ASSERT_NE(seen.softKeyBar, nullptr);
  EXPECT_FALSE(IsWindow(seen.softKeyBar));  // gone with the dialog
}

TEST_F(ShellDialogs, MessageBoxIsDismissedByEnterEscapeOrItsButton) {
  CommandWindow owner;
  for (const WORD key : {VK_RETURN, VK_ESCAPE, WORD(0)}) {
    bool ownerDisabled = false;
    InputScript script({[&] {
      ownerDisabled = !IsWindowEnabled(owner.handle());
      if (key != 0) {
        InjectKey(key, true);
        InjectKey(key, false);
      } else {
        HWND box = GetForegroundWindow(), ok = GetDlgItem(box, IDOK);
        RECT boxFrame{}, okFrame{};
        GetWindowRect(box, &boxFrame);
        GetWindowRect(ok, &okFrame);
        EXPECT_TRUE(okFrame.top >= boxFrame.top && okFrame.bottom <= boxFrame.bottom);  // not cut off
        Tap(CentreOf(ok));
      }
    }});
    script.Start();
    EXPECT_EQ(MessageBoxW(owner.handle(), u"Could not do it", u"Orvan.Map", MB_OK), IDOK) << key;
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  }
}

BOOL QuittingProcedure(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) PostMessageW(dialog, kStep, 0, 0);
  if (message == kStep) PostQuitMessage(7);
  return message == WM_INITDIALOG || message == kStep;
}

TEST_F(ShellDialogs, QuitEndsTheModalLoopAndReachesTheProgramsLoop) {
  CommandWindow owner;
  DialogBoxIndirectParamW(nullptr, &kDialog, owner.handle(), QuittingProcedure, 0);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  MSG message{};
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(ShellDialogs, DialogsThatCannotBeMadeGiveMinusOneAndLeaveTheOwnerAlone) {
  CommandWindow owner;
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kUnmakeable, owner.handle(), TappingProcedure, 0), -1);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(999), owner.handle(), TappingProcedure, 0), -1);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, nullptr, owner.handle(), TappingProcedure, 0), -1);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_FALSE(EndDialog(owner.handle(), 1));  // not a dialog
}

}  // namespace

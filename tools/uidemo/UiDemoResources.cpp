// uidemo's resources: strings, accelerators, the Help menu, the soft-key bar's raw definition and
// the About dialog.
#include "platform/ui/Resources.h"
#include "tools/uidemo/UiDemoIds.h"

namespace {

using namespace uidemo;

constexpr WORD kKorean = 1042;

const MenuItemTemplate kHelpItems[] = {{MF_STRING, kAboutCommand, u"About...", nullptr, 0}};
const MenuItemTemplate kMenuItems[] = {{MF_POPUP, 0, u"Help", kHelpItems, 1}};
const MenuTemplate kHelpMenu = {kMenuItems, 1};

// Menu 102 with two soft keys: "OK" pushes 40000; "Help" drops down popup 0 of menu 102.
const uint8_t kMenuBar[] = {
    102,  0,    2,    0,                                           // menu id, count
    0xFE, 0xFF, 0x40, 0x9C, 0x04, 0x10, 103, 0, 0, 0, 0xFF, 0xFF,  // OK
    0xFE, 0xFF, 0x41, 0x9C, 0x04, 0x18, 104, 0, 0, 0, 0,    0,     // Help
};

const ACCEL kAcceleratorTable[] = {
    {FVIRTKEY | FNOINVERT | FCONTROL, 'A', kAboutCommand},
    {FVIRTKEY | FNOINVERT | FCONTROL | FLASTENTRY, 'Q', kOkCommand},
};

const DialogItemTemplate kAboutItems[] = {
    {WS_CHILD | WS_VISIBLE | SS_NOPREFIX | WS_GROUP, 0, 12, 12, 132, 10, kVersionText, u"static", u"UI Demo 1.0"},
    {WS_CHILD | WS_VISIBLE | SS_LEFT | WS_GROUP, 0, 12, 28, 132, 20, kNoticeText, u"static",
     u"Tap Done or OK to close."},
    {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 52, 60, 50, 14, IDOK, u"button", u"OK"},
};
const DialogTemplate kAbout = {WS_POPUP | WS_CAPTION | DS_SETFONT,
                               WS_EX_CAPTIONOKBTN,
                               0,
                               0,
                               156,
                               129,
                               u"About UI Demo",
                               9,
                               u"MS Shell Dlg",
                               kAboutItems,
                               3};

const ResourceEntry kResources[] = {
    {RT_STRING, MAKEINTRESOURCEW(kTitleString), kKorean, u"UI Demo", sizeof(u"UI Demo")},
    {RT_STRING, MAKEINTRESOURCEW(kClassString), kKorean, u"UIDEMO", sizeof(u"UIDEMO")},
    {RT_STRING, MAKEINTRESOURCEW(kOkString), kKorean, u"OK", sizeof(u"OK")},
    {RT_STRING, MAKEINTRESOURCEW(kHelpString), kKorean, u"Help", sizeof(u"Help")},
    {RT_MENU, MAKEINTRESOURCEW(kMenu), kKorean, &kHelpMenu, sizeof kHelpMenu},
    {RT_RCDATA, MAKEINTRESOURCEW(kMenu), kKorean, kMenuBar, sizeof kMenuBar},
    {RT_ACCELERATOR, MAKEINTRESOURCEW(kAccelerators), kKorean, kAcceleratorTable, sizeof kAcceleratorTable},
    {RT_DIALOG, MAKEINTRESOURCEW(kAboutDialog), kKorean, &kAbout, sizeof kAbout},
};
const ResourceTableRegistration kRegistration(GetModuleHandleW(nullptr), kResources);

}  // namespace

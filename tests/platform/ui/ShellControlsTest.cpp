// The standard controls, accelerators and the soft-key menu bar, driven as the device's user
// drives them (injected stylus and keys) on the real headless window system.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "platform/imaging/DecodedImage.h"
#include "platform/ui/Resources.h"
#include "tests/platform/ui/ShellTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace shell_test;

namespace {

constexpr WORD kKorean = 1042;
constexpr uint32_t kFace = 0xD4D0C8;  // a button's face, 0x00RRGGBB
constexpr uint32_t kPressedFace = 0xB4B0A8;
constexpr uint32_t kBar = 0x182848;  // the soft-key bar
constexpr uint32_t kWhite = 0xFFFFFF;

// Menu 102, two keys: "OK" pushes 40000; "Help" drops down popup 0 of menu 102.
const uint8_t kMenuBar[] = {
    102,  0,    2,    0,                                           // menu id, count
    0xFE, 0xFF, 0x40, 0x9C, 0x04, 0x10, 103, 0, 0, 0, 0xFF, 0xFF,  // image -2, 40000, 0x04, 0x10, 103, 0, none
    0xFE, 0xFF, 0x41, 0x9C, 0x04, 0x18, 104, 0, 0, 0, 0,    0,     // image -2, 40001, 0x04, 0x18, 104, 0, popup 0
};
// The same definition cut one byte short, and one naming a popup the menu does not have.
const uint8_t kBadPopupBar[] = {102, 0, 1, 0, 0xFE, 0xFF, 0x41, 0x9C, 0x04, 0x18, 104, 0, 0, 0, 5, 0};

const MenuItemTemplate kHelpItems[] = {{MF_STRING, 40002, u"About...", nullptr, 0}};
const MenuItemTemplate kMenuItems[] = {{MF_POPUP, 0, u"Help", kHelpItems, 1}};
const MenuTemplate kMenu = {kMenuItems, 1};

// Ctrl+A and Ctrl+Q, then an entry past the last one that must never match.
const ACCEL kAccelerators[] = {
    {FVIRTKEY | FNOINVERT | FCONTROL, 'A', 40002},
    {FVIRTKEY | FNOINVERT | FCONTROL | FLASTENTRY, 'Q', 40000},
    {FVIRTKEY | FCONTROL, 'B', 999},
};

const ResourceEntry kResources[] = {
    {RT_STRING, MAKEINTRESOURCEW(103), kKorean, u"OK", sizeof(u"OK")},
    {RT_STRING, MAKEINTRESOURCEW(104), kKorean, u"Help", sizeof(u"Help")},
    {RT_MENU, MAKEINTRESOURCEW(102), kKorean, &kMenu, sizeof kMenu},
    {RT_RCDATA, MAKEINTRESOURCEW(102), kKorean, kMenuBar, sizeof kMenuBar},
    {RT_RCDATA, MAKEINTRESOURCEW(110), kKorean, kMenuBar, sizeof kMenuBar - 1},
    {RT_RCDATA, MAKEINTRESOURCEW(111), kKorean, kBadPopupBar, sizeof kBadPopupBar},
    {RT_ACCELERATOR, MAKEINTRESOURCEW(2), kKorean, kAccelerators, sizeof kAccelerators},
};
const ResourceTableRegistration kRegistration(GetModuleHandleW(nullptr), kResources);

class ShellControls : public ::testing::Test {
 protected:
  void SetUp() override { StartHeadlessScreen(); }
};

HWND MakeButton(HWND parent, int id, int top = 40) {
  return CreateWindowExW(0, u"BUTTON", u"Press", WS_CHILD | WS_VISIBLE, 20, top, 100, 30, parent,
                         reinterpret_cast<HMENU>(uintptr_t(id)), GetModuleHandleW(nullptr), nullptr);
}

HWND MakeMenuBar(HWND parent, UINT id) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = parent;
  info.nToolBarId = id;
  info.hInstRes = GetModuleHandleW(nullptr);
  info.hwndMB = reinterpret_cast<HWND>(uintptr_t(1));  // must be cleared on failure
  const BOOL made = SHCreateMenuBar(&info);
  EXPECT_EQ(made != FALSE, info.hwndMB != nullptr);
  PumpMessages();
  return info.hwndMB;
}

// Key presses delivered, then pumped through the accelerator table as a program's loop does.
void PressKeys(HWND window, HACCEL table, std::initializer_list<WORD> keys) {
  for (WORD key : keys) InjectKey(key, true);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) InjectKey(*key, false);
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (TranslateAcceleratorW(window, table, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

POINT ScreenPoint(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  return point;
}

// Pixels of `rect` (screen) that differ from `background`.
int PixelsUnlike(const RECT& rect, uint32_t background) {
  int count = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) count += ScreenPixel(x, y) != background;
  }
  return count;
}

// A screenshot file read back: 0x00RRGGBB pixels.
struct Screenshot {
  imaging::DecodedImage image;
  uint32_t At(int x, int y) const {
    const uint8_t* p = image.Row(uint32_t(y)) + size_t(x) * 4;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  }
  int Unlike(const RECT& rect, uint32_t background) const {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.right; ++x) count += At(x, y) != background;
    }
    return count;
  }
};

bool ReadScreenshot(const std::string& path, Screenshot* out) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return imaging::DecodeImage(bytes.data(), bytes.size(), &out->image) == imaging::ImageError::None;
}

TEST_F(ShellControls, ButtonClicksOnlyWhenReleasedOverItAndEnabled) {
  CommandWindow owner;
  HWND button = MakeButton(owner.handle(), 4660);
  ASSERT_NE(button, nullptr);
  PumpMessages();
  const POINT face = ScreenPoint(button, 5, 5);
  EXPECT_EQ(ScreenPixel(face.x, face.y), kFace);

  Tap(CentreOf(button));
  ASSERT_EQ(owner.commands().size(), 1u);
  EXPECT_EQ(owner.commands()[0].id, 4660);
  EXPECT_EQ(owner.commands()[0].code, BN_CLICKED);
  EXPECT_EQ(owner.commands()[0].source, reinterpret_cast<LPARAM>(button));

  // Down on it shows it pressed; dragged off and released outside, nothing is sent.
  owner.Clear();
  const POINT centre = CentreOf(button);
  InjectStylusDown(centre.x, centre.y);
  PumpMessages();
  EXPECT_EQ(ScreenPixel(face.x, face.y), kPressedFace);
  InjectStylusMove(centre.x, centre.y + 60);
  PumpMessages();
  EXPECT_EQ(ScreenPixel(face.x, face.y), kFace);
  InjectStylusUp(centre.x, centre.y + 60);
  PumpMessages();
  EXPECT_TRUE(owner.commands().empty());

  // Two quick taps on two buttons, the second before the first button's thread has handled the
  // first lift (it still holds the stylus): each button is clicked once.
  owner.Clear();
  HWND second = MakeButton(owner.handle(), 4661, 90);
  PumpMessages();
  const POINT other = CentreOf(second);
  InjectStylusDown(centre.x, centre.y);
  PumpMessages();  // the first button takes the stylus
  InjectStylusUp(centre.x, centre.y);
  InjectStylusDown(other.x, other.y);
  InjectStylusUp(other.x, other.y);
  PumpMessages();
  ASSERT_EQ(owner.commands().size(), 2u);
  EXPECT_EQ(owner.commands()[0].id, 4660);
  EXPECT_EQ(owner.commands()[1].id, 4661);

  owner.Clear();
  EnableWindow(button, FALSE);
  Tap(centre);
  EXPECT_TRUE(owner.commands().empty());
}

TEST_F(ShellControls, AcceleratorsUseTheModifiersOfTheMomentTheKeyWasPressed) {
  CommandWindow owner;
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(2));
  ASSERT_NE(table, nullptr);
  // Ctrl is already released when the loop reads the keys: the state at each key counts.
  PressKeys(owner.handle(), table, {VK_CONTROL, 'A'});
  PressKeys(owner.handle(), table, {VK_CONTROL, 'Q'});
  ASSERT_EQ(owner.commands().size(), 2u);
  EXPECT_EQ(owner.commands()[0].id, 40002);
  EXPECT_EQ(owner.commands()[0].code, 1);
  EXPECT_EQ(owner.commands()[1].id, 40000);

  owner.Clear();
  PressKeys(owner.handle(), table, {'A'});                        // no Ctrl
  PressKeys(owner.handle(), table, {VK_CONTROL, VK_SHIFT, 'A'});  // an extra modifier
  PressKeys(owner.handle(), table, {VK_CONTROL, 'B'});            // past the last entry
  EXPECT_TRUE(owner.commands().empty());
  EXPECT_TRUE(DestroyAcceleratorTable(table));
  EXPECT_FALSE(DestroyAcceleratorTable(table));
}

TEST_F(ShellControls, MenuBarRunsItsPushKeyAndItsDropDownPopupItem) {
  CommandWindow owner;
  HWND bar = MakeMenuBar(owner.handle(), 102);
  ASSERT_NE(bar, nullptr);
  RECT frame{};
  GetWindowRect(bar, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.right, 240);
  EXPECT_EQ(frame.bottom, 320);
  EXPECT_EQ(frame.bottom - frame.top, MenuBarHeight());
  // Both labels are drawn, one in each half.
  EXPECT_GT(PixelsUnlike({0, frame.top, 120, frame.bottom}, kBar), 10);
  EXPECT_GT(PixelsUnlike({120, frame.top, 240, frame.bottom}, kBar), 10);
  EXPECT_EQ(ScreenPixel(2, frame.top + 2), kBar);

  Tap({60, (frame.top + frame.bottom) / 2});
  ASSERT_EQ(owner.commands().size(), 1u);
  EXPECT_EQ(owner.commands()[0].id, 40000);

  owner.Clear();
  RECT popupFrame{};
  InputScript script({
      [&] {  // opens the popup: the next step runs inside its loop
        InjectStylusDown(180, (frame.top + frame.bottom) / 2);
        InjectStylusUp(180, (frame.top + frame.bottom) / 2);
      },
      [&] {
        HWND popup = FindWindowW(u"PopupMenu", nullptr);
        ASSERT_NE(popup, nullptr);
        GetWindowRect(popup, &popupFrame);
        const POINT item = CentreOf(popup);
        InjectStylusDown(item.x, item.y);
        InjectStylusUp(item.x, item.y);
      },
  });
  script.Start();
  PumpMessages();
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(popupFrame.bottom, frame.top);  // above the bar, against the screen's right edge
  EXPECT_EQ(popupFrame.right, 240);
  ASSERT_EQ(owner.commands().size(), 1u);
  EXPECT_EQ(owner.commands()[0].id, 40002);
  EXPECT_EQ(FindWindowW(u"PopupMenu", nullptr), nullptr);
  DestroyWindow(bar);
}

TEST_F(ShellControls, MalformedMenuBarDefinitionsAreRefused) {
  CommandWindow owner;
  EXPECT_EQ(MakeMenuBar(owner.handle(), 110), nullptr);  // cut one byte short
  EXPECT_EQ(MakeMenuBar(owner.handle(), 111), nullptr);  // a popup the menu lacks
  EXPECT_EQ(MakeMenuBar(owner.handle(), 112), nullptr);  // no such definition
  SHMENUBARINFO info{};
  info.cbSize = sizeof info - 1;
  info.hwndParent = owner.handle();
  info.nToolBarId = 102;
  EXPECT_FALSE(SHCreateMenuBar(&info));
}

TEST_F(ShellControls, ScreenshotShowsTaskBarWindowButtonAndSoftKeys) {
  CommandWindow owner;
  HWND button = MakeButton(owner.handle(), 1);
  HWND bar = MakeMenuBar(owner.handle(), 102);
  ASSERT_TRUE(button && bar);
  PumpMessages();
  const TempFolder folder;
  const std::string path = folder.File("shell_screen.png");
  ASSERT_TRUE(WriteScreenshot(path.c_str()));
  Screenshot shot;
  ASSERT_TRUE(ReadScreenshot(path, &shot));
  ASSERT_EQ(shot.image.width, 240u);
  ASSERT_EQ(shot.image.height, 320u);
  const POINT origin = ScreenPoint(owner.handle(), 0, 0);
  EXPECT_EQ(origin.y, TaskBarHeight());  // the window starts below the task bar
  EXPECT_GT(shot.Unlike({0, 0, 240, TaskBarHeight()}, kWhite), 240 * TaskBarHeight() / 2);  // the task bar
  EXPECT_EQ(shot.At(200, 200), kWhite);                                                     // the window
  const POINT corner = ScreenPoint(owner.handle(), 20, 40);
  EXPECT_EQ(shot.At(corner.x, corner.y), 0u);  // the button's frame, lit edge and face
  EXPECT_EQ(shot.At(corner.x + 1, corner.y + 1), kWhite);
  EXPECT_EQ(shot.At(corner.x + 4, corner.y + 4), kFace);
  EXPECT_EQ(shot.At(corner.x + 99, corner.y + 29), 0u);
  EXPECT_EQ(shot.At(corner.x + 100, corner.y + 30), kWhite);  // just outside it
  EXPECT_EQ(shot.At(corner.x - 1, corner.y - 1), kWhite);
  EXPECT_GT(shot.Unlike({corner.x + 3, corner.y + 3, corner.x + 97, corner.y + 27}, kFace), 10);  // "Press"
  EXPECT_EQ(shot.At(1, 320 - MenuBarHeight() + 1), kBar);                                         // the soft-key bar
  DestroyWindow(bar);
}

}  // namespace

namespace {

TEST_F(ShellControls, ActivationRecordKeepsTheFocusedChildAcrossDeactivation) {
  CommandWindow owner;
  HWND button = MakeButton(owner.handle(), 5);
  SHACTIVATEINFO record{};
  record.cbSize = sizeof record;
  SetFocus(button);
  ASSERT_TRUE(SHHandleWMActivate(owner.handle(), MAKEWPARAM(WA_INACTIVE, 0), 0, &record, 0));
  EXPECT_EQ(record.hwndLastFocus, button);
  EXPECT_EQ(record.fActive, 0u);
  SetFocus(owner.handle());
  ASSERT_TRUE(SHHandleWMActivate(owner.handle(), MAKEWPARAM(WA_ACTIVE, 0), 0, &record, 0));
  EXPECT_EQ(GetFocus(), button);
  EXPECT_EQ(record.fActive, 1u);
  EXPECT_TRUE(SHHandleWMSettingChange(owner.handle(), 0, 0, &record));

  SHACTIVATEINFO wrongSize = record;
  wrongSize.cbSize = 12;  // the size of another layout: refused, untouched
  wrongSize.hwndLastFocus = nullptr;
  EXPECT_FALSE(SHHandleWMActivate(owner.handle(), MAKEWPARAM(WA_INACTIVE, 0), 0, &wrongSize, 0));
  EXPECT_EQ(wrongSize.hwndLastFocus, nullptr);
  EXPECT_FALSE(SHHandleWMSettingChange(owner.handle(), 0, 0, &wrongSize));
  EXPECT_FALSE(SHHandleWMActivate(owner.handle(), 0, 0, nullptr, 0));
}

}  // namespace

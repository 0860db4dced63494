// The composed device screen: the task bar with the foreground window's title and its ok
// button, top-level windows in z-order, the screenshot file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "TestWindow.h"
#include "platform/imaging/DecodedImage.h"
#include "platform/ui/core/ShellHooks.h"
#include "tests/support/TempFolder.h"

namespace {
class DeviceScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { StartTestScreen(); }
};

int WhitePixelsInTaskBar(int fromX, int toX) {
  int count = 0;
  for (int y = 0; y < TaskBarHeight(); ++y) {
    for (int x = fromX; x < toX; ++x) count += ScreenPixel(x, y) == 0xFFFFFFu ? 1 : 0;
  }
  return count;
}

TEST_F(DeviceScreenTest, TheScreenshotShowsTheTaskBarWithTheTitleAndTheWindowsInZOrder) {
  EXPECT_EQ(TaskBarHeight(), 26);
  EXPECT_EQ(MenuBarHeight(), 26);
  TestWindow main;
  main.fill = RGB(0, 160, 0);
  HWND mainWindow =
      main.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, u"Map viewer");
  TestWindow dialog;
  dialog.fill = RGB(0, 0, 200);
  HWND dialogWindow = dialog.Create(WS_VISIBLE | WS_BORDER, 40, 100, 160, 100, mainWindow, u"About");
  PumpMessages();
  EXPECT_EQ(GetForegroundWindow(), dialogWindow);
  const int titleInk = WhitePixelsInTaskBar(0, 200);
  EXPECT_GT(titleInk, 20) << "the foreground window's title is written in the task bar";

  const TempFolder folder;
  const std::string path = folder.File("ui_screen_test.png");
  ASSERT_TRUE(WriteScreenshot(path.c_str()));
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  imaging::DecodedImage image;
  ASSERT_EQ(imaging::DecodeImage(bytes.data(), bytes.size(), &image), imaging::ImageError::None);
  ASSERT_EQ(image.width, 240u);
  ASSERT_EQ(image.height, 320u);
  auto rgb = [&](int x, int y) {
    const uint8_t* p = image.Row(uint32_t(y)) + x * 4;
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  };
  EXPECT_EQ(rgb(230, 3), 0x203C78u);    // task bar
  EXPECT_EQ(rgb(10, 300), 0x00A000u);   // main window
  EXPECT_EQ(rgb(40, 100), 0x000000u);   // the dialog's border
  EXPECT_EQ(rgb(100, 150), 0x0000C8u);  // the dialog over the main window

  // Bringing the main window forward keeps the window it owns above it; its title shows instead.
  SetForegroundWindow(mainWindow);
  PumpMessages();
  EXPECT_EQ(ScreenPixel(100, 150), 0x0000C8u);
  EXPECT_NE(WhitePixelsInTaskBar(0, 200), titleInk);

  // Hiding the dialog uncovers the main window without it painting again.
  main.Clear();
  ShowWindow(dialogWindow, SW_HIDE);
  EXPECT_EQ(ScreenPixel(100, 150), 0x00A000u);
  DestroyWindow(mainWindow);
  EXPECT_EQ(ScreenPixel(100, 150), 0xC8C8C8u);
  EXPECT_EQ(WhitePixelsInTaskBar(0, 240), 0) << "no foreground window, no title";
}

TEST_F(DeviceScreenTest, TheDoneButtonShowsForItsWindowAndATapOnItSendsOk) {
  TestWindow main;
  HWND mainWindow = main.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  PumpMessages();
  const int before = WhitePixelsInTaskBar(180, 240);
  ASSERT_TRUE(SetWindowDoneButton(mainWindow, TRUE));
  EXPECT_GT(WhitePixelsInTaskBar(180, 240), before + 20);
  main.Clear();
  InjectStylusDown(225, 13);
  InjectStylusUp(225, 13);
  PumpMessages();
  bool gotOk = false;
  for (const auto& r : main.Log()) gotOk |= r.message == WM_COMMAND && LOWORD(r.first) == IDOK;
  EXPECT_TRUE(gotOk);
  DestroyWindow(mainWindow);
}
}  // namespace

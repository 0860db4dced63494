// Windows and their relations: creation data, classes, destruction order, frames and client
// areas, stylus routing and capture.
#include <gtest/gtest.h>

#include <string>

#include "TestWindow.h"
#include "platform/ui/core/ShellHooks.h"

namespace {
class WindowTreeTest : public ::testing::Test {
 protected:
  void SetUp() override { StartTestScreen(); }
};

LRESULT RefuseCreate(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcW(window, message, first, second);
}

TEST_F(WindowTreeTest, CreationHandsOverItsParameterAndARefusedCreateGivesNoWindow) {
  TestWindow record;
  HWND window = record.Create(0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(window, GWL_USERDATA), reinterpret_cast<intptr_t>(&record));
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 26);
  EXPECT_EQ(frame.right, 240);
  EXPECT_EQ(frame.bottom, 320);

  WNDCLASSW again{};
  again.lpfnWndProc = RefuseCreate;
  again.lpszClassName = u"uitestwindow";  // class names ignore case
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSW refusing{};
  refusing.lpfnWndProc = RefuseCreate;
  refusing.lpszClassName = u"UiRefusing";
  RegisterClassW(&refusing);
  EXPECT_EQ(CreateWindowExW(0, u"UiRefusing", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  DestroyWindow(window);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(GetWindowLongPtrW(window, GWL_USERDATA), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// A size from a template or a caller (a dialog 32767 units wide) once made a backing store of
// gigabytes: a top-level window's sides are cut to 4096, on creation and when moved.
TEST_F(WindowTreeTest, ATopLevelWindowIsAtMost4096PixelsWideAndHighWhateverItAsksFor) {
  TestWindow record;
  HWND window = record.Create(0, 5, 30, 100000, 60000);
  ASSERT_NE(window, nullptr);
  RECT frame;
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(frame.right - frame.left, 4096);
  EXPECT_EQ(frame.bottom - frame.top, 4096);
  ASSERT_TRUE(MoveWindow(window, 0, 26, 70000, 200, FALSE));
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(frame.right - frame.left, 4096);
  EXPECT_EQ(frame.bottom - frame.top, 200);
  TestWindow inside;
  HWND child = inside.Create(WS_CHILD, 0, 0, 9000, 10, window);
  ASSERT_TRUE(GetWindowRect(child, &frame));
  EXPECT_EQ(frame.right - frame.left, 9000) << "a child keeps its size: it draws into its top-level window";
  DestroyWindow(window);
}

TEST_F(WindowTreeTest, DestroyReachesTheParentFirstWhileItsChildrenStillExistAndTakesOwnedWindowsAlong) {
  std::vector<std::string> order;
  TestWindow parent;
  TestWindow child;
  TestWindow grandchild;
  TestWindow owned;
  HWND parentWindow = parent.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  HWND childWindow = child.Create(WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, parentWindow);
  HWND grandchildWindow = grandchild.Create(WS_CHILD | WS_VISIBLE, 5, 5, 20, 20, childWindow);
  HWND ownedWindow = owned.Create(WS_VISIBLE, 20, 60, 100, 100, parentWindow);
  bool childrenAliveDuringParentDestroy = false;
  parent.hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_DESTROY) {
      order.push_back("parent");
      childrenAliveDuringParentDestroy =
          IsWindow(childWindow) && IsWindow(grandchildWindow) && GetParent(grandchildWindow) == childWindow;
    }
    return false;
  };
  child.hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_DESTROY) order.push_back("child");
    return false;
  };
  grandchild.hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_DESTROY) order.push_back("grandchild");
    return false;
  };
  owned.hook = [&](HWND, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_DESTROY) order.push_back("owned");
    return false;
  };
  EXPECT_EQ(GetParent(ownedWindow), parentWindow);  // a popup's parent is its owner
  PumpMessages();
  ASSERT_TRUE(DestroyWindow(parentWindow));
  EXPECT_EQ(order, (std::vector<std::string>{"owned", "parent", "child", "grandchild"}));
  EXPECT_TRUE(childrenAliveDuringParentDestroy);
  for (HWND gone : {parentWindow, childWindow, grandchildWindow, ownedWindow}) EXPECT_FALSE(IsWindow(gone));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(ScreenPixel(120, 200), 0x00C8C8C8u) << "no window left: the desktop shows";
}

TEST_F(WindowTreeTest, ABorderTakesOnePixelFromEachSideOfTheClientAreaAndACaptionItsHeightFromTheTop) {
  TestWindow main;
  main.fill = RGB(255, 255, 255);
  HWND mainWindow = main.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  TestWindow bordered;
  bordered.fill = RGB(0, 0, 255);
  HWND child = bordered.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 20, 100, 50, mainWindow);
  PumpMessages();
  RECT client;
  ASSERT_TRUE(GetClientRect(child, &client));
  EXPECT_EQ(client.right, 98);
  EXPECT_EQ(client.bottom, 48);
  POINT origin{0, 0};
  ClientToScreen(child, &origin);
  EXPECT_EQ(origin.x, 11);
  EXPECT_EQ(origin.y, 26 + 21);
  // Frame at screen (10, 46) .. (110, 96): black edges, blue inside, white beyond.
  EXPECT_EQ(ScreenPixel(10, 46), 0x000000u);
  EXPECT_EQ(ScreenPixel(109, 95), 0x000000u);
  EXPECT_EQ(ScreenPixel(60, 46), 0x000000u);
  EXPECT_EQ(ScreenPixel(11, 47), 0x0000FFu);
  EXPECT_EQ(ScreenPixel(108, 94), 0x0000FFu);
  EXPECT_EQ(ScreenPixel(110, 96), 0xFFFFFFu);

  // A caption (border and title bar) takes its height from the top as well.
  TestWindow dialog;
  HWND dialogWindow = dialog.Create(WS_VISIBLE | WS_CAPTION, 20, 100, 200, 120, mainWindow, u"Caption");
  PumpMessages();
  ASSERT_TRUE(GetClientRect(dialogWindow, &client));
  EXPECT_EQ(client.right, 198);
  EXPECT_EQ(client.bottom, 118 - CaptionHeight());
  EXPECT_EQ(ScreenPixel(30, 101), 0x203C78u) << "the caption is drawn";
  EXPECT_EQ(ScreenPixel(30, 101 + CaptionHeight()), 0xFF0000u) << "the client area starts below it";
  DestroyWindow(mainWindow);
}

TEST_F(WindowTreeTest, TheStylusReachesTheTopmostWindowInClientCoordinatesAndCaptureTakesItAnywhere) {
  TestWindow main;
  HWND mainWindow = main.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  TestWindow child;
  HWND childWindow = child.Create(WS_CHILD | WS_VISIBLE, 40, 40, 100, 100, mainWindow);
  TestWindow disabled;
  HWND disabledWindow = disabled.Create(WS_CHILD | WS_VISIBLE | WS_DISABLED, 150, 40, 50, 50, mainWindow);
  PumpMessages();
  main.Clear();
  child.Clear();

  InjectStylusDown(50, 26 + 45);
  InjectStylusMove(60, 26 + 50);
  InjectStylusUp(60, 26 + 50);
  InjectStylusMove(70, 26 + 70);   // not touching: no message
  InjectStylusDown(160, 26 + 50);  // on a disabled window: swallowed
  InjectStylusUp(160, 26 + 50);
  PumpMessages();
  auto log = child.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].message, WM_LBUTTONDOWN);
  EXPECT_EQ(log[0].second, MAKELPARAM(10, 5));
  EXPECT_EQ(log[0].first, MK_LBUTTON);
  EXPECT_EQ(log[1].message, WM_MOUSEMOVE);
  EXPECT_EQ(log[2].message, WM_LBUTTONUP);
  EXPECT_EQ(disabled.Count(WM_LBUTTONDOWN), 0);
  EXPECT_EQ(main.Count(WM_LBUTTONDOWN), 0);

  child.Clear();
  SetCapture(childWindow);
  InjectStylusDown(5, 26 + 10);  // left of and above the child: negative client coordinates
  InjectStylusUp(5, 26 + 10);
  ReleaseCapture();
  PumpMessages();
  log = child.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].message, WM_CAPTURECHANGED) << "sent by the release, before the queued stylus messages";
  EXPECT_EQ(log[1].message, WM_LBUTTONDOWN);
  EXPECT_EQ(GET_X_LPARAM(log[1].second), -35);
  EXPECT_EQ(GET_Y_LPARAM(log[1].second), -30);
  DestroyWindow(mainWindow);
  (void)disabledWindow;
}

// A window that loses the stylus by any road (another window takes it, it is released, the window
// or an ancestor is disabled, hidden or destroyed) hears of it once, so that a drag it tracks can end.
TEST_F(WindowTreeTest, TheWindowLosingTheCaptureIsToldWhoeverTakesItAndHowever) {
  TestWindow main;
  HWND mainWindow = main.Create(WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  TestWindow first;
  HWND firstWindow = first.Create(WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, mainWindow);
  TestWindow second;
  HWND secondWindow = second.Create(WS_CHILD | WS_VISIBLE, 70, 10, 50, 50, mainWindow);
  auto lost = [](TestWindow& w) {
    std::vector<LPARAM> takers;
    for (const auto& r : w.Log())
      if (r.message == WM_CAPTURECHANGED) takers.push_back(r.second);
    w.Clear();
    return takers;
  };
  PumpMessages();
  first.Clear();
  second.Clear();

  SetCapture(firstWindow);
  SetCapture(firstWindow);  // taking it again loses nothing
  EXPECT_TRUE(lost(first).empty());
  SetCapture(secondWindow);
  EXPECT_EQ(lost(first), std::vector<LPARAM>{reinterpret_cast<LPARAM>(secondWindow)});
  ReleaseCapture();
  EXPECT_EQ(lost(second), std::vector<LPARAM>{0});
  ReleaseCapture();  // nobody holds it: nobody is told
  EXPECT_TRUE(lost(second).empty());

  SetCapture(firstWindow);
  EnableWindow(mainWindow, FALSE);  // a modal dialog disables the owner
  EXPECT_EQ(lost(first).size(), 1u);
  EXPECT_EQ(GetCapture(), nullptr);
  EnableWindow(mainWindow, TRUE);

  SetCapture(secondWindow);
  ShowWindow(secondWindow, SW_HIDE);
  EXPECT_EQ(lost(second).size(), 1u);
  EXPECT_EQ(GetCapture(), nullptr);

  SetCapture(firstWindow);
  bool aliveWhenTold = false;
  first.hook = [&](HWND w, UINT message, WPARAM, LPARAM, LRESULT*) {
    if (message == WM_CAPTURECHANGED) aliveWhenTold = IsWindow(w) && IsWindow(mainWindow);
    return false;
  };
  DestroyWindow(mainWindow);
  EXPECT_TRUE(aliveWhenTold) << "the window is told before it goes";
  EXPECT_EQ(GetCapture(), nullptr);
}
}  // namespace

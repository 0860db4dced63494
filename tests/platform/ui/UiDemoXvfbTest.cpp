// uidemo on a real X display: its own Xvfb, the SDL backend, a click on its button and Ctrl+A by
// xdotool as a person would do them, the About dialog's Done button, and a real close request to
// its desktop window. Every wait is bounded; whatever happens, Xvfb is asked to end (XvfbDisplay)
// and uidemo is killed by its ChildProcess.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "platform/ui/core/TaskBar.h"
#include "tests/platform/ui/ChildProcess.h"
#include "tests/platform/ui/XvfbDisplay.h"

namespace {

constexpr int kStartMs = XvfbDisplay::kStartMs;
constexpr int kStepMs = 10000;
constexpr int kScale = 2;

// Runs a tool on the display to its end; its exit status (-1: killed after the time limit).
int RunOn(const std::string& display, const std::vector<std::string>& argv, std::string* output = nullptr) {
  ChildProcess tool(argv, {{"DISPLAY", display}});
  std::string line;
  while (tool.ReadLine(&line, kStepMs)) {
    if (output) *output += line + "\n";
  }
  const int status = tool.Wait(kStepMs);
  if (status != 0) ADD_FAILURE() << argv[0] << " ended with " << status << ": " << tool.Errors();
  return status;
}

// The desktop window of process `pid`, looked for until the time limit (0 when not found).
unsigned long FindWindowOf(const std::string& display, int pid) {
  for (int attempt = 0; attempt < kStepMs / 100; ++attempt) {
    ChildProcess search({"/usr/bin/xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)},
                        {{"DISPLAY", display}});
    std::string line;
    unsigned long window = 0;
    if (search.ReadLine(&line, kStepMs) && std::istringstream(line) >> window && window != 0) return window;
    search.Wait(kStepMs);
    usleep(100 * 1000);
  }
  return 0;
}

TEST(UiDemoOnX, ClickCtrlADoneAndACloseRequestReachTheProgram) {
  XvfbDisplay display("640x800x24");
  ASSERT_FALSE(display.Name().empty());
  ChildProcess demo({ORVAN_UIDEMO_PATH}, {{"DISPLAY", display.Name()},
                                          {"ORVAN_BACKEND", "sdl"},
                                          {"ORVAN_SCALE", std::to_string(kScale)},
                                          {"ORVAN_SCREEN", "240x320"},
                                          {"ORVAN_RUN_MS", "<unset>"},
                                          {"ORVAN_SCREENSHOT", "<unset>"},
                                          // SDL unloads its X11 libraries at exit, leaving blocks the
                                          // leak checker cannot attribute: no leak check for uidemo
                                          // (its address checks stay on; the shell's own suites
                                          // check its leaks).
                                          {"ASAN_OPTIONS", "detect_leaks=0:halt_on_error=1"}});
  ASSERT_TRUE(demo.Started());
  std::string line;
  ASSERT_TRUE(demo.ReadLine(&line, kStartMs)) << "uidemo wrote nothing within " << kStartMs << " ms";
  int x = 0, y = 0;
  ASSERT_EQ(std::sscanf(line.c_str(), "button %d %d", &x, &y), 2) << line;
  ASSERT_TRUE(demo.ReadLine(&line, kStartMs));
  ASSERT_EQ(line, "ready 0");

  const unsigned long window = FindWindowOf(display.Name(), demo.Pid());
  ASSERT_NE(window, 0u) << "uidemo's desktop window was not found";
  ASSERT_EQ(RunOn(display.Name(), {"/usr/bin/xdotool", "mousemove", "--window", std::to_string(window),
                                   std::to_string(x * kScale), std::to_string(y * kScale), "click", "1"}),
            0);
  ASSERT_TRUE(demo.ReadLine(&line, kStepMs)) << "the click did not reach the button";
  EXPECT_EQ(line, "command 4660");

  // Ctrl+A on the real keyboard opens the About dialog; the task bar's Done button ends it.
  ASSERT_EQ(RunOn(display.Name(), {"/usr/bin/xdotool", "key", "ctrl+a"}), 0);
  ASSERT_TRUE(demo.ReadLine(&line, kStepMs)) << "Ctrl+A gave no command";
  EXPECT_EQ(line, "command 40002");
  const RECT done = TaskBar::OkButtonRectFor(240, 26);
  ASSERT_EQ(RunOn(display.Name(), {"/usr/bin/xdotool", "mousemove", "--window", std::to_string(window),
                                   std::to_string((done.left + done.right) / 2 * kScale),
                                   std::to_string((done.top + done.bottom) / 2 * kScale), "click", "1"}),
            0);
  ASSERT_TRUE(demo.ReadLine(&line, kStepMs)) << "the Done button did not end the dialog";
  EXPECT_EQ(line, "dialog 1");

  ASSERT_EQ(RunOn(display.Name(), {ORVAN_XCLOSE_PATH, std::to_string(window)}), 0) << "no close request was sent";
  EXPECT_FALSE(demo.ReadLine(&line, kStepMs)) << "after the close request: " << line;  // ends: no more lines
  EXPECT_EQ(demo.Wait(kStepMs), 0) << demo.Errors();
}

}  // namespace

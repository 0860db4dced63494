// uidemo on a real X display: its own Xvfb, the SDL backend, a click on its button by xdotool as a
// person would click, and a real close request to its desktop window. Every wait is bounded; Xvfb
// and uidemo are stopped whatever happens.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "tests/support/ChildProcess.h"

namespace {

constexpr int kStartMs = 15000;
constexpr int kStepMs = 10000;
constexpr int kScale = 2;

// Xvfb on a display it picks itself, ready once it has written that display's number.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    try {
      server_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x800x24"});
    } catch (const std::exception& error) {
      ADD_FAILURE() << "Xvfb cannot be started (scripts/setup.sh installs it): " << error.what();
      return;
    }
    const std::optional<std::string> number = server_->ReadLine(kStartMs);
    if (!number || number->empty()) {
      ADD_FAILURE() << "Xvfb did not report a display within " << kStartMs << " ms";
      return;
    }
    name_ = ":" + *number;
  }
  ~VirtualDisplay() {
    if (server_) server_->Stop(3000);
  }
  const std::string& Name() const { return name_; }

 private:
  std::unique_ptr<ChildProcess> server_;
  std::string name_;
};

// Runs a tool on the display; its stdout, or a failure naming the command.
std::string RunOn(const std::string& display, std::vector<std::string> argv, int* status = nullptr) {
  std::string output;
  const std::string command = argv[0];
  const std::optional<int> ended = RunProgramFor(std::move(argv), {"DISPLAY=" + display}, kStepMs, &output);
  if (!ended) ADD_FAILURE() << command << " did not end within " << kStepMs << " ms";
  if (status) *status = ended.value_or(-1);
  return output;
}

// The desktop window of process `pid`, found within the time limit (0 when not found).
unsigned long FindWindowOf(const std::string& display, pid_t pid) {
  for (int attempt = 0; attempt < kStepMs / 100; ++attempt) {
    std::istringstream found(
        RunOn(display, {"/usr/bin/xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}));
    unsigned long window = 0;
    if (found >> window) return window;
    usleep(100 * 1000);
  }
  return 0;
}

TEST(UiDemoOnX, ClickedButtonReportsItsCommandAndACloseRequestEndsTheProgram) {
  VirtualDisplay display;
  ASSERT_FALSE(display.Name().empty());
  ChildProcess demo({ORVAN_UIDEMO_PATH},
                    {"DISPLAY=" + display.Name(), "ORVAN_BACKEND=sdl", "ORVAN_SCALE=" + std::to_string(kScale), "ORVAN_SCREEN=240x320"});
  const std::optional<std::string> button = demo.ReadLine(kStartMs);
  ASSERT_TRUE(button.has_value()) << "uidemo wrote nothing within " << kStartMs << " ms";
  int x = 0, y = 0;
  ASSERT_EQ(std::sscanf(button->c_str(), "button %d %d", &x, &y), 2) << *button;
  ASSERT_TRUE(demo.WaitForLine("ready 0", kStartMs));

  const unsigned long window = FindWindowOf(display.Name(), demo.Pid());
  ASSERT_NE(window, 0u) << "uidemo's desktop window was not found";
  int status = -1;
  RunOn(display.Name(),
        {"/usr/bin/xdotool", "mousemove", "--window", std::to_string(window), std::to_string(x * kScale),
         std::to_string(y * kScale), "click", "1"},
        &status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(demo.WaitForLine("command 4660", kStepMs)) << "the click did not reach the button";

  RunOn(display.Name(), {ORVAN_XCLOSE_PATH, std::to_string(window)}, &status);
  ASSERT_EQ(status, 0) << "the close request could not be sent";
  const std::optional<int> ended = demo.Wait(kStepMs);
  ASSERT_TRUE(ended.has_value()) << "uidemo did not end within " << kStepMs << " ms of the close request";
  EXPECT_EQ(*ended, 0);
}

}  // namespace

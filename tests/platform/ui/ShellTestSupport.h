// Helpers for the shell's suites: the headless device screen, a top-level window that records the
// commands it receives, message pumping and stylus taps.
#pragma once

#include <functional>
#include <vector>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/Shell.h"

namespace shell_test {

// Starts the headless 240 x 320 screen once per process (asserts that it started).
void StartHeadlessScreen();

// Dispatches everything waiting for this thread (paint included) and returns.
void PumpMessages();

// The stylus down and up at one screen point, each followed by pumping.
void Tap(POINT screen);
// The centre of a window on the screen.
POINT CentreOf(HWND window);

struct Command {
  WORD id;
  WORD code;
  LPARAM source;
};

// A visible top-level window in the work area with a white background; it records WM_COMMAND
// and is destroyed with the object.
class CommandWindow {
 public:
  CommandWindow();
  ~CommandWindow();
  CommandWindow(const CommandWindow&) = delete;
  CommandWindow& operator=(const CommandWindow&) = delete;

  HWND handle() const { return window_; }
  const std::vector<Command>& commands() const { return commands_; }
  void Clear() { commands_.clear(); }

 private:
  static LRESULT Procedure(HWND window, UINT message, WPARAM first, LPARAM second);
  HWND window_ = nullptr;
  std::vector<Command> commands_;
};

// Steps run one at a time from whatever message loop is running (modal loops included): each step
// runs when its turn's message is dispatched, and the next is posted after it, behind any input the
// step injected. Start() posts the first step.
class InputScript {
 public:
  explicit InputScript(std::vector<std::function<void()>> steps);
  ~InputScript();
  InputScript(const InputScript&) = delete;
  InputScript& operator=(const InputScript&) = delete;

  void Start();
  bool Finished() const { return next_ == steps_.size(); }

 private:
  static LRESULT Procedure(HWND window, UINT message, WPARAM first, LPARAM second);
  HWND window_ = nullptr;
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
};

}  // namespace shell_test

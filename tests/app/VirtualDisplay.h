// A private X display for desktop tests: Xvfb on a display number it picks itself (-displayfd),
// ended (and awaited) when the object goes. xdotool and screen captures work on it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;
};

class VirtualDisplay {
 public:
  static constexpr int kStartTimeoutMs = 20000;
  static constexpr int kCommandTimeoutMs = 20000;

  // Throws std::runtime_error when Xvfb cannot start.
  VirtualDisplay(int width, int height);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  static bool Available();                           // Xvfb and xdotool are installed
  const std::string& Name() const { return name_; }  // ":N"

  // Runs xdotool with these arguments on this display; its standard output, or "" when it fails.
  std::string Xdotool(const std::vector<std::string>& args) const;
  // The first visible window of a process (by _NET_WM_PID), 0 when there is none yet.
  unsigned long WindowOfProcess(pid_t pid) const;
  WindowGeometry Geometry(unsigned long window) const;
  // The window's pixels as 0x00RRGGBB, row by row; empty when it cannot be read.
  std::vector<uint32_t> Capture(unsigned long window, int* width, int* height) const;

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// A private X display for the window system's SDL tests: Xvfb on a display it picks itself
// (-displayfd), ready once it has written that display's number. When the object goes Xvfb is asked
// to end, so that it removes its socket and lock file in /tmp, and killed only if it does not
// within the limit.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "tests/platform/ui/ChildProcess.h"

class XvfbDisplay {
 public:
  static constexpr int kStartMs = 15000;
  static constexpr int kStopMs = 3000;

  // `screen` as Xvfb takes it: "WIDTHxHEIGHTxDEPTH".
  explicit XvfbDisplay(const std::string& screen)
      : server_({"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", screen}, {}) {
    std::string number;
    if (!server_.Started()) {
      ADD_FAILURE() << "Xvfb cannot be started (scripts/setup.sh installs it)";
    } else if (!server_.ReadLine(&number, kStartMs) || number.empty()) {
      ADD_FAILURE() << "Xvfb did not report a display within " << kStartMs << " ms: " << server_.Errors();
    } else {
      name_ = ":" + number;
    }
  }
  ~XvfbDisplay() {
    if (server_.Started()) kill(server_.Pid(), SIGTERM);
    server_.Wait(kStopMs);
  }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  const std::string& Name() const { return name_; }  // ":N", empty when Xvfb did not start

 private:
  ChildProcess server_;
  std::string name_;
};

// Ends the server when its parent process ends, so a test that dies never leaves it running:
// the kernel's parent-death signal, and a poll of the parent's id as a second line.
#pragma once

namespace tileserver {

class ParentWatch {
 public:
  static constexpr int kPollMs = 200;

  // Exits at once if `parentPid` is no longer the parent; otherwise watches it from now on.
  static void Start(int parentPid);
};

}  // namespace tileserver

// Runs the real ambrel program as a child process, as the device would: its settings through the
// environment, its debugger output (stderr) collected in a file, its user's input written as lines
// to the headless screen's input file (ORVAN_INPUT), and its exit awaited with a bound.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

// Device settings for the program, by name (a value of "" unsets the variable).
using Settings = std::map<std::string, std::string>;

class AmbrelProcess {
 public:
  // Generous bounds for slow (sanitizer) builds; they cap waits, they never judge speed.
  static constexpr int kStartTimeoutMs = 60000;
  static constexpr int kExitTimeoutMs = 60000;

  static const char* ExecutablePath();

  // The tile source the tests' tile server stands behind (through http_proxy).
  static std::vector<std::string> DefaultArguments() { return {"--tiles", "default"}; }

  // Starts `program` (the built ambrel unless given, e.g. an installed one) headless on a fresh
  // input file, with `environment` added (a value of "" unsets) and `arguments` on its command line.
  // Its XDG_RUNTIME_DIR (where running copies find each other) is its own work folder unless given.
  explicit AmbrelProcess(const Settings& environment = Settings{},
                         const std::vector<std::string>& arguments = DefaultArguments(),
                         const std::string& program = ExecutablePath());
  ~AmbrelProcess();  // kills the program if it still runs
  AmbrelProcess(const AmbrelProcess&) = delete;
  AmbrelProcess& operator=(const AmbrelProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // Appends one line to the input file: "tap X Y", "down X Y", "move X Y", "up X Y",
  // "key ctrl+q", "screenshot PATH", "state PATH" (screen coordinates).
  void Input(const std::string& line);
  // Asks for a screenshot and waits (bounded) until it is written; the path, or "" on time-out.
  std::string Screenshot(const std::string& name);
  // The device's state report ("foreground TITLE", "raised N" lines), or "" on time-out.
  std::string DeviceState();

  // The exit code (128 + signal when killed by one), or nothing if it still runs after the bound.
  std::optional<int> WaitForExit(int timeoutMs = kExitTimeoutMs);
  bool Running();

  std::string Stderr() const;
  size_t CountLines(const std::string& line) const;  // whole lines equal to `line`
  // Waits (bounded) until at least `count` lines equal `line`; false on time-out or exit.
  bool WaitForLines(const std::string& line, size_t count, int timeoutMs = kStartTimeoutMs);

  const std::string& WorkFolder() const { return folder_.Path(); }

 private:
  TempFolder folder_{"ambrel-test"};  // removed with everything in it when the object goes
  std::string inputPath_;
  std::string stderrPath_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  int requests_ = 0;
  std::string Request(const std::string& command, const std::string& name);
};

// Waits (bounded) until `predicate` holds, checking every few milliseconds.
template <typename Predicate>
bool WaitUntil(Predicate predicate, int timeoutMs);
bool WaitUntilImpl(bool (*check)(void*), void* context, int timeoutMs);
template <typename Predicate>
bool WaitUntil(Predicate predicate, int timeoutMs) {
  return WaitUntilImpl([](void* p) { return (*static_cast<Predicate*>(p))(); }, &predicate, timeoutMs);
}

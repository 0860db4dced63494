// A program run by a test: started with extra environment settings, its stdout read line by line
// with a time limit, waited for with a time limit, and killed (then reaped) by the destructor if it
// is still running, so that no test leaves a process behind or waits for ever.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

class ChildProcess {
 public:
  // Starts argv[0] (a path) with `argv`, this process's environment plus `environment`
  // ("NAME=value" each, overriding), stdout piped to this object and stderr inherited. Throws
  // std::runtime_error naming the program when it cannot be started.
  explicit ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // The next line of stdout without its line feed; nullopt when none is complete within
  // `timeoutMs` or stdout ended first.
  std::optional<std::string> ReadLine(int timeoutMs);
  // Reads lines until one equals `line` (true) or the time runs out or stdout ends (false).
  bool WaitForLine(const std::string& line, int timeoutMs);
  // The exit status when the program ends within `timeoutMs` (128 + the signal's number when a
  // signal ended it); nullopt while it is still running.
  std::optional<int> Wait(int timeoutMs);
  // SIGTERM, and SIGKILL when it has not ended after `graceMs`; reaped either way.
  void Stop(int graceMs);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
  bool ended_ = false;  // stdout reached its end
  std::optional<int> status_;
};

// Runs a program to its end (bounded by `timeoutMs`, killed after it) and returns its exit status
// (nullopt on time-out) and its stdout.
std::optional<int> RunProgramFor(std::vector<std::string> argv, std::vector<std::string> environment, int timeoutMs,
                                 std::string* output);

// A helper program run by a test (an HTTP/2 front, an HTTP proxy, openssl): started with its
// output going to a file, stopped (SIGTERM, then SIGKILL after a bounded wait) and reaped by the
// destructor, also when the test fails, and sent SIGTERM by the system when the thread that
// started it ends (a crashed test leaves nothing running). Start it on a thread that outlives it.
// Failures to start throw std::runtime_error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class HelperProgram {
 public:
  static constexpr int kStopTimeoutMs = 5000;

  // Runs `argv` (argv[0] found on PATH) with stdout and stderr appended to `outputFile`.
  HelperProgram(const std::vector<std::string>& argv, const std::string& outputFile);
  ~HelperProgram();
  HelperProgram(const HelperProgram&) = delete;
  HelperProgram& operator=(const HelperProgram&) = delete;

  // Waits (bounded) for the program to end; its exit status, or -1 when it did not end in time or
  // was ended by a signal.
  int Wait(int timeoutMs);
  void Stop();

  // Runs `argv` to its end (bounded); true when it exited with status 0.
  static bool Run(const std::vector<std::string>& argv, const std::string& outputFile, int timeoutMs);
  // Whether `program` is found on PATH (or is a path to an executable).
  static bool Installed(const std::string& program);
  // Its path, or empty.
  static std::string FindProgram(const std::string& program);
  // A port on 127.0.0.1 that was free a moment ago.
  static uint16_t FreePort();
  // Waits (bounded) until something accepts connections on 127.0.0.1:port.
  static bool WaitForListener(uint16_t port, int timeoutMs);

 private:
  int pid_ = -1;
};

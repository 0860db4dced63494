// Runs the tile server program to its end (for options it refuses or files it will not serve).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/support/TileServerFixture.h"

struct ProgramRun {
  int exitCode = -1;   // -1 when it did not exit normally (a signal: a crash)
  std::string output;  // stdout and stderr together
};

// A server that should have exited long before is stopped (exit code 124) rather than hanging the test.
constexpr int kServerRunLimitSeconds = 60;

// `args` are given to the shell as written, so quote what needs it.
inline ProgramRun RunServer(const std::string& args) {
  ProgramRun run;
  const std::string command = "timeout -k 5 " + std::to_string(kServerRunLimitSeconds) + " " +
                              TileServer::ExecutablePath() + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("popen failed");
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

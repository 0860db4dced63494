// Runs a program as a child process with extra environment variables and reads what it prints.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Environment values: a later entry of the same name wins; the value "<unset>" removes the variable.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::pair<std::string, std::string>>& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  int Pid() const { return pid_; }
  // The next line of standard output (without the line feed); false at its end or after
  // `limitMs` without one (a hung child fails the test instead of hanging it).
  bool ReadLine(std::string* line, int limitMs = 20000);
  // Waits for the exit (killing the child after `limitMs`); its exit status, or -1 if it did not
  // exit normally. Standard error is collected in the meantime.
  int Wait(int limitMs = 20000);
  const std::string& Errors() const { return errors_; }
  void Kill();

 private:
  void DrainErrors(int waitMs);
  int pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string outBuffer_;
  std::string errors_;
  int status_ = -2;
};

#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

ChildProcess::ChildProcess(const std::vector<std::string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& env) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : env) replaced |= entry.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) environment.push_back(entry);
  }
  // A later value of the same name replaces an earlier one.
  for (size_t i = 0; i < env.size(); ++i) {
    bool overridden = false;
    for (size_t j = i + 1; j < env.size(); ++j) overridden |= env[j].first == env[i].first;
    if (!overridden && env[i].second != "<unset>") environment.push_back(env[i].first + "=" + env[i].second);
  }
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  out_ = out[0];
  err_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && status_ == -2) {
    Kill();
    Wait();
  }
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
}

void ChildProcess::DrainErrors(int waitMs) {
  if (err_ < 0) return;
  pollfd item{err_, POLLIN, 0};
  while (poll(&item, 1, waitMs) > 0) {
    char buffer[4096];
    const ssize_t got = read(err_, buffer, sizeof buffer);
    if (got <= 0) {
      close(err_);
      err_ = -1;
      return;
    }
    errors_.append(buffer, size_t(got));
    waitMs = 0;
  }
}

bool ChildProcess::ReadLine(std::string* line, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    const size_t end = outBuffer_.find('\n');
    if (end != std::string::npos) {
      *line = outBuffer_.substr(0, end);
      outBuffer_.erase(0, end + 1);
      return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_ < 0) return false;
    pollfd item{out_, POLLIN, 0};
    if (poll(&item, 1, int(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(out_, buffer, sizeof buffer);
    if (got <= 0) return false;
    outBuffer_.append(buffer, size_t(got));
  }
}

int ChildProcess::Wait(int limitMs) {
  if (pid_ <= 0) return -1;
  if (status_ != -2) return status_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  int status = 0;
  for (;;) {
    DrainErrors(20);
    if (err_ < 0) usleep(10000);
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
  }
  DrainErrors(0);
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return status_;
}

void ChildProcess::Kill() {
  if (pid_ > 0 && status_ == -2) kill(pid_, SIGKILL);
}

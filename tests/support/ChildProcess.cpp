#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollStepMs = 20;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const std::string& x : extra) overridden = overridden || x.substr(0, x.find('=')) == name;
    if (!overridden) merged.push_back(entry);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment) {
  if (argv.empty()) throw std::runtime_error("ChildProcess: no program");
  std::vector<std::string> env = MergedEnvironment(environment);
  std::vector<char*> argvPointers = Pointers(argv), envPointers = Pointers(env);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  const int spawned = ::posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
  }
  out_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (!status_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) ::close(out_);
}

std::optional<std::string> ChildProcess::ReadLine(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t newline = buffered_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffered_.substr(0, newline);
      buffered_.erase(0, newline + 1);
      return line;
    }
    if (ended_) return std::nullopt;
    pollfd readable{out_, POLLIN, 0};
    const int ready = ::poll(&readable, 1, MsLeft(deadline));
    if (ready == 0) return std::nullopt;
    if (ready < 0 && errno == EINTR) continue;
    char chunk[4096];
    const ssize_t got = ::read(out_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ended_ = true;
      continue;
    }
    buffered_.append(chunk, size_t(got));
  }
}

bool ChildProcess::WaitForLine(const std::string& line, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (const std::optional<std::string> next = ReadLine(MsLeft(deadline))) {
    if (*next == line) return true;
  }
  return false;
}

std::optional<int> ChildProcess::Wait(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!status_ && pid_ > 0) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
      break;
    }
    if (MsLeft(deadline) == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
  return status_;
}

void ChildProcess::Stop(int graceMs) {
  if (status_ || pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (Wait(graceMs)) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  status_ = 128 + SIGKILL;
}

std::optional<int> RunProgramFor(std::vector<std::string> argv, std::vector<std::string> environment, int timeoutMs,
                                 std::string* output) {
  ChildProcess child(std::move(argv), std::move(environment));
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (const std::optional<std::string> line = child.ReadLine(MsLeft(deadline))) {
    if (output) *output += *line + "\n";
  }
  const std::optional<int> status = child.Wait(MsLeft(deadline));
  if (!status) child.Stop(0);
  return status;
}

#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/LoopbackListen.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollStepMs = 10;

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& outputFile) {
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(spawned));
  pid_ = pid;
}

ChildProcess::~ChildProcess() { Stop(); }

int ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (Wait(kStopTimeoutMs) == -1 && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

bool ChildProcess::Run(const std::vector<std::string>& argv, const std::string& outputFile, int timeoutMs) {
  ChildProcess child(argv, outputFile);
  return child.Wait(timeoutMs) == 0;
}

bool ChildProcess::Installed(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  folders += ":/usr/sbin:/sbin";
  size_t start = 0;
  for (;;) {
    const size_t colon = folders.find(':', start);
    const std::string folder = folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) return false;
    start = colon + 1;
  }
}

uint16_t ChildProcess::FreePort() {
  uint16_t port = 0;
  const int fd = loopback::Listen(1, &port);
  ::close(fd);
  return port;
}

bool ChildProcess::WaitForListener(uint16_t port, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback::Address(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (connected) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
}

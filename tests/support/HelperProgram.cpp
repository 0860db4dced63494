#include "tests/support/HelperProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
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

HelperProgram::HelperProgram(const std::vector<std::string>& argv, const std::string& outputFile) {
  const std::string program = FindProgram(argv.at(0));
  if (program.empty()) throw std::runtime_error("cannot start " + argv[0] + ": not found");
  std::vector<std::string> args = argv;
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(errno));
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The child ends with this process, also when a
    // crash leaves no destructor to stop it.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0 ||
        ::dup2(in, STDIN_FILENO) < 0)
      ::_exit(127);
    ::execve(program.c_str(), pointers.data(), environ);
    ::_exit(127);
  }
  pid_ = pid;
}

HelperProgram::~HelperProgram() { Stop(); }

int HelperProgram::Wait(int timeoutMs) {
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

void HelperProgram::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (Wait(kStopTimeoutMs) == -1 && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

bool HelperProgram::Run(const std::vector<std::string>& argv, const std::string& outputFile, int timeoutMs) {
  HelperProgram child(argv, outputFile);
  return child.Wait(timeoutMs) == 0;
}

bool HelperProgram::Installed(const std::string& program) { return !FindProgram(program).empty(); }

std::string HelperProgram::FindProgram(const std::string& program) {
  if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0 ? program : "";
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  folders += ":/usr/sbin:/sbin";
  size_t start = 0;
  for (;;) {
    const size_t colon = folders.find(':', start);
    const std::string folder = folders.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return folder + "/" + program;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

uint16_t HelperProgram::FreePort() {
  uint16_t port = 0;
  const int fd = loopback::Listen(1, &port);
  ::close(fd);
  return port;
}

bool HelperProgram::WaitForListener(uint16_t port, int timeoutMs) {
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

#include "tests/app/AmbrelProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollStepMs = 10;

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

bool WaitUntilImpl(bool (*check)(void*), void* context, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (check(context)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
}

const char* AmbrelProcess::ExecutablePath() { return ORVAN_AMBREL_PATH; }

AmbrelProcess::AmbrelProcess(const Settings& environment, const std::vector<std::string>& arguments,
                             const std::string& program) {
  inputPath_ = folder_.File("input");
  stderrPath_ = folder_.File("stderr");
  std::ofstream(inputPath_).close();

  std::map<std::string, std::string> settings;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq != nullptr) settings[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  settings["ORVAN_BACKEND"] = "headless";
  settings["ORVAN_INPUT"] = inputPath_;
  // Programs find each other's windows under XDG_RUNTIME_DIR: a private one, so that copies run by
  // tests at the same time do not take each other for a running copy.
  settings["XDG_RUNTIME_DIR"] = folder_.Path();
  for (const auto& [name, value] : environment) {
    if (value.empty()) {
      settings.erase(name);
    } else {
      settings[name] = value;
    }
  }
  std::vector<std::string> entries;
  for (const auto& [name, value] : settings) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::string path = program;
  std::vector<std::string> words = arguments;
  std::vector<char*> argv = {path.data()};
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
  const int rc = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  }
}

AmbrelProcess::~AmbrelProcess() {
  if (Running()) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

void AmbrelProcess::Input(const std::string& line) {
  // One write per line, so the reader never sees half a command.
  const std::string text = line + "\n";
  const int fd = ::open(inputPath_.c_str(), O_WRONLY | O_APPEND);
  if (fd < 0) throw std::runtime_error("cannot open the input file");
  const ssize_t written = ::write(fd, text.data(), text.size());
  ::close(fd);
  if (written != static_cast<ssize_t>(text.size())) throw std::runtime_error("short write to the input file");
}

std::string AmbrelProcess::Request(const std::string& command, const std::string& name) {
  const std::string path = folder_.File(std::to_string(++requests_) + "-" + name);
  Input(command + " " + path);
  const bool written = WaitUntil([&] { return ::access(path.c_str(), R_OK) == 0 || !Running(); }, kStartTimeoutMs);
  return written && ::access(path.c_str(), R_OK) == 0 ? path : "";
}

std::string AmbrelProcess::Screenshot(const std::string& name) { return Request("screenshot", name + ".png"); }

std::string AmbrelProcess::DeviceState() {
  const std::string path = Request("state", "state.txt");
  if (path.empty()) return "";
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool AmbrelProcess::Running() {
  if (exitCode_) return false;
  int status = 0;
  const pid_t done = ::waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    exitCode_ = DecodeStatus(status);
    return false;
  }
  return done == 0;
}

std::optional<int> AmbrelProcess::WaitForExit(int timeoutMs) {
  WaitUntil([&] { return !Running(); }, timeoutMs);
  return exitCode_;
}

std::string AmbrelProcess::Stderr() const {
  std::ifstream in(stderrPath_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t AmbrelProcess::CountLines(const std::string& wanted) const {
  std::istringstream lines(Stderr());
  size_t count = 0;
  for (std::string line; std::getline(lines, line);) count += line == wanted ? 1 : 0;
  return count;
}

bool AmbrelProcess::WaitForLines(const std::string& line, size_t count, int timeoutMs) {
  return WaitUntil([&] { return CountLines(line) >= count || !Running(); }, timeoutMs) && CountLines(line) >= count;
}

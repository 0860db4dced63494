#include "tests/support/TileServerFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kReadyPrefix = "listening on 127.0.0.1:";
constexpr int kPollStepMs = 10;
constexpr size_t kMaxReadyLine = 256;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("TileServer: " + what); }

// Reads the server's one ready line from `fd` before the deadline.
std::string ReadReadyLine(int fd, Clock::time_point deadline) {
  std::string line;
  while (line.find('\n') == std::string::npos && line.size() < kMaxReadyLine) {
    pollfd pfd{fd, POLLIN, 0};
    const int left = MsLeft(deadline);
    if (left == 0 || ::poll(&pfd, 1, left) <= 0) Fail("no ready line within the start time limit");
    char buffer[64];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) Fail("the server exited before it was ready (output: \"" + line + "\")");
    line.append(buffer, static_cast<size_t>(got));
  }
  return line.substr(0, line.find('\n'));
}

void ConfigureClient(httplib::Client& client) {
  client.set_connection_timeout(std::chrono::milliseconds(TileServer::kControlTimeoutMs));
  client.set_read_timeout(std::chrono::milliseconds(TileServer::kControlTimeoutMs));
  client.set_write_timeout(std::chrono::milliseconds(TileServer::kControlTimeoutMs));
}

uint64_t CounterValue(const std::string& text, const std::string& name) {
  std::istringstream lines(text);
  std::string key;
  uint64_t value = 0;
  while (lines >> key >> value)
    if (key == name) return value;
  Fail("counter \"" + name + "\" missing from: " + text);
}

}  // namespace

TileServer::TileServer(std::vector<std::string> extraArgs) {
  std::vector<std::string> args = {ORVAN_TILESERVER_PATH, "--port", "0", "--parent-pid", std::to_string(::getpid())};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail(std::string("pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, ORVAN_TILESERVER_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    Fail(std::string("cannot start ") + ORVAN_TILESERVER_PATH + ": " + std::strerror(spawned));
  }
  pid_ = pid;

  const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  try {
    const std::string line = ReadReadyLine(pipeFds[0], deadline);
    ::close(pipeFds[0]);
    if (line.rfind(kReadyPrefix, 0) != 0) Fail("unexpected ready line \"" + line + "\"");
    const int port = std::atoi(line.c_str() + std::strlen(kReadyPrefix));
    if (port <= 0 || port > 65535) Fail("bad port in \"" + line + "\"");
    port_ = static_cast<uint16_t>(port);
    for (;;) {
      httplib::Client client("127.0.0.1", port_);
      ConfigureClient(client);
      auto result = client.Get("/_control/health");
      if (result && result->status == 200) break;
      if (MsLeft(deadline) == 0) Fail("the server on port " + std::to_string(port_) + " does not answer");
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
    }
  } catch (...) {
    ::close(pipeFds[0]);
    Stop();
    throw;
  }
}

TileServer::~TileServer() {
  int status = 0;
  if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
    // It ended on its own: a crash or a sanitizer report. That must fail the run loudly.
    std::fprintf(stderr, "TileServer: the server (pid %d) ended by itself: %s %d\n", pid_,
                 WIFSIGNALED(status) ? "signal" : "exit code",
                 WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    pid_ = -1;
    std::abort();
  }
  Stop();
}

void TileServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (MsLeft(deadline) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
  pid_ = -1;
}

void TileServer::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

const char* TileServer::ExecutablePath() { return ORVAN_TILESERVER_PATH; }

std::string TileServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TileServer::Control(const std::string& method, const std::string& path, const std::string& body) {
  httplib::Client client("127.0.0.1", port_);
  ConfigureClient(client);
  auto result = method == "POST" ? client.Post(path.c_str(), body, "text/plain") : client.Get(path.c_str());
  if (!result) Fail(method + " " + path + ": " + httplib::to_string(result.error()));
  if (result->status != 200)
    Fail(method + " " + path + ": status " + std::to_string(result->status) + ": " + result->body);
  return result->body;
}

void TileServer::AddRule(const std::string& rule) { Control("POST", "/_control/rules", rule); }

void TileServer::Reset() { Control("POST", "/_control/reset"); }

std::vector<TileServerLogEntry> TileServer::Log() {
  const std::string text = Control("GET", "/_control/log");
  std::vector<TileServerLogEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields.size() != 6) Fail("malformed log line \"" + line + "\"");
    entries.push_back(
        TileServerLogEntry{std::atoll(fields[0].c_str()), fields[1], fields[2], fields[3], fields[4], fields[5]});
  }
  return entries;
}

TileServerCounters TileServer::Counters() {
  const std::string text = Control("GET", "/_control/counters");
  return TileServerCounters{CounterValue(text, "requests"), CounterValue(text, "inFlight"),
                            CounterValue(text, "maxInFlight"), CounterValue(text, "connections")};
}

std::vector<TileServerLogEntry> TileServer::AnsweredLog(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::vector<TileServerLogEntry> log = Log();
    const bool answered =
        std::none_of(log.begin(), log.end(), [](const TileServerLogEntry& e) { return e.outcome == "pending"; });
    if (answered || MsLeft(deadline) == 0) return log;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
}

bool TileServer::WaitForRequests(size_t count, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (Counters().requests >= count) return true;
    if (MsLeft(deadline) == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
  }
}

ProxyEnvironment::ProxyEnvironment(const TileServer& server) {
  for (const char* name : {"http_proxy", "no_proxy", "NO_PROXY", "HTTP_PROXY", "ALL_PROXY", "all_proxy"}) {
    const char* value = std::getenv(name);
    saved_.push_back(Saved{name, value != nullptr, value ? value : ""});
    ::unsetenv(name);
  }
  ::setenv("http_proxy", ("http://" + server.HostPort()).c_str(), 1);
}

ProxyEnvironment::~ProxyEnvironment() {
  for (const Saved& s : saved_) {
    if (s.wasSet) ::setenv(s.name.c_str(), s.value.c_str(), 1);
    else ::unsetenv(s.name.c_str());
  }
}

#include "tests/app/VirtualDisplay.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool OnPath(const char* program) {
  const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Runs argv with its output in a pipe; kills it after the bound. Exit status and output.
std::pair<int, std::string> RunCaptured(std::vector<std::string> args, const std::string& display, int timeoutMs) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  env.push_back("DISPLAY=" + display);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {-1, ""};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return {-1, ""};
  }
  std::string out;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd pfd{fds[0], POLLIN, 0};
    if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    char buffer[512];
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    out.append(buffer, static_cast<size_t>(got));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace

bool VirtualDisplay::Available() { return OnPath("Xvfb") && OnPath("xdotool"); }

VirtualDisplay::VirtualDisplay(int width, int height) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    throw std::runtime_error("cannot start Xvfb");
  }
  // Xvfb writes its display number and a line feed once it accepts clients.
  std::string number;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (number.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd pfd{fds[0], POLLIN, 0};
    if (left <= 0 || ::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
    char buffer[32];
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
  }
  ::close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    throw std::runtime_error("Xvfb did not start");
  }
  name_ = ":" + number.substr(0, number.find('\n'));
}

VirtualDisplay::~VirtualDisplay() {
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string VirtualDisplay::Xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> command = {"xdotool"};
  command.insert(command.end(), args.begin(), args.end());
  const auto [status, out] = RunCaptured(command, name_, kCommandTimeoutMs);
  return status == 0 ? out : "";
}

unsigned long VirtualDisplay::WindowOfProcess(pid_t pid) const {
  const std::string out = Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)});
  return out.empty() ? 0 : std::stoul(out);
}

WindowGeometry VirtualDisplay::Geometry(unsigned long window) const {
  WindowGeometry g;
  std::istringstream lines(Xdotool({"getwindowgeometry", "--shell", std::to_string(window)}));
  for (std::string line; std::getline(lines, line);) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X") g.x = value;
    if (key == "Y") g.y = value;
    if (key == "WIDTH") g.width = value;
    if (key == "HEIGHT") g.height = value;
  }
  return g;
}

std::vector<uint32_t> VirtualDisplay::Capture(unsigned long window, int* width, int* height) const {
  std::vector<uint32_t> pixels;
  Display* display = XOpenDisplay(name_.c_str());
  if (display == nullptr) return pixels;
  // A window caught mid-resize refuses the read (BadMatch): that is an empty capture to try again,
  // not Xlib's default of ending the process.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) != 0) {
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image != nullptr) {
      *width = attributes.width;
      *height = attributes.height;
      pixels.reserve(static_cast<size_t>(attributes.width) * attributes.height);
      for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
          pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
      XDestroyImage(image);
    }
  }
  XCloseDisplay(display);
  return pixels;
}

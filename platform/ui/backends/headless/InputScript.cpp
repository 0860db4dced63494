#include "platform/ui/backends/headless/InputScript.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/kernel/WideText.h"
#include "platform/ui/DeviceScreen.h"

namespace {

constexpr int kPollMs = 5;
constexpr size_t kMaxLine = 4096;

std::atomic<bool> stopping{false};
std::atomic<unsigned> raises{0};
// Never destroyed: a thread object must not be destroyed while joinable, and the reader is joined
// by the exit handler only once it has registered it.
std::thread* reader = nullptr;

bool ParseKey(const std::string& name, WORD* key) {
  if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') {
    *key = WORD(name[0] - 'a' + 'A');
    return true;
  }
  if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') {
    *key = WORD(name[0]);
    return true;
  }
  static const struct {
    const char* name;
    WORD key;
  } kNamed[] = {{"return", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB}, {"back", VK_BACK},
                {"left", VK_LEFT},     {"right", VK_RIGHT},   {"up", VK_UP},   {"down", VK_DOWN},
                {"home", VK_HOME},     {"plus", VK_ADD},      {"minus", VK_SUBTRACT}};
  for (const auto& named : kNamed) {
    if (name == named.name) {
      *key = named.key;
      return true;
    }
  }
  return false;
}

// "ctrl+shift+q": the modifiers held, in order, around the key.
bool PressKeys(const std::string& combination) {
  std::vector<WORD> held;
  std::string rest = combination;
  for (;;) {
    const size_t plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    const std::string modifier = rest.substr(0, plus);
    if (modifier == "ctrl") {
      held.push_back(VK_CONTROL);
    } else if (modifier == "shift") {
      held.push_back(VK_SHIFT);
    } else if (modifier == "alt") {
      held.push_back(VK_MENU);
    } else {
      return false;
    }
    rest = rest.substr(plus + 1);
  }
  WORD key = 0;
  if (!ParseKey(rest, &key)) return false;
  for (WORD modifier : held) InjectKey(modifier, true);
  InjectKey(key, true);
  InjectKey(key, false);
  for (auto it = held.rbegin(); it != held.rend(); ++it) InjectKey(*it, false);
  return true;
}

bool WriteWholeScreenshot(const std::string& path) {
  const std::string partial = path + ".partial";
  if (!WriteScreenshot(partial.c_str())) return false;
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

// Writes `text` to `path` whole: a reader that finds the file finds all of it.
bool WriteWhole(const std::string& path, const std::string& text) {
  const std::string partial = path + ".partial";
  std::FILE* file = std::fopen(partial.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) return false;
  return std::rename(partial.c_str(), path.c_str()) == 0;
}

bool WriteState(const std::string& path) {
  WCHAR title[256] = {};
  if (HWND foreground = GetForegroundWindow()) GetWindowTextW(foreground, title, 256);
  return WriteWhole(path, "foreground " + Utf16ToUtf8(std::u16string_view(title, WideLength(title))) + "\nraised " +
                              std::to_string(raises.load()) + "\n");
}

void ReadLines(std::string path) {
  // Once the screen has started (this waits for it), the window system's objects exist; the exit
  // handler registered now runs before they are destroyed and stops this thread first.
  ScreenPixel(0, 0);
  std::atexit([] {
    stopping.store(true);
    if (reader != nullptr && reader->joinable()) reader->join();
  });
  int fd = -1;
  std::string pending;
  while (!stopping.load()) {
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[1024];
    const ssize_t got = fd >= 0 ? ::read(fd, buffer, sizeof buffer) : 0;
    if (got <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
      continue;
    }
    pending.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = pending.find('\n')) != std::string::npos && !stopping.load();) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && !RunInputLine(line)) {
        std::fprintf(stderr, "orvan: ORVAN_INPUT: cannot run \"%s\"\n", line.c_str());
      }
    }
    if (pending.size() > kMaxLine) pending.clear();
  }
  if (fd >= 0) ::close(fd);
}

}  // namespace

bool RunInputLine(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (command == "tap" || command == "down" || command == "move" || command == "up") {
    int x = 0, y = 0;
    std::string extra;
    if (!(words >> x >> y) || (words >> extra)) return false;
    if (command == "tap" || command == "down") InjectStylusDown(x, y);
    if (command == "move") InjectStylusMove(x, y);
    if (command == "tap" || command == "up") InjectStylusUp(x, y);
    return true;
  }
  if (command == "wheel") {
    int x = 0, y = 0;
    double notches = 0;
    std::string extra;
    if (!(words >> x >> y >> notches) || (words >> extra) || !(notches >= -100 && notches <= 100)) return false;
    InjectWheel(x, y, int32_t(std::lround(notches * WHEEL_DELTA)));
    return true;
  }
  if (command == "key") {
    std::string combination, extra;
    if (!(words >> combination) || (words >> extra)) return false;
    return PressKeys(combination);
  }
  if (command == "wait") {
    // The next line is run no sooner than this many milliseconds from now (so that the input that
    // follows carries a later time, however late the file is read).
    int ms = 0;
    std::string extra;
    if (!(words >> ms) || (words >> extra) || ms < 0 || ms > 60000) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping.load() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    return true;
  }
  if (command == "screenshot" || command == "state") {
    std::string path;
    std::getline(words >> std::ws, path);
    if (path.empty()) return false;
    return command == "screenshot" ? WriteWholeScreenshot(path) : WriteState(path);
  }
  return false;
}

void NoteScreenRaised() { raises.fetch_add(1); }

void StartInputScriptFromSettings() {
  const char* path = std::getenv("ORVAN_INPUT");
  if (path == nullptr || *path == '\0' || reader != nullptr) return;
  reader = new std::thread(ReadLines, std::string(path));
}

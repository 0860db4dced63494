// The device screen's calls: starting it from the settings or explicit values, its bars and work
// area, screenshots and pixels, the test hooks for stylus and keys, and RunProgram.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/CommandLine.h"
#include "platform/kernel/WideText.h"
#include "platform/ui/DeviceScreen.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/DeviceSettings.h"
#include "platform/ui/core/InputRouter.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
std::mutex startLock;
std::atomic<bool> started{false};
std::atomic<int32_t> screenWidth{kDefaultScreenWidth};
std::atomic<int32_t> screenHeight{kDefaultScreenHeight};
std::atomic<int32_t> screenScale{kDefaultScale};
std::atomic<const char*> backendName{"headless"};
std::atomic<DisplayBackend*> backend{nullptr};
std::atomic<bool> screenshotTaken{false};

const DeviceSettings& Settings() {
  static const DeviceSettings settings = ReadDeviceSettings();
  return settings;
}

const DisplayBackendEntry* FindBackend(const char* name) {
  int count = 0;
  const DisplayBackendEntry* table = DisplayBackends(&count);
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(table[i].name, name) == 0) return &table[i];
  }
  return nullptr;
}

bool TryBackend(const DisplayBackendEntry& entry, const DeviceScreenConfig& config) {
  std::unique_ptr<DisplayBackend> candidate = entry.create();
  if (!candidate || !candidate->Start(config.width, config.height, config.scale)) return false;
  backendName.store(entry.name);
  backend.store(candidate.release());  // lives as long as the process
  return true;
}

bool StartLocked(DeviceScreenConfig config) {
  if (config.width < kMinScreenSide || config.width > kMaxScreenSide || config.height < kMinScreenSide ||
      config.height > kMaxScreenSide) {
    std::fprintf(stderr, "orvan: screen %dx%d is outside %d..%d; using %dx%d\n", config.width, config.height,
                 kMinScreenSide, kMaxScreenSide, kDefaultScreenWidth, kDefaultScreenHeight);
    config.width = kDefaultScreenWidth;
    config.height = kDefaultScreenHeight;
  }
  if (config.scale != 0 && (config.scale < 1 || config.scale > kMaxScale)) config.scale = kDefaultScale;
  int count = 0;
  const DisplayBackendEntry* table = DisplayBackends(&count);
  bool running = false;
  if (config.backend != nullptr && *config.backend != 0) {
    const DisplayBackendEntry* wanted = FindBackend(config.backend);
    if (wanted == nullptr) {
      std::fprintf(stderr, "orvan: ORVAN_BACKEND=%s is not sdl or headless; choosing the first that starts\n",
                   config.backend);
    } else if (wanted->available() && TryBackend(*wanted, config)) {
      running = true;
    } else {
      std::fprintf(stderr, "orvan: the %s display cannot start here; using headless\n", wanted->name);
      running = TryBackend(*FindBackend("headless"), config);
    }
  }
  for (int i = 0; !running && i < count; ++i) {
    if (table[i].available() && TryBackend(table[i], config)) running = true;
  }
  if (!running) return false;
  screenWidth.store(config.width);
  screenHeight.store(config.height);
  screenScale.store(config.scale != 0 ? config.scale : kDefaultScale);
  Compositor::Get().Start(config.width, config.height, TaskBarHeight());
  Compositor::Get().DamageAll();
  started.store(true);
  RegisterSystemWindowClasses();
  return true;
}

void TakeProgramScreenshot() {
  const std::string& path = Settings().screenshotPath;
  if (path.empty() || !started.load() || screenshotTaken.exchange(true)) return;
  if (!Compositor::Get().WritePng(path.c_str())) {
    std::fprintf(stderr, "orvan: ORVAN_SCREENSHOT=%s could not be written (error %u)\n", path.c_str(),
                 unsigned(GetLastError()));
  }
}

// Closes the program's windows after ORVAN_RUN_MS, as if its user closed them.
class RunTimer {
 public:
  explicit RunTimer(int64_t milliseconds) {
    if (milliseconds > 0) thread_ = std::thread([this, milliseconds] { Run(milliseconds); });
  }
  ~RunTimer() {
    {
      std::lock_guard<std::mutex> held(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run(int64_t milliseconds) {
    std::unique_lock<std::mutex> held(lock_);
    if (wake_.wait_for(held, std::chrono::milliseconds(milliseconds), [this] { return stop_; })) return;
    held.unlock();
    TakeProgramScreenshot();
    CloseProgramWindows();
  }
  std::mutex lock_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};
}  // namespace

void ResizeDeviceScreen(int32_t width, int32_t height) {
  width = std::clamp(width, kMinScreenSide, kMaxScreenSide);
  height = std::clamp(height, kMinScreenSide, kMaxScreenSide);
  if (!started.load() || (width == screenWidth.load() && height == screenHeight.load())) return;
  const int32_t oldWidth = screenWidth.load(), oldHeight = screenHeight.load();
  const int32_t oldTop = TaskBarHeight(), oldBar = MenuBarHeight();
  screenWidth.store(width);
  screenHeight.store(height);
  Compositor::Get().Start(width, height, TaskBarHeight());
  const int32_t top = TaskBarHeight(), bar = MenuBarHeight();
  // Windows laid out against the screen's edges keep to them: the soft-key bars along the bottom,
  // and top-level windows that span the work area's width from its top down to the screen's
  // bottom or to the soft-key bar. Dialogs, boxes and menus stay where they are.
  struct Move {
    HWND window;
    RECT to;
  };
  std::vector<Move> moves;
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    for (Window* window : ws.zOrder) {
      const RECT r = window->rect;
      if (r.left != 0 || r.right != oldWidth) continue;
      if (r.top == oldHeight - oldBar && r.bottom == oldHeight) {
        // The bars first: a window laid out again on its WM_SIZE finds them at their new size.
        moves.insert(moves.begin(), Move{ToHandle(window), RECT{0, height - bar, width, height}});
      } else if (r.top == oldTop && (r.bottom == oldHeight || r.bottom == oldHeight - oldBar)) {
        moves.push_back(Move{ToHandle(window), RECT{0, top, width, r.bottom == oldHeight ? height : height - bar}});
      }
    }
  }
  for (const Move& move : moves)
    MoveWindow(move.window, move.to.left, move.to.top, move.to.right - move.to.left, move.to.bottom - move.to.top, TRUE);
  Compositor::Get().DamageAll();
}

bool EnsureDeviceScreen() {
  if (started.load()) return true;
  return StartDeviceScreen() != FALSE;
}

DisplayBackend* CurrentDisplayBackend() { return backend.load(); }

BOOL StartDeviceScreen() {
  if (started.load()) return TRUE;
  std::lock_guard<std::mutex> held(startLock);
  if (started.load()) return TRUE;
  const DeviceSettings& settings = Settings();
  DeviceScreenConfig config{settings.backend.c_str(), settings.width, settings.height,
                            settings.scaleGiven ? settings.scale : 0};
  return StartLocked(config) ? TRUE : FALSE;
}

BOOL StartDeviceScreenWith(const DeviceScreenConfig& config) {
  std::lock_guard<std::mutex> held(startLock);
  if (started.load()) return FALSE;
  return StartLocked(config) ? TRUE : FALSE;
}

DeviceScreenConfig CurrentDeviceScreen() {
  return DeviceScreenConfig{backendName.load(), screenWidth.load(), screenHeight.load(), screenScale.load()};
}

int32_t TaskBarHeight() { return 26 * screenWidth.load() / 240; }
int32_t MenuBarHeight() { return 26 * screenWidth.load() / 240; }
int32_t CaptionHeight() { return 20 * screenWidth.load() / 240; }

RECT WorkArea() { return RECT{0, TaskBarHeight(), screenWidth.load(), screenHeight.load()}; }

BOOL WriteScreenshot(const char* path) {
  if (path == nullptr || !EnsureDeviceScreen()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Compositor::Get().WritePng(path);
}

uint32_t ScreenPixel(int32_t x, int32_t y) {
  if (!EnsureDeviceScreen()) return 0xFFFFFFFFu;
  return Compositor::Get().Pixel(x, y);
}

void InjectStylusDown(int32_t x, int32_t y) {
  if (EnsureDeviceScreen()) RouteStylusDown(x, y);
}
void InjectStylusMove(int32_t x, int32_t y) {
  if (EnsureDeviceScreen()) RouteStylusMove(x, y);
}
void InjectStylusUp(int32_t x, int32_t y) {
  if (EnsureDeviceScreen()) RouteStylusUp(x, y);
}
void InjectKey(WORD virtualKey, bool down) {
  if (EnsureDeviceScreen()) RouteKey(virtualKey, down);
}
void InjectWheel(int32_t x, int32_t y, int32_t delta) {
  if (EnsureDeviceScreen()) RouteWheel(x, y, delta);
}

void NotifyProgramWindowClosing() { TakeProgramScreenshot(); }

int RunProgram(int argc, char** argv, WinMainFunction winMain) {
  if (!StartDeviceScreen()) {
    std::fprintf(stderr, "orvan: no display could start (ORVAN_BACKEND=%s)\n", Settings().backend.c_str());
    return 2;
  }
  // One line, each argument quoted as the device quotes them, so that SplitCommandLine gives the
  // program back exactly its arguments (spaces and quotation marks included).
  std::u16string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += u' ';
    commandLine += QuoteCommandLineArgument(Utf8ToUtf16(argv[i]));
  }
  int result = 0;
  {
    RunTimer timer(Settings().runMs);
    result = winMain(GetModuleHandleW(nullptr), nullptr, commandLine.data(), SW_SHOW);
  }
  TakeProgramScreenshot();
  if (DisplayBackend* display = CurrentDisplayBackend()) display->Stop();
  return result;
}

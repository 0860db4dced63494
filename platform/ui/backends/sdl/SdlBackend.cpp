#include "platform/ui/backends/sdl/SdlBackend.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/kernel/Thread.h"
#include "platform/ui/backends/sdl/SdlKeys.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/InputRouter.h"

namespace {
class SdlBackend final : public DisplayBackend {
 public:
  ~SdlBackend() override = default;

  bool Start(int32_t width, int32_t height, int32_t scale) override {
    // Let SDL_Quit close the session bus connection SDL opens, so that nothing is left behind.
    SDL_SetHint("SDL_SHUTDOWN_DBUS_ON_QUIT", "1");
    // A tap is a tap: SDL would otherwise drop a click that comes within moments of the desktop
    // window getting the focus (the pointer just moved onto it).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      std::fprintf(stderr, "orvan: SDL could not start: %s\n", SDL_GetError());
      return false;
    }
    scale_ = scale;
    window_ = SDL_CreateWindow("Orvan device", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * scale,
                               height * scale, SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr && window_ != nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ != nullptr) {
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    // Shown only now: making a renderer may replace the window, and nothing should see the first.
    if (texture_ != nullptr) SDL_ShowWindow(window_);
    wakeEvent_ = SDL_RegisterEvents(1);
    if (texture_ == nullptr || wakeEvent_ == Uint32(-1)) {
      std::fprintf(stderr, "orvan: SDL could not make its window: %s\n", SDL_GetError());
      if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
      if (window_ != nullptr) SDL_DestroyWindow(window_);
      SDL_Quit();
      return false;
    }
    thread_ = GetCurrentThreadId();
    return true;
  }

  DWORD EventThreadId() const override { return stopped_.load() ? 0 : thread_; }

  void Stop() override {
    if (GetCurrentThreadId() != thread_ || stopped_.exchange(true)) return;
    SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  void Wake() override { PushWake(); }

  void ScreenChanged() override {
    if (GetCurrentThreadId() == thread_) return;  // shown when the display thread is next idle
    PushWake();
  }

  void Raise() override {
    raise_.store(true);
    if (GetCurrentThreadId() != thread_) PushWake();
  }

  void WaitForEvents() override {
    if (stopped_.load()) return;
    PresentIfChanged();
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0) return;
    Handle(event);
    PollEvents();
  }

  void PollEvents() override {
    if (stopped_.load()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) Handle(event);
    PresentIfChanged();
  }

 private:
  void PushWake() {
    if (stopped_.load()) return;
    // One wake event in flight is enough; the flag is cleared when the display thread takes it.
    if (wakeQueued_.exchange(true)) return;
    SDL_Event event{};
    event.type = wakeEvent_;
    SDL_PushEvent(&event);
  }

  void Handle(const SDL_Event& event) {
    if (event.type == wakeEvent_) {
      wakeQueued_.store(false);
      return;
    }
    switch (event.type) {
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) RouteStylusDown(event.button.x / scale_, event.button.y / scale_);
        break;
      case SDL_MOUSEMOTION:
        if ((event.motion.state & SDL_BUTTON_LMASK) != 0)
          RouteStylusMove(event.motion.x / scale_, event.motion.y / scale_);
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) RouteStylusUp(event.button.x / scale_, event.button.y / scale_);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (WORD key = VirtualKeyFromSdl(event.key.keysym.sym); key != 0) RouteKey(key, event.type == SDL_KEYDOWN);
        break;
      case SDL_QUIT: CloseProgramWindows(); break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) CloseProgramWindows();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) fullPresent_ = true;
        break;
      default: break;
    }
  }

  void PresentIfChanged() {
    if (raise_.exchange(false)) SDL_RaiseWindow(window_);
    Compositor& compositor = Compositor::Get();
    RECT changed;
    {
      std::lock_guard<std::mutex> held(compositor.ScreenLock());
      changed = compositor.TakeChangedLocked();
      if (changed.right <= changed.left || changed.bottom <= changed.top) {
        if (!fullPresent_) return;
      } else {
        const PixelSurface screen = compositor.ScreenLocked();
        SDL_Rect area{changed.left, changed.top, changed.right - changed.left, changed.bottom - changed.top};
        SDL_UpdateTexture(texture_, &area, screen.pixels + size_t(changed.top) * size_t(screen.stride) + changed.left,
                          int(screen.stride * sizeof(uint32_t)));
      }
    }
    fullPresent_ = false;
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 wakeEvent_ = 0;
  int32_t scale_ = 1;
  DWORD thread_ = 0;
  std::atomic<bool> wakeQueued_{false};
  std::atomic<bool> raise_{false};
  std::atomic<bool> stopped_{false};
  bool fullPresent_ = true;
};
}  // namespace

bool SdlDisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != 0) || (wayland != nullptr && *wayland != 0);
}

std::unique_ptr<DisplayBackend> CreateSdlBackend() { return std::make_unique<SdlBackend>(); }

#include "platform/ui/backends/sdl/SdlBackend.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/kernel/Thread.h"
#include "platform/ui/backends/sdl/SdlKeys.h"
#include "platform/ui/core/Compositor.h"
#include "platform/ui/core/DeviceScreenState.h"
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
    scale_ = scale != 0 ? scale : DisplayScale(width, height);
    window_ = SDL_CreateWindow("Orvan device", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * scale_,
                               height * scale_, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (window_ != nullptr) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr && window_ != nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ != nullptr) {
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    textureWidth_ = width;
    textureHeight_ = height;
    windowWidth_ = width * scale_;
    windowHeight_ = height * scale_;
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

  void WaitForEvents(int32_t timeoutMs) override {
    if (stopped_.load()) return;
    PresentIfChanged();
    SDL_Event event;
    if ((timeoutMs < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeoutMs)) == 0) return;
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
        if (event.button.button == SDL_BUTTON_LEFT) RouteStylusDown(DeviceX(event.button.x), DeviceY(event.button.y));
        break;
      case SDL_MOUSEMOTION:
        if ((event.motion.state & SDL_BUTTON_LMASK) != 0)
          RouteStylusMove(DeviceX(event.motion.x), DeviceY(event.motion.y));
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) RouteStylusUp(DeviceX(event.button.x), DeviceY(event.button.y));
        break;
      case SDL_MOUSEWHEEL: OnWheel(event.wheel); break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (WORD key = VirtualKeyFromSdl(event.key.keysym.sym); key != 0) RouteKey(key, event.type == SDL_KEYDOWN);
        break;
      case SDL_QUIT: CloseProgramWindows(); break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) CloseProgramWindows();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) fullPresent_ = true;
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) OnWindowSize(event.window.data1, event.window.data2);
        break;
      default: break;
    }
  }

  // The device's scale when ORVAN_SCALE does not give one: 2 on a display of ordinary density (96
  // dots per inch), in proportion on a denser one, and never so large that the window would not fit
  // the display's usable area.
  static int32_t DisplayScale(int32_t width, int32_t height) {
    int32_t scale = 2;
    float dpi = 0;
    if (SDL_GetDisplayDPI(0, nullptr, &dpi, nullptr) == 0 && dpi > 0) scale = int32_t(2.0f * dpi / 96.0f + 0.5f);
    scale = std::clamp(scale, 1, 8);
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
      while (scale > 1 && (width * scale > usable.w || height * scale > usable.h)) --scale;
    }
    return scale;
  }

  // Desktop window pixels to device pixels (the window may be any size once resized by hand).
  int32_t DeviceX(int32_t x) const { return windowWidth_ > 0 ? int32_t(int64_t(x) * textureWidth_ / windowWidth_) : x; }
  int32_t DeviceY(int32_t y) const {
    return windowHeight_ > 0 ? int32_t(int64_t(y) * textureHeight_ / windowHeight_) : y;
  }

  // High-resolution wheels report fractions of a notch: they add up, WHEEL_DELTA to a notch.
  void OnWheel(const SDL_MouseWheelEvent& wheel) {
    float notches = float(wheel.y);
#if SDL_VERSION_ATLEAST(2, 0, 18)
    notches = wheel.preciseY;
#endif
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
    wheelRest_ += notches * float(WHEEL_DELTA);
    const int32_t delta = int32_t(wheelRest_);
    wheelRest_ -= float(delta);
    if (delta == 0) return;
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    RouteWheel(DeviceX(x), DeviceY(y), delta);
  }

  // The desktop window was resized: the device screen becomes the window's size divided by the
  // scale, and is shown stretched over the whole window.
  void OnWindowSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    windowWidth_ = width;
    windowHeight_ = height;
    ResizeDeviceScreen(std::max(width / scale_, 1), std::max(height / scale_, 1));
    fullPresent_ = true;
  }

  void PresentIfChanged() {
    if (raise_.exchange(false)) SDL_RaiseWindow(window_);
    Compositor& compositor = Compositor::Get();
    compositor.Compose();
    RECT changed;
    {
      std::lock_guard<std::mutex> held(compositor.ScreenLock());
      if (compositor.Width() != textureWidth_ || compositor.Height() != textureHeight_) {
        SDL_Texture* resized = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                 compositor.Width(), compositor.Height());
        if (resized != nullptr) {
          SDL_DestroyTexture(texture_);
          texture_ = resized;
          textureWidth_ = compositor.Width();
          textureHeight_ = compositor.Height();
          const PixelSurface screen = compositor.ScreenLocked();
          SDL_UpdateTexture(texture_, nullptr, screen.pixels, int(screen.stride * sizeof(uint32_t)));
          fullPresent_ = true;
        }
      }
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
  int32_t textureWidth_ = 0, textureHeight_ = 0;  // the device screen's size as last shown
  int32_t windowWidth_ = 0, windowHeight_ = 0;    // the desktop window's size
  float wheelRest_ = 0;                            // a fine-grained wheel's turn short of a unit
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

// The device screen's pixels: the task bar on top, then every visible top-level window's pixels
// in z-order, over the desktop colour. Damage only records the rectangle (and keeps the task bar
// up to date); the windows' pixels are copied when the screen is looked at (a pixel, a screenshot,
// the display presenting), so a window painting many times between two looks costs one copy, and
// the copying is done by whoever looks (the display's thread), not by the painting thread. Only
// damaged rectangles are composed; a window whose pixels are being drawn at that moment is left
// for the next look, so composing never waits on a paint. Call its functions without the window
// system's lock held.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"
#include "platform/ui/Windows.h"
#include "platform/ui/core/BackingStore.h"
#include "platform/ui/core/TaskBar.h"

constexpr uint32_t kDesktopPixel = 0x00C8C8C8;

class Compositor {
 public:
  static Compositor& Get();

  // Also when the screen changes size: the screen is desktop colour until composed again.
  void Start(int32_t width, int32_t height, int32_t taskBarHeight);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  // Records `damage` (screen coordinates) for the next composition and tells the display.
  void Damage(const RECT& damage);
  // Brings the screen up to date with the damage recorded so far.
  void Compose();
  void DamageAll() { Damage(RECT{0, 0, width_, height_}); }

  uint32_t Pixel(int32_t x, int32_t y);
  BOOL WritePng(const char* path);
  RECT OkButtonRect();

  // For the display backend: the screen under its lock, and the area changed since the last call.
  std::mutex& ScreenLock() { return screenLock_; }
  PixelSurface ScreenLocked() { return PixelSurface{screen_.data(), width_, height_, width_}; }
  RECT TakeChangedLocked();

 private:
  struct Layer {
    std::shared_ptr<BackingStore> store;
    RECT rect;  // screen coordinates of the store's (0, 0) .. size
  };
  void Snapshot(std::vector<Layer>* layers);
  void ComposeLocked(const RECT& area, const std::vector<Layer>& layers);
  void Copy(const PixelSurface& from, int32_t fromX, int32_t fromY, const RECT& to);

  std::mutex screenLock_;
  std::vector<uint32_t> screen_;
  // Written under screenLock_ (also when the display's window is resized); read by Width() and
  // Height() without it, to size damage rectangles.
  std::atomic<int32_t> width_{0};
  std::atomic<int32_t> height_{0};
  int32_t taskBarHeight_ = 0;
  TaskBar taskBar_;
  RECT pending_{};  // damaged, or kept out of the last composition by a busy window
  // The foreground window's title and whether it shows an OK button; nothing when none.
  void TitleSnapshot(std::u16string* title, bool* ok);
  RECT changed_{};
};

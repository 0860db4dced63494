// The task bar across the top of the screen: the foreground window's title on the left and, when
// that window asks for it, an "ok" button at the right end. Drawn into its own pixels only when
// what it shows changes; the compositor copies it onto the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"
#include "platform/ui/Windows.h"

class TaskBar {
 public:
  // Redraws when the size, the title or the button changed; TRUE when it did.
  bool Update(int32_t width, int32_t height, const std::u16string& title, bool okButton);
  PixelSurface Surface() { return PixelSurface{pixels_.data(), width_, height_, width_}; }
  // The ok button's rectangle (screen coordinates, the bar is at the top), empty when not shown.
  RECT OkButtonRect() const { return okShown_ ? okRect_ : RECT{0, 0, 0, 0}; }
  static RECT OkButtonRectFor(int32_t width, int32_t height);

 private:
  void Draw();
  std::vector<uint32_t> pixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::u16string title_;
  bool okShown_ = false;
  bool drawn_ = false;
  RECT okRect_{};
};

constexpr uint32_t kTaskBarPixel = 0x00203C78;  // dark blue
constexpr uint32_t kTaskBarTextPixel = 0x00FFFFFF;

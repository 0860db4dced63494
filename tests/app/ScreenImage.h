// A screenshot read back from its PNG file, for pixel checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

class ScreenImage {
 public:
  // Throws std::runtime_error when the file is missing or not a PNG.
  explicit ScreenImage(const std::string& path);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb At(int x, int y) const;
  // How many pixels of the rectangle [left, right) x [top, bottom) satisfy `test`.
  template <typename Test>
  int Count(int left, int top, int right, int bottom, Test test) const {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
  }
  // Pixels that differ between two images of the same size inside the rectangle.
  int Differences(const ScreenImage& other, int left, int top, int right, int bottom) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> rgba_;
};

// Encoded images made in the tests with known pixels (PNG by libpng, JPEG by libjpeg, WebP by
// libwebp's encoder, all independent of the decoders under test), and surfaces of our own to draw them into.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Surface.h"

namespace imaging_test {

using Bytes = std::vector<uint8_t>;

enum ColourType { kGray = 0, kRgb = 2, kPalette = 3, kGrayAlpha = 4, kRgba = 6 };

struct PngRecipe {
  int width = 0, height = 0;
  int colorType = kRgb;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint16_t> samples{};      // width * height * channels, each below 2^bitDepth
  std::vector<uint32_t> palette{};      // 0x00RRGGBB
  std::vector<uint8_t> paletteAlpha{};  // tRNS of a palette image
  bool keyed = false;                   // tRNS of a gray or RGB image: this colour is transparent
  uint16_t key[3] = {0, 0, 0};          // gray in key[0]
};

int ChannelsOf(int colorType);
Bytes EncodePng(const PngRecipe& recipe);
// Signature and header only, declaring any size.
Bytes PngHeaderOnly(uint32_t width, uint32_t height, int colorType);
// The straight RGBA8 bytes a decoder must produce for `recipe`.
std::vector<uint8_t> ExpectedRgba(const PngRecipe& recipe);
Bytes EncodeRgbPng(int width, int height, const std::vector<uint32_t>& pixels);  // 0x00RRGGBB
// `samples` holds width * height * (gray ? 1 : 3) bytes.
Bytes EncodeJpeg(int width, int height, bool gray, bool progressive, const std::vector<uint8_t>& samples);
// `rgba` holds width * height * 4 bytes (straight alpha). Lossless keeps every pixel exactly;
// lossy is quality 90.
Bytes EncodeWebp(int width, int height, bool lossless, const std::vector<uint8_t>& rgba);

// Our own pixels behind a surface context (origin and clip as given).
class TestSurface {
 public:
  TestSurface(int width, int height, uint32_t fill, int originX = 0, int originY = 0,
              RECT clip = {0, 0, 1 << 30, 1 << 30});
  ~TestSurface() { DeleteDC(dc_); }
  TestSurface(const TestSurface&) = delete;
  TestSurface& operator=(const TestSurface&) = delete;

  HDC dc() const { return dc_; }
  uint32_t At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  int width_;
  std::vector<uint32_t> pixels_;
  HDC dc_;
};

}  // namespace imaging_test

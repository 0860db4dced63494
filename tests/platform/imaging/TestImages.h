// Encoded images made in the tests with known pixels: PNGs of any colour type and bit depth
// (written by libpng, independently of the decoder under test), JPEGs (libjpeg), and surfaces to
// draw them into.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/Surface.h"

namespace imaging_test {

using Bytes = std::vector<uint8_t>;

// PNG colour types.
constexpr int kGray = 0;
constexpr int kRgb = 2;
constexpr int kPalette = 3;
constexpr int kGrayAlpha = 4;
constexpr int kRgba = 6;

struct PngSpec {
  int width = 0;
  int height = 0;
  int colorType = kRgb;
  int bitDepth = 8;
  bool interlaced = false;
  // width * height * channels samples, each below 2^bitDepth (palette: indices).
  std::vector<uint16_t> samples;
  std::vector<uint32_t> palette;       // 0x00RRGGBB entries
  std::vector<uint8_t> paletteAlpha;   // tRNS for palette images (may be shorter than the palette)
  bool hasTransparentColor = false;    // tRNS for gray / RGB images
  uint16_t transparentGray = 0;
  uint16_t transparentRgb[3] = {0, 0, 0};
  // Chunks written between the header and the image data: four-letter type, contents.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> extraChunks;
};

int ChannelsOf(int colorType);
Bytes EncodePng(const PngSpec& spec);
// A PNG holding only the signature and a header of `width` x `height` (no image data).
Bytes PngHeaderOnly(uint32_t width, uint32_t height, int colorType, int bitDepth);

// Straight RGBA8 pixels the decoder should produce for `spec` (byte order R, G, B, A).
std::vector<uint8_t> ExpectedRgba(const PngSpec& spec);

// An opaque RGB PNG from 0x00RRGGBB pixels.
Bytes EncodeRgbPng(int width, int height, const std::vector<uint32_t>& pixels);

struct JpegSpec {
  int width = 0;
  int height = 0;
  bool gray = false;
  bool progressive = false;
  int quality = 95;
  std::vector<uint8_t> samples;  // width * height * (gray ? 1 : 3)
};
Bytes EncodeJpeg(const JpegSpec& spec);

// The offset of the first chunk of `type` (its length field), or -1.
long FindChunk(const Bytes& png, const char* type);

// A memory surface of our own, wrapped in a surface context.
class TestSurface {
 public:
  TestSurface(int width, int height, uint32_t fill);
  TestSurface(int width, int height, uint32_t fill, int originX, int originY, RECT clip);
  ~TestSurface();
  TestSurface(const TestSurface&) = delete;
  TestSurface& operator=(const TestSurface&) = delete;

  HDC dc() const { return dc_; }
  uint32_t At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  PixelSurface Surface() { return PixelSurface{pixels_.data(), width_, height_, width_}; }

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  HDC dc_;
};

}  // namespace imaging_test

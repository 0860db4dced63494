// PNGs of every colour type and bit depth, made here with known samples, decode back to exactly
// the expected RGBA.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/imaging/DecodedImage.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;
using imaging::DecodedImage;
using imaging::DecodeImage;
using imaging::ImageError;

namespace {

// Odd sizes, so packed rows end mid-byte and every interlace pass has a ragged edge.
constexpr int kWidth = 37;
constexpr int kHeight = 23;

// Samples that sweep each channel's range; 16-bit samples carry a low byte unlike their high byte,
// so a decoder that takes the wrong byte is caught.
PngSpec MakeSpec(int colorType, int bitDepth, bool interlaced) {
  PngSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.colorType = colorType;
  spec.bitDepth = bitDepth;
  spec.interlaced = interlaced;
  const int channels = ChannelsOf(colorType);
  const int levels = colorType == kPalette ? (bitDepth == 8 ? 200 : 1 << bitDepth) : 1 << (bitDepth == 16 ? 8 : bitDepth);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int v = (x * 7 + y * 13 + c * 31) % levels;
        spec.samples.push_back(bitDepth == 16 ? uint16_t(v << 8 | 0x7F) : uint16_t(v));
      }
    }
  }
  if (colorType == kPalette) {
    for (int i = 0; i < levels; ++i) spec.palette.push_back(uint32_t(i * 0x010305 + 0x204060) & 0xFFFFFF);
    // Alpha for the first entries only: the rest stay opaque.
    for (int i = 0; i < levels / 2 + 1 && i < levels; ++i) spec.paletteAlpha.push_back(uint8_t(i * 37));
  }
  return spec;
}

::testing::AssertionResult SamePixels(const DecodedImage& image, const std::vector<uint8_t>& expected) {
  const size_t bytes = size_t(image.width) * image.height * 4;
  if (bytes != expected.size()) return ::testing::AssertionFailure() << "size " << bytes << " vs " << expected.size();
  for (size_t i = 0; i < bytes; ++i) {
    if (image.rgba[i] != expected[i]) {
      return ::testing::AssertionFailure() << "pixel " << i / 4 << " channel " << i % 4 << ": got "
                                           << int(image.rgba[i]) << ", expected " << int(expected[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

using Format = std::tuple<int, int, bool>;  // colour type, bit depth, interlaced

class PngFormats : public ::testing::TestWithParam<Format> {};

TEST_P(PngFormats, DecodesToExactRgba) {
  const auto [colorType, bitDepth, interlaced] = GetParam();
  const PngSpec spec = MakeSpec(colorType, bitDepth, interlaced);
  const Bytes png = EncodePng(spec);
  DecodedImage image;
  ASSERT_EQ(DecodeImage(png.data(), png.size(), &image), ImageError::None);
  EXPECT_EQ(image.width, uint32_t(kWidth));
  EXPECT_EQ(image.height, uint32_t(kHeight));
  EXPECT_TRUE(SamePixels(image, ExpectedRgba(spec)));
  EXPECT_EQ(image.hasAlpha, colorType == kGrayAlpha || colorType == kRgba || colorType == kPalette);
}

std::vector<Format> AllFormats() {
  const std::pair<int, std::vector<int>> depths[] = {
      {kGray, {1, 2, 4, 8, 16}}, {kRgb, {8, 16}}, {kPalette, {1, 2, 4, 8}}, {kGrayAlpha, {8, 16}}, {kRgba, {8, 16}}};
  std::vector<Format> out;
  for (const auto& [type, list] : depths) {
    for (int depth : list) {
      out.emplace_back(type, depth, false);
      out.emplace_back(type, depth, true);
    }
  }
  return out;
}

std::string FormatName(const ::testing::TestParamInfo<Format>& info) {
  static const char* names[] = {"Gray", "?", "Rgb", "Palette", "GrayAlpha", "?", "Rgba"};
  return std::string(names[std::get<0>(info.param)]) + std::to_string(std::get<1>(info.param)) +
         (std::get<2>(info.param) ? "Interlaced" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryColourTypeAndDepth, PngFormats, ::testing::ValuesIn(AllFormats()), FormatName);

// tRNS on gray and RGB images makes exactly the pixels of the given colour transparent; at 16 bits
// the whole sample is compared, not only its high byte.
TEST(PngTransparentColour, MarksOnlyThatColourTransparent) {
  struct Case {
    int colorType;
    int bitDepth;
  };
  for (const Case c : {Case{kGray, 2}, Case{kGray, 8}, Case{kGray, 16}, Case{kRgb, 8}, Case{kRgb, 16}}) {
    SCOPED_TRACE(testing::Message() << "colour type " << c.colorType << ", depth " << c.bitDepth);
    PngSpec spec = MakeSpec(c.colorType, c.bitDepth, false);
    spec.hasTransparentColor = true;
    const int channels = ChannelsOf(c.colorType);
    // The colour of pixel 5, and pixel 6 differing from it in the low byte only.
    spec.transparentGray = spec.samples[5 * channels];
    for (int k = 0; k < 3 && c.colorType == kRgb; ++k) spec.transparentRgb[k] = spec.samples[5 * channels + k];
    if (c.bitDepth == 16) {
      for (int k = 0; k < channels; ++k) spec.samples[6 * channels + k] = spec.samples[5 * channels + k];
      spec.samples[6 * channels] ^= 0x0001;
    }
    const Bytes png = EncodePng(spec);
    DecodedImage image;
    ASSERT_EQ(DecodeImage(png.data(), png.size(), &image), ImageError::None);
    const std::vector<uint8_t> expected = ExpectedRgba(spec);
    ASSERT_EQ(expected[5 * 4 + 3], 0);
    ASSERT_EQ(expected[6 * 4 + 3], 255);
    EXPECT_TRUE(SamePixels(image, expected));
    EXPECT_TRUE(image.hasAlpha);
  }
}

// Large images use many IDAT chunks and a large zlib stream; the ancillary-chunk limits must not
// apply to the image data.
TEST(PngLargeImage, DecodesAFullSizeNoisyImage) {
  PngSpec spec;
  spec.width = 1024;
  spec.height = 1024;
  spec.colorType = kRgba;
  uint32_t state = 12345;
  for (int i = 0; i < spec.width * spec.height * 4; ++i) {
    state = state * 1103515245u + 12345u;
    spec.samples.push_back(uint16_t(state >> 24));
  }
  const Bytes png = EncodePng(spec);
  ASSERT_GT(png.size(), size_t(2) << 20);  // incompressible: well above the ancillary chunk limit
  DecodedImage image;
  ASSERT_EQ(DecodeImage(png.data(), png.size(), &image), ImageError::None);
  EXPECT_TRUE(SamePixels(image, ExpectedRgba(spec)));
}

}  // namespace

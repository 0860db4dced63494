// JPEGs made here (baseline and progressive, colour and grayscale) decode close to their source.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/imaging/DecodedImage.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;
using imaging::DecodedImage;
using imaging::DecodeImage;
using imaging::ImageError;

namespace {

constexpr int kWidth = 61;  // not a multiple of the 8 x 8 (or 16 x 16) blocks
constexpr int kHeight = 45;
// Lossy at quality 95 on a smooth image: small per-channel errors, tiny on average.
constexpr int kMaxError = 12;
constexpr double kMaxMeanError = 2.0;

JpegSpec SmoothImage(bool gray, bool progressive) {
  JpegSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.gray = gray;
  spec.progressive = progressive;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (gray) {
        spec.samples.push_back(uint8_t(x * 4 + y));
      } else {
        spec.samples.insert(spec.samples.end(), {uint8_t(x * 4), uint8_t(y * 5), uint8_t(200 - x - y)});
      }
    }
  }
  return spec;
}

void ExpectCloseTo(const JpegSpec& spec) {
  const Bytes jpeg = EncodeJpeg(spec);
  DecodedImage image;
  ASSERT_EQ(DecodeImage(jpeg.data(), jpeg.size(), &image), ImageError::None);
  ASSERT_EQ(image.width, uint32_t(kWidth));
  ASSERT_EQ(image.height, uint32_t(kHeight));
  EXPECT_FALSE(image.hasAlpha);
  int worst = 0;
  long total = 0;
  const int channels = spec.gray ? 1 : 3;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const uint8_t* got = image.rgba.get() + i * 4;
    ASSERT_EQ(got[3], 255);
    for (int c = 0; c < 3; ++c) {
      const int error = std::abs(int(got[c]) - int(spec.samples[size_t(i) * channels + (spec.gray ? 0 : c)]));
      worst = std::max(worst, error);
      total += error;
    }
  }
  EXPECT_LE(worst, kMaxError);
  EXPECT_LE(double(total) / (kWidth * kHeight * 3), kMaxMeanError);
}

TEST(JpegDecode, BaselineColour) { ExpectCloseTo(SmoothImage(false, false)); }
TEST(JpegDecode, ProgressiveColour) { ExpectCloseTo(SmoothImage(false, true)); }
TEST(JpegDecode, BaselineGrayscaleBecomesEqualChannels) { ExpectCloseTo(SmoothImage(true, false)); }
TEST(JpegDecode, ProgressiveGrayscale) { ExpectCloseTo(SmoothImage(true, true)); }

}  // namespace

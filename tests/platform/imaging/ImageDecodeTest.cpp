// Decoding: PNGs of every colour type and depth and lossless WebPs decode exactly, JPEGs and lossy
// WebPs closely; bytes that are not
// a whole, sound image fail with a clear error, and oversized headers fail before allocating.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/ImageLimits.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;
using namespace imaging;

namespace {

// Odd sizes: packed rows end mid-byte and every interlace pass has a ragged edge.
constexpr int kW = 37, kH = 23;

// Samples sweeping each channel; 16-bit ones have a low byte unlike the high byte, so taking the
// wrong byte shows.
PngRecipe Sweep(int colorType, int depth, bool interlaced) {
  PngRecipe recipe{kW, kH, colorType, depth, interlaced};
  const int levels = colorType == kPalette && depth == 8 ? 200 : 1 << (depth == 16 ? 8 : depth);
  for (int i = 0; i < kW * kH * ChannelsOf(colorType); ++i) {
    const int v = (i * 7 + i / kW * 13) % levels;
    recipe.samples.push_back(depth == 16 ? uint16_t(v << 8 | 0x7F) : uint16_t(v));
  }
  for (int i = 0; colorType == kPalette && i < levels; ++i) recipe.palette.push_back(uint32_t(i * 0x010305 + 0x204060));
  for (int i = 0; colorType == kPalette && i <= levels / 2; ++i) recipe.paletteAlpha.push_back(uint8_t(i * 37));
  return recipe;
}

::testing::AssertionResult DecodesTo(const Bytes& png, const std::vector<uint8_t>& expected) {
  DecodedImage image;
  const ImageError error = DecodeImage(png.data(), png.size(), &image);
  if (error != ImageError::None) return ::testing::AssertionFailure() << ImageErrorName(error);
  if (size_t(image.width) * image.height * 4 != expected.size()) return ::testing::AssertionFailure() << "size";
  for (size_t i = 0; i < expected.size(); ++i) {
    if (image.rgba[i] != expected[i]) {
      return ::testing::AssertionFailure() << "byte " << i << ": " << int(image.rgba[i]) << " not " << int(expected[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

using Format = std::tuple<int, int, bool>;  // colour type, depth, interlaced
class PngFormats : public ::testing::TestWithParam<Format> {};

TEST_P(PngFormats, DecodeExactly) {
  const PngRecipe recipe = Sweep(std::get<0>(GetParam()), std::get<1>(GetParam()), std::get<2>(GetParam()));
  EXPECT_TRUE(DecodesTo(EncodePng(recipe), ExpectedRgba(recipe)));
}

std::vector<Format> AllFormats() {
  std::vector<Format> out;
  for (const auto& [type, depths] : std::vector<std::pair<int, std::vector<int>>>{{kGray, {1, 2, 4, 8, 16}},
                                                                                  {kRgb, {8, 16}},
                                                                                  {kPalette, {1, 2, 4, 8}},
                                                                                  {kGrayAlpha, {8, 16}},
                                                                                  {kRgba, {8, 16}}}) {
    for (int depth : depths) out.insert(out.end(), {Format{type, depth, false}, Format{type, depth, true}});
  }
  return out;
}
INSTANTIATE_TEST_SUITE_P(AllTypesAndDepths, PngFormats, ::testing::ValuesIn(AllFormats()), [](const auto& info) {
  return "Type" + std::to_string(std::get<0>(info.param)) + "Depth" + std::to_string(std::get<1>(info.param)) +
         (std::get<2>(info.param) ? "Interlaced" : "");
});

// tRNS on gray and RGB makes exactly one colour transparent; at 16 bits the whole sample counts.
TEST(PngDecode, TransparentColourKeyOnGrayAndRgb) {
  for (const auto& [type, depth] : {std::pair{kGray, 2}, {kGray, 16}, {kRgb, 8}, {kRgb, 16}}) {
    PngRecipe recipe = Sweep(type, depth, false);
    const int n = ChannelsOf(type);
    recipe.keyed = true;
    for (int k = 0; k < n; ++k) recipe.key[k] = recipe.samples[5 * n + k];
    if (depth == 16) {  // pixel 6 differs from the key in its low byte only
      for (int k = 0; k < n; ++k) recipe.samples[6 * n + k] = recipe.samples[5 * n + k] ^ (k == 0);
    }
    const std::vector<uint8_t> expected = ExpectedRgba(recipe);
    ASSERT_TRUE(expected[5 * 4 + 3] == 0 && expected[6 * 4 + 3] == 255);
    EXPECT_TRUE(DecodesTo(EncodePng(recipe), expected)) << "type " << type << " depth " << depth;
  }
}

// Quality 95 on a smooth image: small errors, grayscale spread to equal channels, alpha 255.
TEST(JpegDecode, BaselineAndProgressiveColourAndGray) {
  constexpr int w = 61, h = 45;  // not whole blocks
  for (const bool gray : {false, true}) {
    for (const bool progressive : {false, true}) {
      std::vector<uint8_t> samples;
      for (int i = 0; i < w * h; ++i) {
        const int x = i % w, y = i / w;
        if (gray) samples.push_back(uint8_t(x * 4 + y));
        else samples.insert(samples.end(), {uint8_t(x * 4), uint8_t(y * 5), uint8_t(200 - x - y)});
      }
      const Bytes jpeg = EncodeJpeg(w, h, gray, progressive, samples);
      DecodedImage image;
      ASSERT_EQ(DecodeImage(jpeg.data(), jpeg.size(), &image), ImageError::None);
      ASSERT_TRUE(image.width == w && image.height == h && !image.hasAlpha);
      int worst = 0;
      for (int i = 0; i < w * h; ++i) {
        ASSERT_EQ(image.rgba[i * 4 + 3], 255);
        for (int c = 0; c < 3; ++c)
          worst = std::max(worst, std::abs(image.rgba[i * 4 + c] - samples[gray ? i : i * 3 + c]));
      }
      EXPECT_LE(worst, 12) << "gray " << gray << " progressive " << progressive;
    }
  }
}

// An RGBA sweep whose alpha never reaches 0 (an encoder may change the colour under a fully
// transparent pixel).
std::vector<uint8_t> RgbaSweep(int w, int h, bool opaque) {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < w * h; ++i) {
    const int x = i % w, y = i / w;
    rgba.insert(rgba.end(),
                {uint8_t(x * 4), uint8_t(y * 5), uint8_t(200 - x - y), uint8_t(opaque ? 255 : 1 + (x * 9 + y) % 255)});
  }
  return rgba;
}

TEST(WebpDecode, LosslessExactlyWithAlphaAndLossyClosely) {
  constexpr int w = 61, h = 45;
  const std::vector<uint8_t> translucent = RgbaSweep(w, h, false);
  EXPECT_TRUE(DecodesTo(EncodeWebp(w, h, true, translucent), translucent));
  DecodedImage image;
  const Bytes lossless = EncodeWebp(w, h, true, translucent);
  ASSERT_EQ(DecodeImage(lossless.data(), lossless.size(), &image), ImageError::None);
  EXPECT_TRUE(image.hasAlpha);

  const std::vector<uint8_t> opaque = RgbaSweep(w, h, true);
  const Bytes lossy = EncodeWebp(w, h, false, opaque);
  ASSERT_EQ(DecodeImage(lossy.data(), lossy.size(), &image), ImageError::None);
  ASSERT_TRUE(image.width == w && image.height == h && !image.hasAlpha);
  int worst = 0;
  for (size_t i = 0; i < opaque.size(); ++i) {
    if (i % 4 == 3) ASSERT_EQ(image.rgba[i], 255);
    else worst = std::max(worst, std::abs(image.rgba[i] - opaque[i]));
  }
  EXPECT_LE(worst, 16);
}

ImageError Decode(const Bytes& bytes, DecodeStats* stats = nullptr) {
  DecodedImage image;
  const ImageError error = DecodeImage(bytes.data(), bytes.size(), &image, stats);
  EXPECT_TRUE(error == ImageError::None || image.rgba == nullptr);
  return error;
}

Bytes SmallPng() { return EncodeRgbPng(64, 64, std::vector<uint32_t>(64 * 64, 0x00336699)); }
Bytes SmallJpeg() { return EncodeJpeg(16, 16, false, false, std::vector<uint8_t>(16 * 16 * 3, 0x80)); }
Bytes SmallWebp(bool lossless) { return EncodeWebp(32, 32, lossless, RgbaSweep(32, 32, lossless)); }

TEST(ImageRejection, EmptyOrNotAnImage) {
  DecodedImage image;
  EXPECT_EQ(DecodeImage(nullptr, 0, &image), ImageError::Empty);
  EXPECT_EQ(Decode(Bytes{}), ImageError::Empty);
  const std::string html = "<html>502 Bad Gateway</html>";
  EXPECT_EQ(Decode(Bytes(html.begin(), html.end())), ImageError::UnknownFormat);
  EXPECT_EQ(Decode(Bytes{0x89, 'P', 'N'}), ImageError::UnknownFormat);
  const std::string riff = "RIFF\x04\0\0\0WAVE";  // a RIFF container of another kind
  EXPECT_EQ(Decode(Bytes(riff.begin(), riff.end())), ImageError::UnknownFormat);
}

TEST(ImageRejection, FlippedBitsFailTheirChecksum) {
  Bytes png = SmallPng();
  png[33 + 8 + 20] ^= 0x10;  // inside the first IDAT's data (signature 8 + IHDR 25 + length and type 8)
  EXPECT_EQ(Decode(png), ImageError::Corrupt);
  png = SmallPng();
  png[16 + 3] ^= 0x01;  // IHDR width
  EXPECT_EQ(Decode(png), ImageError::Corrupt);
  Bytes jpeg = SmallJpeg();
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) jpeg[i + 9] = 0;  // a frame of no components
  }
  EXPECT_EQ(Decode(jpeg), ImageError::Corrupt);
}

TEST(ImageRejection, ImagesCutAnywhereFail) {
  const Bytes png = SmallPng();
  // Header, image data, its middle, the end marker, the end marker's CRC, the last byte.
  for (size_t cut : {size_t(20), size_t(37), png.size() / 2, png.size() - 12, png.size() - 4, png.size() - 1}) {
    EXPECT_EQ(Decode(Bytes(png.begin(), png.begin() + long(cut))), ImageError::Truncated) << "PNG cut at " << cut;
  }
  const Bytes jpeg = SmallJpeg();
  for (size_t cut : {size_t(10), size_t(200), jpeg.size() / 2, jpeg.size() - 2}) {
    EXPECT_EQ(Decode(Bytes(jpeg.begin(), jpeg.begin() + long(cut))), ImageError::Truncated) << "JPEG cut at " << cut;
  }
  for (const bool lossless : {true, false}) {
    const Bytes webp = SmallWebp(lossless);
    for (size_t cut : {size_t(14), size_t(30), webp.size() / 2, webp.size() - 1}) {
      EXPECT_EQ(Decode(Bytes(webp.begin(), webp.begin() + long(cut))), ImageError::Truncated)
          << (lossless ? "lossless" : "lossy") << " WebP cut at " << cut;
    }
  }
}

TEST(ImageRejection, AnimatedWebpIsRefused) {
  // A lossy picture with alpha is written in the extended form; its flags byte gets the animation bit.
  const Bytes still = EncodeWebp(16, 16, false, RgbaSweep(16, 16, false));
  ASSERT_EQ(std::string(still.begin() + 12, still.begin() + 16), "VP8X");
  Bytes animated = still;
  animated[20] |= 0x02;
  EXPECT_EQ(Decode(still), ImageError::None);
  EXPECT_EQ(Decode(animated), ImageError::Corrupt);
}

// The declared size is refused from the header; the largest block the decode asked for shows
// that neither the pixels nor libspng's row buffers were allocated.
TEST(ImageRejection, HugeDeclaredSizesFailBeforeAllocating) {
  constexpr size_t kHeaderWork = size_t(256) << 10;
  for (const auto& [w, h, type] : {std::tuple{100000u, 100000u, kRgb},
                                   {kMaxImageSide + 1, 1u, kGray},
                                   {1u, kMaxImageSide + 1, kGray},
                                   {4000u, 4000u, kRgba} /* 64 MB decoded */}) {
    DecodeStats stats;
    EXPECT_EQ(Decode(PngHeaderOnly(w, h, type), &stats), ImageError::TooLarge) << w << " x " << h;
    EXPECT_LT(stats.largestAllocation, kHeaderWork);
  }
  // At the limits the header passes; only the missing image data fails.
  EXPECT_EQ(Decode(PngHeaderOnly(kMaxImageSide, 2048, kRgba)), ImageError::Truncated);

  Bytes jpeg = SmallJpeg();
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      for (int k = 5; k <= 8; ++k) jpeg[i + k] = k % 2 ? 0xEA : 0x60;  // height and width 60000
    }
  }
  DecodeStats stats;
  EXPECT_EQ(Decode(jpeg, &stats), ImageError::TooLarge);
  EXPECT_EQ(stats.largestAllocation, 0u);

  // A lossless WebP's header holds width - 1 in 14 bits after its signature byte: 16384 wide.
  Bytes webp = SmallWebp(true);
  ASSERT_EQ(std::string(webp.begin() + 12, webp.begin() + 16), "VP8L");
  webp[21] = 0xFF;
  webp[22] |= 0x3F;
  stats = DecodeStats{};
  EXPECT_EQ(Decode(webp, &stats), ImageError::TooLarge);
  EXPECT_EQ(stats.largestAllocation, 0u);
}

}  // namespace

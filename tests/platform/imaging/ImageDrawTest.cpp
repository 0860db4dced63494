// Drawing images into device contexts: exact at equal sizes (a white pixel stays exactly white),
// smooth when scaled, clipped to the surface and the context's clip, blended by alpha.
#include <gtest/gtest.h>

#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBackground = 0x00102030;

// An image made through the factory, as product code makes it.
class FactoryImage {
 public:
  explicit FactoryImage(const Bytes& bytes) {
    IImagingFactory* factory = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    EXPECT_EQ(factory->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()), BufferDisposalFlagNone, &image_), S_OK);
    factory->Release();
  }
  ~FactoryImage() { image_->Release(); }
  FactoryImage(const FactoryImage&) = delete;
  FactoryImage& operator=(const FactoryImage&) = delete;
  HRESULT Draw(HDC dc, RECT dest, const RECT* source = nullptr) const { return image_->Draw(dc, &dest, source); }
  IImage* get() const { return image_; }

 private:
  IImage* image_ = nullptr;
};

// A map-like tile: ground, white roads, blocks.
std::vector<uint32_t> MapTile() {
  std::vector<uint32_t> pixels(256 * 256);
  for (int i = 0; i < 256 * 256; ++i) {
    const int x = i % 256, y = i / 256;
    pixels[i] = x % 64 < 6 || y % 80 < 5 ? kWhite : (x / 16 + y / 16) % 5 ? 0x00E8E4D8 : 0x00C8D8B0 + uint32_t(x % 7);
  }
  return pixels;
}

std::vector<uint32_t> Gradient(int size) {  // red rises left to right
  std::vector<uint32_t> pixels;
  for (int i = 0; i < size * size; ++i) pixels.push_back(uint32_t(i % size * 255 / (size - 1)) << 16 | 0x80);
  return pixels;
}

TEST(ImageDraw, EqualSizeCopiesExactlyIntoAMemoryContext) {
  const std::vector<uint32_t> tile = MapTile();
  FactoryImage image(EncodeRgbPng(256, 256, tile));
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 300, 280);
  HGDIOBJ old = SelectObject(dc, bitmap);
  ASSERT_EQ(image.Draw(dc, {20, 10, 276, 266}), S_OK);
  DrawTarget target{};
  ASSERT_TRUE(GetDrawTarget(dc, &target));
  const auto at = [&](int x, int y) { return target.surface.pixels[y * target.surface.stride + x]; };
  for (int i = 0; i < 256 * 256; ++i) ASSERT_EQ(at(i % 256 + 20, i / 256 + 10), tile[i]) << i;  // white stays white
  EXPECT_EQ(at(19, 10), 0u);  // the new bitmap's black around it
  EXPECT_EQ(at(276, 265), 0u);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST(ImageDraw, ScaledHalfAndDoubleStaySmoothWithExactCorners) {
  FactoryImage big(EncodeRgbPng(256, 256, Gradient(256)));
  TestSurface half(128, 128, kBackground);
  ASSERT_EQ(big.Draw(half.dc(), {0, 0, 128, 128}), S_OK);
  const std::vector<uint32_t> small = Gradient(128);
  FactoryImage image(EncodeRgbPng(128, 128, small));
  TestSurface twice(256, 256, kBackground);
  ASSERT_EQ(image.Draw(twice.dc(), {0, 0, 256, 256}), S_OK);
  for (int x = 1; x < 256; ++x) {
    ASSERT_GE(twice.At(x, 7) >> 16, twice.At(x - 1, 7) >> 16) << x;
    ASSERT_EQ(twice.At(x, 7), twice.At(x, 200));  // nothing bleeds between rows
    if (x < 128) {
      ASSERT_GE(half.At(x, 7) >> 16, half.At(x - 1, 7) >> 16) << x;
    }
  }
  EXPECT_LE(half.At(0, 0) >> 16, 1u);  // the mean of 0 and 1
  EXPECT_GE(half.At(127, 127) >> 16, 254u);
  EXPECT_NE(twice.At(100, 0), twice.At(101, 0));  // interpolated, not repeated
  EXPECT_EQ(twice.At(0, 0), small[0]);
  EXPECT_EQ(twice.At(255, 255), small.back());
}

// Including a stretch whose width does not fit in 32 bits.
TEST(ImageDraw, UniformImagesStayExactlyUniformAtOddScales) {
  FactoryImage white(EncodeRgbPng(100, 30, std::vector<uint32_t>(3000, kWhite)));
  FactoryImage tiny(EncodeRgbPng(3, 2, std::vector<uint32_t>(6, 0x00ABCDEF)));
  for (const auto& [image, dest, colour] : {std::tuple{white.get(), RECT{0, 0, 37, 11}, kWhite},
                                            {white.get(), RECT{0, 0, 250, 7}, kWhite},
                                            {tiny.get(), RECT{0, 0, 250, 199}, 0x00ABCDEFu},
                                            {tiny.get(), RECT{-2000000000, -5, 2000000000, 199}, 0x00ABCDEFu}}) {
    TestSurface surface(250, 200, kBackground);
    ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
    for (int i = 0; i < 250 * 200; ++i) {
      const bool inside = i % 250 < dest.right && i / 250 < dest.bottom;
      ASSERT_EQ(surface.Pixels()[i], inside ? colour : kBackground) << i;
    }
  }
}

// A draw cut by the surface's edges or by the context's origin and clip puts exactly the pixels
// the uncut draw puts there, and nothing elsewhere.
TEST(ImageDraw, ClippedDrawsMatchTheUncutDraw) {
  FactoryImage image(EncodeRgbPng(256, 256, MapTile()));
  struct Case {
    RECT dest;
    int ox, oy;
    RECT clip;
  };
  for (const Case& c : {Case{{-30, -40, 226, 216}, 0, 0, {0, 0, 200, 150}},  // exact size, negative position
                        Case{{150, 100, 406, 356}, 0, 0, {0, 0, 200, 150}},  // past the right and bottom
                        Case{{-50, -10, 250, 190}, 0, 0, {0, 0, 200, 150}},  // enlarged, cut on all sides
                        Case{{-5, -5, 140, 90}, 0, 0, {0, 0, 200, 150}},     // shrunk, negative position
                        Case{{0, 0, 256, 256}, 30, 20, {40, 25, 170, 120}},  // context origin and clip
                        Case{{-20, 0, 180, 130}, 30, 20, {40, 25, 170, 120}}}) {
    constexpr int m = 300;  // the reference draws uncut, this far into a large surface
    TestSurface reference(1000, 1000, kBackground);
    const RECT moved = {c.dest.left + c.ox + m, c.dest.top + c.oy + m, c.dest.right + c.ox + m,
                        c.dest.bottom + c.oy + m};
    ASSERT_EQ(image.Draw(reference.dc(), moved), S_OK);
    TestSurface surface(200, 150, kBackground, c.ox, c.oy, c.clip);
    ASSERT_EQ(image.Draw(surface.dc(), c.dest), S_OK);
    for (int y = 0; y < 150; ++y) {
      for (int x = 0; x < 200; ++x) {
        const bool drawn = x >= c.clip.left && x < c.clip.right && y >= c.clip.top && y < c.clip.bottom &&
                           x >= moved.left - m && x < moved.right - m && y >= moved.top - m && y < moved.bottom - m;
        ASSERT_EQ(surface.At(x, y), drawn ? reference.At(x + m, y + m) : kBackground) << x << "," << y;
      }
    }
  }
}

// Palette with tRNS: transparent entries keep the surface, opaque ones replace it exactly, partial
// ones blend; a fully transparent image scaled leaves every pixel alone.
TEST(ImageDraw, AlphaBlendsOverTheSurface) {
  PngRecipe recipe{4, 1, kPalette, 2};
  recipe.palette = {0x00FF0000, 0x0000FF00, 0x000000FF, kWhite};
  recipe.paletteAlpha = {0, 128, 255};  // entry 3 opaque by omission
  recipe.samples = {0, 1, 2, 3};
  FactoryImage image(EncodePng(recipe));
  TestSurface surface(4, 1, kBackground);
  ASSERT_EQ(image.Draw(surface.dc(), {0, 0, 4, 1}), S_OK);
  EXPECT_EQ(surface.At(0, 0), kBackground);
  const uint32_t blended = surface.At(1, 0);  // channel = (c * 128 + background * 127) / 255
  EXPECT_NEAR(blended >> 16, 0x10 * 127 / 255.0, 1);
  EXPECT_NEAR(blended >> 8 & 0xFF, (255 * 128 + 0x20 * 127) / 255.0, 1);
  EXPECT_NEAR(blended & 0xFF, 0x30 * 127 / 255.0, 1);
  EXPECT_EQ(surface.At(2, 0), 0x000000FFu);
  EXPECT_EQ(surface.At(3, 0), kWhite);

  PngRecipe clear{8, 8, kRgba};
  for (int i = 0; i < 64; ++i) clear.samples.insert(clear.samples.end(), {255, 255, 255, 0});
  FactoryImage invisible(EncodePng(clear));
  TestSurface untouched(40, 40, kBackground);
  for (const RECT dest : {RECT{0, 0, 40, 40}, RECT{0, 0, 3, 5}, RECT{0, 0, 8, 8}}) invisible.Draw(untouched.dc(), dest);
  EXPECT_EQ(untouched.Pixels(), std::vector<uint32_t>(1600, kBackground));
}

TEST(ImageDraw, SourceRectangleAndBadArguments) {
  const std::vector<uint32_t> tile = MapTile();
  FactoryImage image(EncodeRgbPng(256, 256, tile));
  TestSurface part(50, 40, kBackground);
  const RECT source = {100, 70, 150, 110};
  ASSERT_EQ(image.Draw(part.dc(), {0, 0, 50, 40}, &source), S_OK);
  for (int i = 0; i < 50 * 40; ++i) ASSERT_EQ(part.Pixels()[i], tile[(i / 50 + 70) * 256 + i % 50 + 100]);

  TestSurface surface(16, 16, kBackground);
  EXPECT_EQ(image.get()->Draw(surface.dc(), nullptr, nullptr), E_POINTER);
  for (const RECT empty : {RECT{5, 5, 5, 10}, RECT{5, 5, 10, 5}, RECT{10, 0, 0, 16}}) {
    EXPECT_EQ(image.Draw(surface.dc(), empty), E_INVALIDARG);
  }
  for (const RECT outside : {RECT{-1, 0, 16, 16}, RECT{0, 0, 257, 16}, RECT{0, 0, 16, 257}, RECT{4, 4, 4, 8}}) {
    EXPECT_EQ(image.Draw(surface.dc(), {0, 0, 16, 16}, &outside), E_INVALIDARG);
  }
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_EQ(image.Draw(dead, {0, 0, 16, 16}), E_INVALIDARG);
  // Far outside, with coordinates whose sums overflow 32 bits: nothing drawn.
  EXPECT_EQ(image.Draw(surface.dc(), {-2000000000, -2000000000, 2000000000, -1999999000}), S_OK);
  EXPECT_EQ(surface.Pixels(), std::vector<uint32_t>(256, kBackground));
}

}  // namespace

// Drawing images into device contexts: exact at equal sizes (a white pixel stays exactly white),
// smooth when scaled, clipped to the surface and the context's clip, blended by alpha.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;

namespace {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBackground = 0x00102030;

// Makes an image through the factory, as product code does.
class FactoryImage {
 public:
  explicit FactoryImage(const Bytes& bytes) {
    EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                               reinterpret_cast<void**>(&factory_)),
              S_OK);
    EXPECT_EQ(factory_->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()), BufferDisposalFlagNone, &image_), S_OK);
  }
  ~FactoryImage() {
    if (image_ != nullptr) image_->Release();
    if (factory_ != nullptr) factory_->Release();
  }
  FactoryImage(const FactoryImage&) = delete;
  FactoryImage& operator=(const FactoryImage&) = delete;
  IImage* operator->() const { return image_; }
  IImage* get() const { return image_; }

 private:
  IImagingFactory* factory_ = nullptr;
  IImage* image_ = nullptr;
};

// A map-like 256 x 256 tile: light background, white roads, darker blocks.
std::vector<uint32_t> MapTilePixels() {
  std::vector<uint32_t> pixels(256 * 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      uint32_t p = 0x00E8E4D8;
      if (x % 64 < 6 || y % 80 < 5) p = kWhite;
      else if ((x / 16 + y / 16) % 5 == 0) p = 0x00C8D8B0 + uint32_t(x % 7);
      pixels[size_t(y) * 256 + x] = p;
    }
  }
  return pixels;
}

std::vector<uint32_t> HorizontalGradient(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t v = uint32_t(x * 255 / (width - 1));
      pixels.push_back(v << 16 | v << 8 | (255 - v));
    }
  }
  return pixels;
}

TEST(ImageDraw, EqualSizeCopiesEveryPixelExactlyIntoAMemoryContext) {
  const std::vector<uint32_t> tile = MapTilePixels();
  FactoryImage image(EncodeRgbPng(256, 256, tile));
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 300, 280);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT dest = {20, 10, 276, 266};
  ASSERT_EQ(image->Draw(dc, &dest, nullptr), S_OK);
  DrawTarget target{};
  ASSERT_TRUE(GetDrawTarget(dc, &target));
  int whites = 0;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const uint32_t got = target.surface.pixels[(y + 10) * target.surface.stride + x + 20];
      ASSERT_EQ(got, tile[size_t(y) * 256 + x]) << x << "," << y;
      whites += got == kWhite;
    }
  }
  EXPECT_GT(whites, 1000);  // the keyed white survived exactly
  EXPECT_EQ(target.surface.pixels[0], 0u);  // outside the rectangle: the new bitmap's black
  EXPECT_EQ(target.surface.pixels[279 * target.surface.stride + 299], 0u);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST(ImageDraw, ShrinkingHalvesSmoothly) {
  FactoryImage image(EncodeRgbPng(256, 256, HorizontalGradient(256, 256)));
  TestSurface surface(128, 128, kBackground);
  const RECT dest = {0, 0, 128, 128};
  ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
  for (int y = 0; y < 128; ++y) {
    for (int x = 1; x < 128; ++x) {
      ASSERT_GE(surface.At(x, y) >> 16, surface.At(x - 1, y) >> 16) << x << "," << y;  // red rises
      ASSERT_EQ(surface.At(x, y), surface.At(x, 0));  // rows equal: nothing bleeds vertically
    }
  }
  // Each output pixel is the mean of two: 0 and 1 at the left, 254 and 255 at the right.
  EXPECT_LE(surface.At(0, 0) >> 16, 1u);
  EXPECT_GE(surface.At(127, 127) >> 16, 254u);
}

TEST(ImageDraw, EnlargingDoublesSmoothlyWithExactCorners) {
  const std::vector<uint32_t> source = HorizontalGradient(128, 128);
  FactoryImage image(EncodeRgbPng(128, 128, source));
  TestSurface surface(256, 256, kBackground);
  const RECT dest = {0, 0, 256, 256};
  ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
  int distinct = 1;
  for (int x = 1; x < 256; ++x) {
    ASSERT_GE(surface.At(x, 5) >> 16, surface.At(x - 1, 5) >> 16) << x;
    distinct += surface.At(x, 5) != surface.At(x - 1, 5);
  }
  EXPECT_GT(distinct, 200);  // interpolated, not repeated pixels
  EXPECT_EQ(surface.At(0, 0), source[0]);
  EXPECT_EQ(surface.At(255, 0), source[127]);
  EXPECT_EQ(surface.At(0, 255), source[127 * 128]);
  EXPECT_EQ(surface.At(255, 255), source[127 * 128 + 127]);
}

TEST(ImageDraw, UniformImagesStayExactlyUniformAtAnyScale) {
  FactoryImage white(EncodeRgbPng(100, 30, std::vector<uint32_t>(100 * 30, kWhite)));
  FactoryImage tiny(EncodeRgbPng(3, 2, std::vector<uint32_t>(6, 0x00ABCDEF)));
  struct Case {
    IImage* image;
    RECT dest;
    uint32_t colour;
  };
  for (const Case& c : {Case{white.get(), {0, 0, 37, 11}, kWhite}, Case{white.get(), {0, 0, 250, 7}, kWhite},
                        Case{tiny.get(), {0, 0, 250, 199}, 0x00ABCDEF}}) {
    TestSurface surface(250, 200, kBackground);
    ASSERT_EQ(c.image->Draw(surface.dc(), &c.dest, nullptr), S_OK);
    for (int y = 0; y < 200; ++y) {
      for (int x = 0; x < 250; ++x) {
        const bool inside = x < c.dest.right && y < c.dest.bottom;
        ASSERT_EQ(surface.At(x, y), inside ? c.colour : kBackground) << x << "," << y;
      }
    }
  }
}

// A draw cut by the surface's edges or the context's clip and origin puts exactly the pixels the
// uncut draw would have put there, and nothing elsewhere.
TEST(ImageDraw, ClippingKeepsTheSamePixelsAndWritesNothingOutside) {
  const std::vector<uint32_t> tile = MapTilePixels();
  FactoryImage image(EncodeRgbPng(256, 256, tile));
  struct Case {
    RECT dest;  // in the context's coordinates
    int originX, originY;
    RECT clip;  // surface coordinates
    const char* what;
  };
  const Case cases[] = {
      {{-30, -40, 226, 216}, 0, 0, {0, 0, 200, 150}, "negative position, exact size"},
      {{150, 100, 406, 356}, 0, 0, {0, 0, 200, 150}, "past the right and bottom edges"},
      {{-50, -10, 250, 190}, 0, 0, {0, 0, 200, 150}, "scaled up, cut on all sides"},
      {{-5, -5, 140, 90}, 0, 0, {0, 0, 200, 150}, "scaled down, negative position"},
      {{0, 0, 256, 256}, 30, 20, {40, 25, 170, 120}, "context origin and clip"},
      {{-20, 0, 180, 130}, 30, 20, {40, 25, 170, 120}, "scaled into a clipped context"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The reference: the same draw, uncut, on a large surface.
    const int margin = 300;
    TestSurface reference(1000, 1000, kBackground);
    const RECT shifted = {c.dest.left + c.originX + margin, c.dest.top + c.originY + margin,
                          c.dest.right + c.originX + margin, c.dest.bottom + c.originY + margin};
    ASSERT_EQ(image->Draw(reference.dc(), &shifted, nullptr), S_OK);

    TestSurface surface(200, 150, kBackground, c.originX, c.originY, c.clip);
    ASSERT_EQ(image->Draw(surface.dc(), &c.dest, nullptr), S_OK);
    int drawn = 0;
    for (int y = 0; y < 150; ++y) {
      for (int x = 0; x < 200; ++x) {
        const bool inClip = x >= c.clip.left && x < c.clip.right && y >= c.clip.top && y < c.clip.bottom;
        const bool inDest = x >= c.dest.left + c.originX && x < c.dest.right + c.originX &&
                            y >= c.dest.top + c.originY && y < c.dest.bottom + c.originY;
        const uint32_t expected = inClip && inDest ? reference.At(x + margin, y + margin) : kBackground;
        ASSERT_EQ(surface.At(x, y), expected) << x << "," << y;
        drawn += inClip && inDest;
      }
    }
    EXPECT_GT(drawn, 0);
  }
}

TEST(ImageDraw, DrawingWhollyOutsideTheSurfaceChangesNothing) {
  FactoryImage image(EncodeRgbPng(256, 256, MapTilePixels()));
  TestSurface surface(64, 64, kBackground);
  for (const RECT dest : {RECT{-256, 0, 0, 256}, RECT{64, 0, 320, 256}, RECT{0, 64, 256, 320},
                          RECT{-2000000000, -2000000000, 2000000000, -1999999000}}) {
    ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
  }
  for (uint32_t p : surface.Pixels()) ASSERT_EQ(p, kBackground);
}

// A palette with tRNS: transparent entries keep the surface, opaque ones replace it exactly,
// partial ones blend.
TEST(ImageDraw, PaletteTransparencyBlendsOverTheSurface) {
  PngSpec spec;
  spec.width = 4;
  spec.height = 1;
  spec.colorType = kPalette;
  spec.bitDepth = 2;
  spec.palette = {0x00FF0000, 0x0000FF00, 0x000000FF, kWhite};
  spec.paletteAlpha = {0, 128, 255};  // entry 3 is opaque by omission
  spec.samples = {0, 1, 2, 3};
  FactoryImage image(EncodePng(spec));
  TestSurface surface(4, 1, kBackground);
  const RECT dest = {0, 0, 4, 1};
  ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
  EXPECT_EQ(surface.At(0, 0), kBackground);
  // Green 255 at alpha 128 over 0x10, 0x20, 0x30: channel = (c * 128 + b * 127) / 255.
  const uint32_t r = (0x10 * 127 + 127) / 255, g = (255 * 128 + 0x20 * 127 + 127) / 255, b = (0x30 * 127 + 127) / 255;
  const uint32_t blended = surface.At(1, 0);
  EXPECT_NEAR(double(blended >> 16), r, 1);
  EXPECT_NEAR(double(blended >> 8 & 0xFF), g, 1);
  EXPECT_NEAR(double(blended & 0xFF), b, 1);
  EXPECT_EQ(surface.At(2, 0), 0x000000FFu);
  EXPECT_EQ(surface.At(3, 0), kWhite);
}

TEST(ImageDraw, TransparentPixelsLeaveTheSurfaceWhenScaled) {
  PngSpec spec;
  spec.width = 8;
  spec.height = 8;
  spec.colorType = kRgba;
  for (int i = 0; i < 64; ++i) spec.samples.insert(spec.samples.end(), {255, 255, 255, 0});
  FactoryImage image(EncodePng(spec));
  TestSurface surface(40, 40, kBackground);
  for (const RECT dest : {RECT{0, 0, 40, 40}, RECT{0, 0, 3, 5}, RECT{0, 0, 8, 8}}) {
    ASSERT_EQ(image->Draw(surface.dc(), &dest, nullptr), S_OK);
  }
  for (uint32_t p : surface.Pixels()) ASSERT_EQ(p, kBackground);
}

TEST(ImageDraw, SourceRectangleSelectsPartOfTheImage) {
  const std::vector<uint32_t> tile = MapTilePixels();
  FactoryImage image(EncodeRgbPng(256, 256, tile));
  TestSurface surface(50, 40, kBackground);
  const RECT source = {100, 70, 150, 110};
  const RECT dest = {0, 0, 50, 40};
  ASSERT_EQ(image->Draw(surface.dc(), &dest, &source), S_OK);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 50; ++x) ASSERT_EQ(surface.At(x, y), tile[size_t(y + 70) * 256 + x + 100]);
  }
}

TEST(ImageDraw, BadArgumentsFailWithoutDrawing) {
  FactoryImage image(EncodeRgbPng(16, 16, std::vector<uint32_t>(256, kWhite)));
  TestSurface surface(16, 16, kBackground);
  const RECT dest = {0, 0, 16, 16};
  EXPECT_EQ(image->Draw(surface.dc(), nullptr, nullptr), E_POINTER);
  for (const RECT empty : {RECT{5, 5, 5, 10}, RECT{5, 5, 10, 5}, RECT{10, 0, 0, 16}}) {
    EXPECT_EQ(image->Draw(surface.dc(), &empty, nullptr), E_INVALIDARG);
  }
  for (const RECT source : {RECT{-1, 0, 16, 16}, RECT{0, 0, 17, 16}, RECT{0, 0, 16, 17}, RECT{4, 4, 4, 8}}) {
    EXPECT_EQ(image->Draw(surface.dc(), &dest, &source), E_INVALIDARG);
  }
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_EQ(image->Draw(dead, &dest, nullptr), E_INVALIDARG);
  EXPECT_EQ(image->Draw(nullptr, &dest, nullptr), E_INVALIDARG);
  for (uint32_t p : surface.Pixels()) ASSERT_EQ(p, kBackground);
}

}  // namespace

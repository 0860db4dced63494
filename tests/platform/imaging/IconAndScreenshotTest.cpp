// Icons drawn from image bytes with checked handles, and screenshots written as PNG files that
// read back exactly and appear whole or not at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/Icon.h"
#include "platform/imaging/PngWriter.h"
#include "tests/platform/imaging/TestImages.h"
#include "tests/support/TempFolder.h"

using namespace imaging_test;

namespace {

constexpr uint32_t kBackground = 0x00102030;
constexpr uint32_t kRed = 0x00FF0000;

// 4 x 4: an opaque red ring around a transparent centre.
Bytes RingIcon() {
  PngRecipe recipe{4, 4, kRgba};
  for (int i = 0; i < 16; ++i) {
    const bool ring = i % 4 == 0 || i % 4 == 3 || i < 4 || i >= 12;
    recipe.samples.insert(recipe.samples.end(), {255, 0, 0, uint16_t(ring ? 255 : 0)});
  }
  return EncodePng(recipe);
}

TEST(Icon, DrawsWithTransparencyAtItsOwnSizeOrScaled) {
  Bytes bytes = RingIcon();
  HICON icon = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  ASSERT_NE(icon, nullptr);
  std::fill(bytes.begin(), bytes.end(), 0);  // the icon keeps its own pixels
  TestSurface surface(10, 10, kBackground);
  ASSERT_TRUE(DrawIcon(surface.dc(), 3, 2, icon));
  for (int i = 0; i < 100; ++i) {
    const int x = i % 10 - 3, y = i / 10 - 2;
    const bool ring = x >= 0 && x < 4 && y >= 0 && y < 4 && (x % 3 == 0 || y % 3 == 0);
    ASSERT_EQ(surface.Pixels()[i], ring ? kRed : kBackground) << i;
  }
  TestSurface large(20, 20, kBackground);
  ASSERT_TRUE(DrawIconEx(large.dc(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
  EXPECT_TRUE(large.At(0, 0) == kRed && large.At(15, 15) == kRed);
  EXPECT_TRUE(large.At(8, 8) == kBackground && large.At(16, 16) == kBackground);
  EXPECT_FALSE(DrawIconEx(large.dc(), 0, 0, icon, -1, 16, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DestroyIcon(icon));
}

TEST(Icon, BadBytesAndDeadHandlesFail) {
  const char text[] = "not an icon";
  EXPECT_EQ(CreateIconFromImageBytes(text, sizeof text), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const Bytes bytes = RingIcon();
  HICON icon = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  TestSurface surface(8, 8, kBackground);
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_FALSE(DrawIcon(dead, 0, 0, icon));
  ASSERT_TRUE(DestroyIcon(icon));
  HICON next = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  EXPECT_NE(next, icon);  // handles are never reused
  EXPECT_FALSE(DrawIcon(surface.dc(), 0, 0, icon));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_TRUE(DestroyIcon(next));
  EXPECT_EQ(surface.Pixels(), std::vector<uint32_t>(64, kBackground));
}

class Screenshot : public ::testing::Test {
 protected:
  TempFolder folder_{"orvan-screenshot"};
};

TEST_F(Screenshot, RoundTripsExactlyAndReplacesAnOlderFileWhole) {
  // 37 x 19 in rows of 40: the padding must not reach the file.
  std::vector<uint32_t> pixels(40 * 19, 0x00DEAD00);
  for (int i = 0; i < 40 * 19; ++i) {
    if (i % 40 < 37) pixels[i] = uint32_t(i * 0x070301) & 0xFFFFFF;
  }
  const std::string path = folder_.File("shot.png");
  std::ofstream(path) << "older file";
  ASSERT_TRUE(WritePngFile(PixelSurface{pixels.data(), 37, 19, 40}, path.c_str()));
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
  imaging::DecodedImage image;
  ASSERT_EQ(imaging::DecodeImage(bytes.data(), bytes.size(), &image), imaging::ImageError::None);
  ASSERT_TRUE(image.width == 37 && image.height == 19 && !image.hasAlpha);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 37; ++x) {
      const uint8_t* p = image.Row(uint32_t(y)) + x * 4;
      ASSERT_EQ(uint32_t(p[0] << 16 | p[1] << 8 | p[2]), pixels[y * 40 + x]) << x << "," << y;
    }
  }
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"shot.png"});  // no temporary file left
}

TEST_F(Screenshot, FailuresReportAnErrorAndLeaveNothingBehind) {
  std::vector<uint32_t> pixels(16, 0);
  const PixelSurface surface{pixels.data(), 4, 4, 4};
  SetLastError(0);
  EXPECT_FALSE(WritePngFile(surface, folder_.File("missing/shot.png").c_str()));
  EXPECT_NE(GetLastError(), 0u);
  ASSERT_EQ(mkdir(folder_.File("sub").c_str(), 0755), 0);  // written whole, then the rename fails
  EXPECT_FALSE(WritePngFile(surface, folder_.File("sub").c_str()));
  EXPECT_FALSE(WritePngFile(surface, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  for (const PixelSurface bad : {PixelSurface{nullptr, 4, 4, 4}, {pixels.data(), 0, 4, 4}, {pixels.data(), 4, 4, 3}}) {
    EXPECT_FALSE(WritePngFile(bad, folder_.File("a.png").c_str()));
  }
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"sub"});
}

}  // namespace

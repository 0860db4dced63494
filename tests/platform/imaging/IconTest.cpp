// Icons: decoded once from image bytes, drawn with alpha at their own size or scaled, and handles
// that are checked (a destroyed icon neither draws nor destroys twice).
#include <gtest/gtest.h>

#include "platform/imaging/Icon.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;

namespace {

constexpr uint32_t kBackground = 0x00102030;

// A 4 x 4 icon: an opaque red ring around a transparent centre.
Bytes RingIcon() {
  PngSpec spec;
  spec.width = 4;
  spec.height = 4;
  spec.colorType = kRgba;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool ring = x == 0 || y == 0 || x == 3 || y == 3;
      spec.samples.insert(spec.samples.end(), {255, 0, 0, uint16_t(ring ? 255 : 0)});
    }
  }
  return EncodePng(spec);
}

TEST(Icon, DrawsAtItsOwnSizeWithTransparency) {
  std::vector<uint8_t> bytes = RingIcon();
  HICON icon = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  ASSERT_NE(icon, nullptr);
  std::fill(bytes.begin(), bytes.end(), 0);  // the icon keeps its own pixels
  TestSurface surface(10, 10, kBackground);
  ASSERT_TRUE(DrawIcon(surface.dc(), 3, 2, icon));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool inIcon = x >= 3 && x < 7 && y >= 2 && y < 6;
      const bool ring = inIcon && (x == 3 || x == 6 || y == 2 || y == 5);
      ASSERT_EQ(surface.At(x, y), ring ? 0x00FF0000u : kBackground) << x << "," << y;
    }
  }
  EXPECT_TRUE(DestroyIcon(icon));
}

TEST(Icon, DrawIconExScalesToTheGivenSize) {
  const Bytes bytes = RingIcon();
  HICON icon = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  ASSERT_NE(icon, nullptr);
  TestSurface surface(20, 20, kBackground);
  ASSERT_TRUE(DrawIconEx(surface.dc(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(surface.At(0, 0), 0x00FF0000u);
  EXPECT_EQ(surface.At(15, 15), 0x00FF0000u);
  EXPECT_EQ(surface.At(8, 8), kBackground);  // the transparent centre, enlarged
  EXPECT_EQ(surface.At(16, 16), kBackground);
  EXPECT_FALSE(DrawIconEx(surface.dc(), 0, 0, icon, -1, 16, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(DestroyIcon(icon));
}

TEST(Icon, BadBytesAndDeadHandlesFail) {
  const char text[] = "not an icon";
  SetLastError(0);
  EXPECT_EQ(CreateIconFromImageBytes(text, sizeof text), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateIconFromImageBytes(nullptr, 0), nullptr);

  const Bytes bytes = RingIcon();
  HICON icon = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  ASSERT_NE(icon, nullptr);
  TestSurface surface(8, 8, kBackground);
  HDC dead = CreateCompatibleDC(nullptr);
  DeleteDC(dead);
  EXPECT_FALSE(DrawIcon(dead, 0, 0, icon));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  ASSERT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DrawIcon(surface.dc(), 0, 0, icon));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(nullptr));
  // A new icon never takes over the destroyed one's handle.
  HICON next = CreateIconFromImageBytes(bytes.data(), UINT(bytes.size()));
  EXPECT_NE(next, icon);
  EXPECT_FALSE(DrawIcon(surface.dc(), 0, 0, icon));
  EXPECT_TRUE(DestroyIcon(next));
  for (uint32_t p : surface.Pixels()) ASSERT_EQ(p, kBackground);
}

}  // namespace

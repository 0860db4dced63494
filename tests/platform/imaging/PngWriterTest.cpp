// Screenshots written as PNG files decode back to exactly the surface's pixels, replace an older
// file whole, and leave nothing behind when they fail.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/PngWriter.h"

namespace {

class PngWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvan-pngwriter-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const std::string& name : Entries()) std::remove((dir_ + "/" + name).c_str());
    rmdir((dir_ + "/sub").c_str());
    rmdir(dir_.c_str());
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir_.c_str())) {
      while (dirent* e = readdir(d)) {
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
      }
      closedir(d);
    }
    return names;
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

// A 37 x 19 surface inside rows of 40 pixels: the padding must not reach the file.
std::vector<uint32_t> PaddedPixels() {
  std::vector<uint32_t> pixels(40 * 19, 0x00DEAD00);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 37; ++x) pixels[size_t(y) * 40 + x] = uint32_t(x * 0x070301 + y * 0x000B05) & 0xFFFFFF;
  }
  return pixels;
}

TEST_F(PngWriterTest, RoundTripsTheSurfaceExactly) {
  std::vector<uint32_t> pixels = PaddedPixels();
  const PixelSurface surface{pixels.data(), 37, 19, 40};
  const std::string path = dir_ + "/shot.png";
  ASSERT_TRUE(WritePngFile(surface, path.c_str()));
  const std::vector<uint8_t> bytes = Read(path);
  imaging::DecodedImage image;
  ASSERT_EQ(imaging::DecodeImage(bytes.data(), bytes.size(), &image), imaging::ImageError::None);
  ASSERT_EQ(image.width, 37u);
  ASSERT_EQ(image.height, 19u);
  EXPECT_FALSE(image.hasAlpha);
  for (int y = 0; y < 19; ++y) {
    for (int x = 0; x < 37; ++x) {
      const uint8_t* p = image.Row(uint32_t(y)) + x * 4;
      const uint32_t got = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      ASSERT_EQ(got, pixels[size_t(y) * 40 + x]) << x << "," << y;
    }
  }
  EXPECT_EQ(Entries(), std::vector<std::string>{"shot.png"});  // no temporary file left
}

TEST_F(PngWriterTest, ReplacesAnOlderFileWhole) {
  const std::string path = dir_ + "/shot.png";
  { std::ofstream(path) << "old contents"; }
  std::vector<uint32_t> pixels(16, 0x00FFFFFF);
  ASSERT_TRUE(WritePngFile(PixelSurface{pixels.data(), 4, 4, 4}, path.c_str()));
  const std::vector<uint8_t> bytes = Read(path);
  imaging::DecodedImage image;
  EXPECT_EQ(imaging::DecodeImage(bytes.data(), bytes.size(), &image), imaging::ImageError::None);
  EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(PngWriterTest, FailuresReportAnErrorAndLeaveNothingBehind) {
  std::vector<uint32_t> pixels(16, 0);
  const PixelSurface surface{pixels.data(), 4, 4, 4};
  SetLastError(0);
  EXPECT_FALSE(WritePngFile(surface, (dir_ + "/missing/shot.png").c_str()));
  EXPECT_NE(GetLastError(), 0u);
  // The target is a directory: the write succeeds, the rename fails, the temporary file goes.
  ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
  EXPECT_FALSE(WritePngFile(surface, (dir_ + "/sub").c_str()));
  EXPECT_EQ(Entries(), std::vector<std::string>{"sub"});

  EXPECT_FALSE(WritePngFile(surface, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WritePngFile(PixelSurface{nullptr, 4, 4, 4}, (dir_ + "/a.png").c_str()));
  EXPECT_FALSE(WritePngFile(PixelSurface{pixels.data(), 0, 4, 4}, (dir_ + "/a.png").c_str()));
  EXPECT_FALSE(WritePngFile(PixelSurface{pixels.data(), 4, 4, 3}, (dir_ + "/a.png").c_str()));
  EXPECT_EQ(Entries(), std::vector<std::string>{"sub"});
}

}  // namespace

// Bytes that are not a whole, sound image fail with a clear error, draw nothing, and are refused
// from their header before any large allocation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/ImageLimits.h"
#include "platform/imaging/Imaging.h"
#include "tests/platform/imaging/TestImages.h"

using namespace imaging_test;
using imaging::DecodedImage;
using imaging::DecodeImage;
using imaging::DecodeStats;
using imaging::ImageError;

namespace {

constexpr uint32_t kBackground = 0x00123456;
// Far below any image the rejected headers declare, far above what reading a header needs.
constexpr size_t kSmallAllocation = size_t(256) << 10;

Bytes SmallPng() {
  PngSpec spec;
  spec.width = 64;
  spec.height = 64;
  spec.colorType = kRgb;
  for (int i = 0; i < 64 * 64 * 3; ++i) spec.samples.push_back(uint16_t((i * 7) & 255));
  return EncodePng(spec);
}

Bytes SmallJpeg() {
  JpegSpec spec;
  spec.width = 64;
  spec.height = 48;
  for (int i = 0; i < 64 * 48 * 3; ++i) spec.samples.push_back(uint8_t(i * 5));
  return EncodeJpeg(spec);
}

// The way the map view draws a tile: a factory, an image from the bytes, a draw, releases.
// Returns the result of making the image; draws only when that succeeded.
HRESULT DrawThroughFactory(HDC dc, const void* bytes, UINT size) {
  IImagingFactory* factory = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  IImage* image = reinterpret_cast<IImage*>(0x1);  // must be cleared on failure
  hr = factory->CreateImageFromBuffer(bytes, size, BufferDisposalFlagNone, &image);
  if (SUCCEEDED(hr)) {
    const RECT dest = {0, 0, 64, 64};
    image->Draw(dc, &dest, nullptr);
    image->Release();
  } else {
    EXPECT_EQ(image, nullptr);
  }
  factory->Release();
  return hr;
}

// Decodes directly and through the factory; both must fail, and the surface must keep every pixel.
void ExpectRejected(const Bytes& bytes, ImageError expected, const std::string& what) {
  SCOPED_TRACE(what);
  DecodedImage image;
  EXPECT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), expected);
  EXPECT_EQ(image.rgba, nullptr);
  TestSurface surface(64, 64, kBackground);
  EXPECT_EQ(DrawThroughFactory(surface.dc(), bytes.data(), UINT(bytes.size())), E_FAIL);
  for (uint32_t p : surface.Pixels()) ASSERT_EQ(p, kBackground);
}

TEST(ImageRejection, EmptyInputIsAnErrorNotAnImage) {
  DecodedImage image;
  EXPECT_EQ(DecodeImage(nullptr, 0, &image), ImageError::Empty);
  const uint8_t one = 0x89;
  EXPECT_EQ(DecodeImage(&one, 0, &image), ImageError::Empty);
  TestSurface surface(64, 64, kBackground);
  EXPECT_EQ(DrawThroughFactory(surface.dc(), &one, 0), E_INVALIDARG);
  EXPECT_EQ(DrawThroughFactory(surface.dc(), nullptr, 10), E_POINTER);
}

TEST(ImageRejection, BytesThatAreNotAnImage) {
  const std::string html = "<html><body>502 Bad Gateway</body></html>";
  ExpectRejected(Bytes(html.begin(), html.end()), ImageError::UnknownFormat, "html");
  ExpectRejected(Bytes{0x89, 'P', 'N'}, ImageError::UnknownFormat, "a signature's first bytes");
  ExpectRejected(Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ImageError::Truncated, "a PNG signature alone");
}

TEST(ImageRejection, PngWithAFlippedBitFailsItsChecksum) {
  const Bytes png = SmallPng();
  const long idat = FindChunk(png, "IDAT");
  ASSERT_GT(idat, 0);
  Bytes flipped = png;
  flipped[size_t(idat) + 8 + 20] ^= 0x10;  // inside the compressed data
  ExpectRejected(flipped, ImageError::Corrupt, "IDAT data");
  flipped = png;
  flipped[16 + 3] ^= 0x01;  // IHDR width
  ExpectRejected(flipped, ImageError::Corrupt, "IHDR width");
}

TEST(ImageRejection, PngCutAnywhereFails) {
  const Bytes png = SmallPng();
  const long idat = FindChunk(png, "IDAT");
  // In the header, at the image data, in its middle, in the end marker, in the end marker's CRC.
  for (size_t cut : {size_t(20), size_t(idat) + 4, png.size() / 2, png.size() - 12, png.size() - 6, png.size() - 1}) {
    ExpectRejected(Bytes(png.begin(), png.begin() + long(cut)), ImageError::Truncated, "cut at " + std::to_string(cut));
  }
}

TEST(ImageRejection, JpegCutAnywhereFails) {
  const Bytes jpeg = SmallJpeg();
  for (size_t cut : {size_t(10), size_t(200), jpeg.size() / 2, jpeg.size() - 2}) {
    ExpectRejected(Bytes(jpeg.begin(), jpeg.begin() + long(cut)), ImageError::Truncated, "cut at " + std::to_string(cut));
  }
}

TEST(ImageRejection, JpegWithABrokenHeaderIsCorrupt) {
  Bytes jpeg = SmallJpeg();
  // The frame header's component count set to 0.
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 9] = 0;
      break;
    }
  }
  ExpectRejected(jpeg, ImageError::Corrupt, "no components");
}

// A header may declare anything; the declared size is refused before the pixels (or libspng's
// row buffers) are allocated, and the decode stops there.
TEST(ImageRejection, PngDeclaringHugeDimensionsIsRefusedBeforeAllocating) {
  struct Case {
    uint32_t width, height;
    int colorType;
    const char* what;
  };
  const Case cases[] = {
      {100000, 100000, kRgb, "100000 x 100000"},
      {imaging::kMaxImageSide + 1, 1, kGray, "one pixel too wide"},
      {1, imaging::kMaxImageSide + 1, kGray, "one pixel too high"},
      {4000, 4000, kRgba, "sides allowed, decoded size 64 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes header = PngHeaderOnly(c.width, c.height, c.colorType, 8);
    DecodedImage image;
    DecodeStats stats;
    EXPECT_EQ(DecodeImage(header.data(), header.size(), &image, &stats), ImageError::TooLarge);
    EXPECT_LT(stats.largestAllocation, kSmallAllocation);
    ExpectRejected(header, ImageError::TooLarge, c.what);
  }
  // Exactly at the limits is allowed past the header check: it fails only for want of image data.
  const Bytes atLimit = PngHeaderOnly(imaging::kMaxImageSide, 2048, kRgba, 8);
  DecodedImage image;
  EXPECT_EQ(DecodeImage(atLimit.data(), atLimit.size(), &image), ImageError::Truncated);
}

TEST(ImageRejection, JpegDeclaringHugeDimensionsIsRefusedBeforeAllocating) {
  Bytes jpeg = SmallJpeg();
  size_t frame = 0;
  for (size_t i = 0; i + 9 < jpeg.size() && frame == 0; ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) frame = i;
  }
  ASSERT_NE(frame, 0u);
  // Height then width, big-endian, after the marker, length and precision.
  jpeg[frame + 5] = 0xEA;
  jpeg[frame + 6] = 0x60;  // 60000
  jpeg[frame + 7] = 0xEA;
  jpeg[frame + 8] = 0x60;
  DecodedImage image;
  DecodeStats stats;
  EXPECT_EQ(DecodeImage(jpeg.data(), jpeg.size(), &image, &stats), ImageError::TooLarge);
  EXPECT_EQ(stats.largestAllocation, 0u);  // the output rows were never allocated
  ExpectRejected(jpeg, ImageError::TooLarge, "60000 x 60000");
}

}  // namespace

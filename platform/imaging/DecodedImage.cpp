#include "platform/imaging/DecodedImage.h"

#include <cstring>

#include "platform/imaging/JpegDecoder.h"
#include "platform/imaging/PngDecoder.h"
#include "platform/imaging/WebpDecoder.h"

namespace imaging {

namespace {

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};
// "RIFF", four bytes of size, "WEBP".
constexpr size_t kWebpSignatureBytes = 12;

bool IsWebp(const void* bytes, size_t size) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  return size >= kWebpSignatureBytes && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0;
}

bool StartsWith(const void* bytes, size_t size, const uint8_t* signature, size_t signatureSize) {
  return size >= signatureSize && std::memcmp(bytes, signature, signatureSize) == 0;
}

}  // namespace

const char* ImageErrorName(ImageError error) {
  switch (error) {
    case ImageError::None: return "none";
    case ImageError::Empty: return "empty";
    case ImageError::UnknownFormat: return "unknown format";
    case ImageError::TooLarge: return "too large";
    case ImageError::Truncated: return "truncated";
    case ImageError::Corrupt: return "corrupt";
    case ImageError::OutOfMemory: return "out of memory";
  }
  return "?";
}

ImageFormat SniffImageFormat(const void* bytes, size_t size) {
  if (bytes == nullptr) return ImageFormat::Unknown;
  if (StartsWith(bytes, size, kPngSignature, sizeof kPngSignature)) return ImageFormat::Png;
  if (StartsWith(bytes, size, kJpegSignature, sizeof kJpegSignature)) return ImageFormat::Jpeg;
  if (IsWebp(bytes, size)) return ImageFormat::Webp;
  return ImageFormat::Unknown;
}

ImageError DecodeImage(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats) {
  *out = DecodedImage{};
  DecodeStats localStats;
  if (stats == nullptr) stats = &localStats;
  *stats = DecodeStats{};
  if (bytes == nullptr || size == 0) return ImageError::Empty;
  ImageError error = ImageError::UnknownFormat;
  switch (SniffImageFormat(bytes, size)) {
    case ImageFormat::Png: error = PngDecoder::Decode(bytes, size, out, stats); break;
    case ImageFormat::Jpeg: error = JpegDecoder::Decode(bytes, size, out, stats); break;
    case ImageFormat::Webp: error = WebpDecoder::Decode(bytes, size, out, stats); break;
    case ImageFormat::Unknown: break;
  }
  if (error != ImageError::None) *out = DecodedImage{};
  return error;
}

}  // namespace imaging

// Decoded pixels of an encoded image, and the decoder entry point that picks the format by its
// signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace imaging {

enum class ImageFormat { Unknown, Png, Jpeg, Webp };

// Why an image could not be decoded. Every failure happens before any pixel reaches a caller.
enum class ImageError {
  None,
  Empty,          // no bytes at all
  UnknownFormat,  // the bytes do not start with a signature this service decodes
  TooLarge,       // declared width, height or decoded size above the limits in ImageLimits.h
  Truncated,      // the stream ends before the image does
  Corrupt,        // a bad checksum, a malformed header or a broken compressed stream
  OutOfMemory,
};

const char* ImageErrorName(ImageError error);

// Straight (not premultiplied) RGBA, 8 bits a channel, in byte order R, G, B, A, rows packed
// with no padding, row 0 first.
struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  bool hasAlpha = false;  // false: every pixel's alpha is 255
  std::unique_ptr<uint8_t[]> rgba;

  const uint8_t* Row(uint32_t y) const { return rgba.get() + size_t{y} * width * 4; }
};

// What a decoder did, for checks that no large allocation precedes a rejection.
struct DecodeStats {
  size_t largestAllocation = 0;  // bytes, the largest single block the decode asked for
};

// The format named by the first bytes; Unknown when fewer bytes than a signature are given.
ImageFormat SniffImageFormat(const void* bytes, size_t size);

// Decodes `bytes` completely into `out` (left empty on failure). The bytes are only read during
// the call and never kept. `stats` is optional.
ImageError DecodeImage(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats = nullptr);

}  // namespace imaging

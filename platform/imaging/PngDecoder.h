// PNG decoding on libspng: every colour type and bit depth, interlaced or not, with tRNS applied,
// into straight RGBA8. Limits are checked from the header before the pixels are allocated.
#pragma once

#include <cstddef>

#include "platform/imaging/DecodedImage.h"

namespace imaging {

class PngDecoder {
 public:
  // Decodes the whole image, checking every chunk's CRC and reading through the end marker, so a
  // stream cut anywhere fails.
  static ImageError Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats);
};

}  // namespace imaging

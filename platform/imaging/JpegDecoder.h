// JPEG decoding on libjpeg-turbo: baseline and progressive, grayscale and colour, into RGBA8
// (alpha 255). Errors and data-corruption warnings end the decode with a failure instead of the
// library's default of exiting the process or padding a cut stream with grey.
#pragma once

#include <cstddef>

#include "platform/imaging/DecodedImage.h"

namespace imaging {

class JpegDecoder {
 public:
  static ImageError Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats);
};

}  // namespace imaging

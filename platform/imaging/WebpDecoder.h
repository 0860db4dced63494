// WebP decoding on libwebp: lossy and lossless, with or without alpha, into straight RGBA8. The
// size is read from the container first and checked against the limits before any pixel is
// allocated; animated files are refused (a tile is one picture).
#pragma once

#include <cstddef>

#include "platform/imaging/DecodedImage.h"

namespace imaging {

class WebpDecoder {
 public:
  static ImageError Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats);
};

}  // namespace imaging

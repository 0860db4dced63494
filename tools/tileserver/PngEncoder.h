// Encodes 8-bit RGB pixels as PNG bytes in memory (libpng).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tileserver {

class PngEncoder {
 public:
  // zlib level 1: tiles are small and made on demand, so speed matters more than size.
  static constexpr int kCompressionLevel = 1;

  // PNG bytes of a width x height RGB image, or an empty string when encoding failed.
  static std::string EncodeRgb(const std::vector<uint8_t>& rgb, int width, int height);
};

}  // namespace tileserver

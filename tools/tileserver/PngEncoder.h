// Encodes 8-bit RGB or palette pixels as PNG bytes in memory (libpng).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tileserver {

class PngEncoder {
 public:
  // zlib level 1: tiles are small and made on demand, so speed matters more than size.
  static constexpr int kCompressionLevel = 1;
  static constexpr int kSmallestCompressionLevel = 9;

  // PNG bytes of a width x height RGB image, or an empty string when encoding failed.
  static std::string EncodeRgb(const std::vector<uint8_t>& rgb, int width, int height,
                               int compressionLevel = kCompressionLevel);

  // PNG bytes of a width x height image of palette indices (one byte each), written with as few
  // bits per pixel as the palette's size allows (1, 2, 4 or 8); empty when encoding failed, the
  // palette is empty or larger than 256, or an index is outside it.
  static std::string EncodeIndexed(const std::vector<uint8_t>& indices, const std::vector<std::array<uint8_t, 3>>& palette,
                                   int width, int height, int compressionLevel = kCompressionLevel);
};

}  // namespace tileserver
